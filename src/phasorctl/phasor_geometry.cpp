#include "phasorctl/phasor_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace gyroscribe {

namespace {

double checkedCoordinate(double value)
{
    if (!(std::fabs(value) <= MaxCoordinate))
        throw OverflowError();
    return value;
}

template <typename Better>
float walk(std::initializer_list<float> values, Better better)
{
    if (values.size() == 0)
        return 0.0f;
    float current = *values.begin();
    for (const float v : values)
        if (better(v, current))
            current = v;
    return current;
}

} // namespace

float NormalizeAngle(float degrees)
{
    const double a = degrees;
    const double turns = std::floor(std::fabs(a) / 360.0);
    // Also false for NaN.
    if (!(turns <= double(std::numeric_limits<std::int16_t>::max())))
        throw OverflowError();
    const double c = turns * 360.0;
    const double normalised = a >= 0.0 ? a - c : c + (a + 360.0);
    return static_cast<float>(normalised);
}

float MinOfValues(std::initializer_list<float> values)
{
    return walk(values, [](float v, float current) { return v < current; });
}

float MaxOfValues(std::initializer_list<float> values)
{
    return walk(values, [](float v, float current) { return v > current; });
}

BackgroundMetrics backgroundMetrics(double innerWidth, double innerHeight)
{
    BackgroundMetrics m;
    m.innerWidth = innerWidth;
    m.innerHeight = innerHeight;
    const double s = std::nearbyint(MaxOfValues({float(innerHeight), float(innerWidth)}));
    m.axisHalfLength = s / 2.0 - 240.0;
    // A control too small for the circle gets none, and zero-length vectors.
    m.circleRadius = std::max(0.0, s / 2.0 - 440.0);
    m.plotRadius = static_cast<int>(std::nearbyint(m.circleRadius));
    return m;
}

std::array<QPointF, 4> degreeMarkPositions(double axisHalfLength,
                                           const std::array<QSizeF, 4> &markSizes,
                                           QSizeF innerSize)
{
    const double a = axisHalfLength;
    const double zeroWidth = markSizes[0].width();
    std::array<QPointF, 4> marks{
        QPointF(a, -markSizes[0].height() / 2.0),
        QPointF(-zeroWidth / 2.0, -(a + markSizes[1].height())),
        QPointF(-(a + markSizes[2].width() + 20.0), -markSizes[2].height() / 2.0),
        QPointF(-zeroWidth / 2.0, a + 20.0),
    };
    // Within [-extent / 2, extent / 2 - size]; a mark larger than the control
    // keeps its top-left corner inside.
    auto inside = [](double start, double size, double extent) {
        return std::max(-extent / 2.0, std::min(start, extent / 2.0 - size));
    };
    for (std::size_t i = 0; i < marks.size(); ++i) {
        marks[i] = QPointF(inside(marks[i].x(), markSizes[i].width(), innerSize.width()),
                           inside(marks[i].y(), markSizes[i].height(), innerSize.height()));
    }
    return marks;
}

float referenceMagnitude(float a, float b, float c)
{
    const float smallest = MinOfValues({a, b, c});
    return smallest == 0.0f ? 1.0f : smallest;
}

float vectorLength(int plotRadius, float magnitude, float reference)
{
    const double length = double(plotRadius) * double(magnitude) / double(reference);
    if (!(std::fabs(length) <= double(std::numeric_limits<float>::max())))
        throw OverflowError();
    return static_cast<float>(length);
}

QPointF vectorEnd(float length, float angleDegrees)
{
    const double radians = double(angleDegrees) * Pi / 180.0;
    const double x = checkedCoordinate(double(length) * std::cos(radians));
    const double y = checkedCoordinate(-double(length) * std::sin(radians));
    return {x, y};
}

QPointF vectorLabelTopLeft(float length, QPointF end, QSizeF labelSize)
{
    const double d = length == 0.0f ? 1.0 : double(length);
    const double reach = double(length) + 200.0;
    const double left = checkedCoordinate(reach * end.x() / d - labelSize.width() / 2.0);
    const double top = checkedCoordinate(reach * end.y() / d - labelSize.height() / 2.0);
    return {left, top};
}

