#pragma once

#include "meter/quantities.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

namespace meter {

struct MeterClock;

// A value with a fixed number of decimals, at least one digit before the
// decimal separator of the user's locale, no thousands separator. A value
// that rounds to zero shows without a minus sign.
QString formatFixed(double value, int decimals);

// The shortest decimal text that reads back as the same float32 (the meter
// gives its values as float32), "." as the separator whatever the locale:
// "230", "0.1", "1e-07". Empty for NaN and the infinities.
QString float32Text(double value);

// Meter text: one character per byte. Printable ASCII shows as itself, a zero
// byte (padding) shows as nothing, any other byte as '?'.
QString meterText(std::span<const std::uint8_t> bytes);

// A value as the window shows it: the quantity's decimals in the user's
// locale (formatFixed), or a whole number.
QString valueText(Q quantity, double value);
// "2024/3/5  9:5:3": the clock fields as they come, no leading zeros.
QString clockText(const MeterClock &clock);

// The float32 at offset..offset+3 in received order. The caller has checked the length.
double floatAt(std::span<const std::uint8_t> bytes, std::size_t offset);
// High byte * 256 + low byte at offset, offset+1.
unsigned u16At(std::span<const std::uint8_t> bytes, std::size_t offset);

} // namespace meter
