#pragma once

#include <QString>

#include <limits>
#include <optional>

namespace metersim {

// A whole number written in decimal or, with a 0x prefix, in hexadecimal,
// accepted only inside [min, max].
std::optional<qint64> parseNumber(const QString &text, qint64 min, qint64 max);

} // namespace metersim
