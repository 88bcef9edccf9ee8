#include "gateway/phasor_svg.h"

#include "meter/reading.h"
#include "phasorctl/phasor_geometry.h"

#include <QString>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace gateway {

namespace {

using namespace gyroscribe;

// The picture's size in twips: 420 pixels square.
constexpr double kSide = 420 * TwipsPerPixel;
// A label's box: two characters of the window's font.
const QSizeF kLabelSize(330, 240);
// An angle mark's box: its digits.
QSizeF markSize(const char *digits) { return {110.0 * double(std::strlen(digits)) + 40.0, 240.0}; }

struct Vector {
    const char *name;
    const char *colour;
    int width; // pixels
    meter::Q magnitude;
    meter::Q angle;
};

// Colours and widths of the window's control.
constexpr Vector kVectors[6] = {
    {"Va", "#0000ff", 3, meter::VoltageLnA, meter::AngleVA}, {"Vb", "#ff0000", 3, meter::VoltageLnB, meter::AngleVB},
    {"Vc", "#00c000", 3, meter::VoltageLnC, meter::AngleVC}, {"Ia", "#00c0c0", 1, meter::CurrentA, meter::AngleIA},
    {"Ib", "#ff8000", 1, meter::CurrentB, meter::AngleIB},   {"Ic", "#c0c000", 1, meter::CurrentC, meter::AngleIC},
};

// As the window hands values to the control: nothing read, not a number or
// beyond a Single's range is 0.
float single(const meter::Reading &reading, meter::Q q)
{
    const double value = reading.value(q).value_or(0);
    return std::isfinite(value) && std::fabs(value) <= double(std::numeric_limits<float>::max()) ? float(value) : 0.0f;
}

QString number(double value) { return QString::number(value, 'f', 1); }

QString text(QPointF topLeft, QSizeF size, const QString &caption, const char *colour)
{
    // On the surface's colour, as the control paints its labels, centred in their box.
    return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#fff\"/>"
                          "<text x=\"%5\" y=\"%6\" fill=\"%7\" text-anchor=\"middle\" dominant-baseline=\"central\">%8</text>\n")
        .arg(number(topLeft.x()), number(topLeft.y()), number(size.width()), number(size.height()),
             number(topLeft.x() + size.width() / 2), number(topLeft.y() + size.height() / 2), QLatin1String(colour),
             caption);
}

} // namespace

QByteArray phasorSvg(const meter::Reading &reading)
{
    const BackgroundMetrics background = backgroundMetrics(kSide, kSide);
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"%1 %1 %2 %2\" width=\"420\" "
                                 "height=\"420\" font-family=\"sans-serif\" font-size=\"180\">\n"
                                 "<rect x=\"%1\" y=\"%1\" width=\"%2\" height=\"%2\" fill=\"#fff\"/>\n")
                      .arg(number(-kSide / 2), number(kSide));
    const double axis = background.axisHalfLength;
    svg += QStringLiteral("<g stroke=\"#000\" stroke-width=\"15\"><line class=\"axis\" x1=\"%1\" y1=\"0\" x2=\"%2\" y2=\"0\"/>"
                          "<line class=\"axis\" x1=\"0\" y1=\"%1\" x2=\"0\" y2=\"%2\"/></g>\n")
               .arg(number(-axis), number(axis));
    svg += QStringLiteral("<circle class=\"reference\" cx=\"0\" cy=\"0\" r=\"%1\" fill=\"none\" stroke=\"#c8c8c8\" "
                          "stroke-width=\"15\"/>\n")
               .arg(background.plotRadius);
    const char *markTexts[4] = {"0", "90", "180", "270"};
    const std::array<QSizeF, 4> markSizes{markSize(markTexts[0]), markSize(markTexts[1]), markSize(markTexts[2]),
                                          markSize(markTexts[3])};
    const std::array<QPointF, 4> marks = degreeMarkPositions(axis, markSizes, QSizeF(kSide, kSide));
    std::vector<QRectF> taken;
    for (std::size_t i = 0; i < 4; ++i) {
        svg += text(marks[i], markSizes[i], QLatin1String(markTexts[i]), "#000");
        taken.emplace_back(marks[i], markSizes[i]);
    }

    try {
        std::array<float, 6> lengths{};
        std::array<QPointF, 6> ends{};
        for (int group = 0; group < 2; ++group) {
            const Vector *v = kVectors + 3 * group;
            const float reference = referenceMagnitude(single(reading, v[0].magnitude), single(reading, v[1].magnitude),
                                                       single(reading, v[2].magnitude));
            for (int k = 0; k < 3; ++k) {
                const std::size_t at = std::size_t(3 * group + k);
                lengths[at] = vectorLength(background.plotRadius, single(reading, v[k].magnitude), reference);
                ends[at] = vectorEnd(lengths[at], NormalizeAngle(single(reading, v[k].angle)));
            }
        }
        // The lines first, so that each label knows every vector it would rather not cover.
        QString labels;
        const QRectF surface(-kSide / 2, -kSide / 2, kSide, kSide);
        for (std::size_t i = 0; i < 6; ++i)
            svg += QStringLiteral("<line class=\"vector\" data-name=\"%1\" x1=\"0\" y1=\"0\" x2=\"%2\" y2=\"%3\" "
                                  "stroke=\"%4\" stroke-width=\"%5\"/>\n")
                       .arg(QLatin1String(kVectors[i].name), number(ends[i].x()), number(ends[i].y()),
                            QLatin1String(kVectors[i].colour))
                       .arg(kVectors[i].width * TwipsPerPixel);
        // The labels in the window's order: Va, Ia, Vb, Ib, Vc, Ic.
        for (const std::size_t i : {0u, 3u, 1u, 4u, 2u, 5u}) {
            std::vector<QLineF> others;
            for (std::size_t j = 0; j < 6; ++j)
                if (j != i)
                    others.emplace_back(QPointF(0, 0), ends[j]);
            const QPointF at = placeVectorLabel(lengths[i], ends[i], kLabelSize, surface, taken, others);
            taken.emplace_back(at, kLabelSize);
            labels += text(at, kLabelSize, QLatin1String(kVectors[i].name), i < 3 ? "#ff00ff" : "#808080");
        }
        svg += labels;
    } catch (const OverflowError &error) {
        svg += text(QPointF(-kSide / 2, -kSide / 2 + 60), QSizeF(kSide, 240), QString::fromUtf8(error.what()), "#c00000");
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

} // namespace gateway
