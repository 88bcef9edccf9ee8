#include "meter/value_format.h"

#include "meter/reading.h"
#include "modbus/float_codec.h"

#include <QLocale>

#include <cfloat>
#include <charconv>
#include <cmath>

namespace meter {

QString formatFixed(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double scale = std::pow(10.0, decimals);
    if (std::isfinite(value) && std::fabs(value) * scale < 0.5)
        value = 0.0; // no "-0.00" for a value that rounds to zero
    return locale.toString(value, 'f', decimals);
}

QString float32Text(double value)
{
    if (!std::isfinite(value))
        return QString();
    char text[32];
    // A double beyond float's range stays finite as its largest value.
    const float single = static_cast<float>(std::fmax(std::fmin(value, double(FLT_MAX)), double(-FLT_MAX)));
    const auto end = std::to_chars(text, text + sizeof text, single).ptr;
    return QString::fromLatin1(text, end - text);
}

QString meterText(std::span<const std::uint8_t> bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::uint8_t b : bytes) {
        if (b == 0)
            continue;
        text.append(b >= 0x20 && b < 0x7F ? QChar(b) : QChar(u'?'));
    }
    return text;
}

double floatAt(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return modbus::Trans_4Bytes_to_Float(bytes.subspan(offset).first<4>());
}

unsigned u16At(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<unsigned>(bytes[offset]) * 256u + bytes[offset + 1];
}

QString valueText(Q quantity, double value)
{
    const int decimals = meter::quantity(quantity).decimals;
    return decimals < 0 ? QString::number(value, 'f', 0) : formatFixed(value, decimals);
}

QString clockText(const MeterClock &clock)
{
    const auto n = [&clock](std::size_t i) { return QString::number(clock.fields[i] + (i == 0 ? 2000u : 0u)); };
    return n(0) + u'/' + n(1) + u'/' + n(2) + QStringLiteral("  ") + n(3) + u':' + n(4) + u':' + n(5);
}

} // namespace meter