std::optional<QLineF> clipSegment(const QLineF &segment, const QRectF &clip)
{
    const double dx = segment.dx();
    const double dy = segment.dy();
    double enter = 0.0;
    double leave = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {segment.x1() - clip.left(), clip.right() - segment.x1(),
                         segment.y1() - clip.top(), clip.bottom() - segment.y1()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return std::nullopt; // parallel to this edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        if (enter > leave)
            return std::nullopt;
    }
    return QLineF(segment.pointAt(enter), segment.pointAt(leave));
}

QPointF freeLabelPosition(const QRectF &wanted, const QRectF &bounds, std::span<const QRectF> taken,
                          const QLineF &own, std::span<const QLineF> others)
{
    const double w = wanted.width();
    const double h = wanted.height();
    // Rounding must not turn a place flush with the clearance into a clash.
    constexpr double slack = 0.5;
    std::vector<QRectF> kept;
    kept.reserve(taken.size());
    for (const QRectF &rect : taken)
        kept.push_back(rect.adjusted(-LabelClearance, -LabelClearance, LabelClearance, LabelClearance));
    const auto inside = [&](double start, double size, double low, double high) {
        return std::max(low, std::min(start, high - size));
    };
    const auto isFree = [&](const QRectF &rect) {
        return std::none_of(kept.cbegin(), kept.cend(), [&](const QRectF &k) {
            return rect.intersects(k.adjusted(slack, slack, -slack, -slack));
        });
    };
    const QPointF start(inside(wanted.left(), w, bounds.left(), bounds.right()),
                        inside(wanted.top(), h, bounds.top(), bounds.bottom()));
    if (start == wanted.topLeft() && isFree(wanted))
        return start;

    // The nearest free place lies with each side either where the label
    // wants it or flush with an edge of the surface or of a kept rectangle.
    std::vector<double> lefts{start.x(), bounds.left(), bounds.right() - w};
    std::vector<double> tops{start.y(), bounds.top(), bounds.bottom() - h};
    for (const QRectF &k : kept) {
        lefts.insert(lefts.end(), {k.left() - w, k.right()});
        tops.insert(tops.end(), {k.top() - h, k.bottom()});
    }
    // A vector covered counts as a longer way: its own as two label heights,
    // another as one. So a label steps round a line when that is not much
    // farther, without straying from its vector to do so.
    std::optional<std::pair<double, QPointF>> best;
    for (const double left : lefts) {
        const double x = inside(left, w, bounds.left(), bounds.right());
        for (const double top : tops) {
            const QRectF rect(x, inside(top, h, bounds.top(), bounds.bottom()), w, h);
            if (!isFree(rect))
                continue;
            const auto covers = [&rect](const QLineF &line) { return clipSegment(line, rect).has_value(); };
            const QPointF step = rect.topLeft() - wanted.topLeft();
            const double cost = std::hypot(step.x(), step.y()) + (covers(own) ? 2.0 * h : 0.0)
                                + h * double(std::count_if(others.begin(), others.end(), covers));
            if (!best || cost < best->first)
                best = {cost, rect.topLeft()};
        }
    }
    return best ? best->second : start;
}

QPointF placeVectorLabel(float length, QPointF end, QSizeF labelSize, const QRectF &surface,
                         std::span<const QRectF> taken, std::span<const QLineF> others)
{
    const QPointF halfSize(labelSize.width() / 2.0, labelSize.height() / 2.0);
    QPointF centre = vectorLabelTopLeft(length, end, labelSize) + halfSize;
    // The room the centre has on the surface; the surface is centred on the
    // origin, so scaling the centre towards it keeps it on the vector's line.
    const double roomX = surface.width() / 2.0 - halfSize.x();
    const double roomY = surface.height() / 2.0 - halfSize.y();
    if (roomX > 0.0 && roomY > 0.0) {
        double scale = 1.0;
        if (std::fabs(centre.x()) > roomX)
            scale = std::min(scale, roomX / std::fabs(centre.x()));
        if (std::fabs(centre.y()) > roomY)
            scale = std::min(scale, roomY / std::fabs(centre.y()));
        centre *= scale;
    }
    return freeLabelPosition(QRectF(centre - halfSize, labelSize), surface, taken,
                             QLineF(QPointF(0.0, 0.0), end), others);
}

} // namespace gyroscribe
