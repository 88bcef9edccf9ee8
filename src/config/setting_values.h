#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

class QDateTime;

// What the meter-setting writes send: registers and the encoding of each value.
namespace config {

// The scroll time of a display that does not scroll.
inline constexpr std::uint16_t kFixedScrollTime = 250;
inline constexpr int kShortestScrollTime = 3;

// The PT ratio in tenths, rounded half to even (2.5 gives 25, 1.25 gives 12).
// The meter's register is unsigned, so 6250 gives 62500. Empty for a text
// that is no number or a value beyond 0..65535.
std::optional<std::uint16_t> ptRatioTenths(const QString &text);
// The CT ratio rounded half to even; empty as above.
std::optional<std::uint16_t> ctRatioValue(const QString &text);

// Primary over secondary (11400 / 110). Empty when either text is no number,
// the secondary is not above 0, or the ratio is not above 0 or beyond what
// a single-precision float holds.
std::optional<double> floatRatio(const QString &primary, const QString &secondary);
// A CO2 factor: a number that a single-precision float holds; empty otherwise.
std::optional<double> co2Factor(const QString &text);

// The seven clock registers for a local time: year within the century,
// month, day, hour, minute, second, day of week from Sunday = 0.
std::array<std::uint16_t, 7> meterClockValues(const QDateTime &time);

// The scroll-time register value of an entry of the scroll-time list:
// "Fixed" gives 250, the entry at list position i gives i + 3 seconds.
std::uint16_t scrollTimeValue(const QString &text, int listIndex);

// The meter's new address typed into the address box: a whole number
// 1..250, empty otherwise.
std::optional<int> meterAddress(const QString &text);

} // namespace config
