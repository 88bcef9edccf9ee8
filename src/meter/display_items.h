#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The pages the meter's own display scrolls through.
namespace meter {

inline constexpr int kDisplayPositions = 50;

// The name of a display-item code; empty for a code that means an empty
// position (0, 13 to 100, 142 and above).
QString displayItemName(unsigned code);

// The code at each position 1..50 of the display sequence, from the 520-byte
// main block; nothing for a block of another length.
using DisplayItemCodes = std::array<unsigned, kDisplayPositions>;
std::optional<DisplayItemCodes> displayItemCodes(std::span<const std::uint8_t> mainBlock);
// The text of the display sequence: a header line, then "p : name(code)"
// for every position p = 1..50 whose code has a name, each line ending in
// CR LF.
QString displayItemsText(const DisplayItemCodes &codes);
// The same from the main block; empty for a block of another length.
QString displayItemsText(std::span<const std::uint8_t> mainBlock);

} // namespace meter
