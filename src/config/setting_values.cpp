#include "config/setting_values.h"

#include "config/typed_number.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace config {

namespace {

std::optional<std::uint16_t> roundedRegister(const QString &text, double scale)
{
    const std::optional<double> value = fullNumber(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value * scale);
    if (rounded < 0 || rounded > std::numeric_limits<std::uint16_t>::max())
        return std::nullopt;
    return static_cast<std::uint16_t>(rounded);
}

bool fitsSingle(double value)
{
    return std::isfinite(value) && std::fabs(value) <= double(std::numeric_limits<float>::max());
}

} // namespace

std::optional<std::uint16_t> ptRatioTenths(const QString &text) { return roundedRegister(text, 10); }

std::optional<std::uint16_t> ctRatioValue(const QString &text) { return roundedRegister(text, 1); }

std::optional<double> floatRatio(const QString &primary, const QString &secondary)
{
    const std::optional<double> top = fullNumber(primary);
    const std::optional<double> bottom = fullNumber(secondary);
    if (!top || !bottom || *bottom <= 0)
        return std::nullopt;
    const double ratio = *top / *bottom;
    if (!(ratio > 0) || !fitsSingle(ratio))
        return std::nullopt;
    return ratio;
}

std::optional<double> co2Factor(const QString &text)
{
    const std::optional<double> value = fullNumber(text);
    if (!value || !fitsSingle(*value))
        return std::nullopt;
    return value;
}

std::array<std::uint16_t, 7> meterClockValues(const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    // Qt counts Monday 1 to Sunday 7; the meter Sunday 0 to Saturday 6.
    const int weekday = date.dayOfWeek() % 7;
    return {std::uint16_t(date.year() % 100), std::uint16_t(date.month()),
            std::uint16_t(date.day()),        std::uint16_t(clock.hour()),
            std::uint16_t(clock.minute()),    std::uint16_t(clock.second()),
            std::uint16_t(weekday)};
}

std::uint16_t scrollTimeValue(const QString &text, int listIndex)
{
    if (text == QLatin1String("Fixed"))
        return kFixedScrollTime;
    return static_cast<std::uint16_t>(std::max(listIndex, 0) + kShortestScrollTime);
}

std::optional<int> meterAddress(const QString &text) { return wholeNumberIn(text, 1, 250); }

} // namespace config
