#pragma once

#include <QString>

#include <optional>

// Numbers as a technician types them into the setting boxes, and the checks
// that accept or reject a typed setting.
namespace config {

// The whole text, blanks around it allowed, read by the user's locale (sign,
// digits, decimal and group separators, exponent); empty when it is no
// finite number.
std::optional<double> fullNumber(const QString &text);

// The number formed by the text's leading characters, blanks anywhere
// ignored, "." as the decimal separator, reading stopped at the first
// character that cannot continue the number; 0 when there is none.
double leadingNumber(const QString &text);

// A finite value that rounds (half to even) to itself.
bool isWholeNumber(double value);

// The text as a whole number from first to last; empty otherwise.
std::optional<int> wholeNumberIn(const QString &text, int first, int last);

// The checks of the typed boxes: a rejected text is reported and emptied.
bool ctRatioAccepted(const QString &text);          // 0 < ratio <= 2400
bool ptRatioAccepted(const QString &text);          // 0.1 <= ratio <= 6250
bool meterAddressAccepted(const QString &text);     // whole number 1..250
bool connectionAddressAccepted(const QString &text); // whole number 0..250

} // namespace config
