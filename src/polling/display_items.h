#pragma once

#include <QString>

#include <cstdint>
#include <span>

// The pages the meter's own display scrolls through.
namespace polling {

inline constexpr int kDisplayPositions = 50;

// The name of a display-item code; empty for a code that means an empty
// position (0, 13 to 100, 142 and above).
QString displayItemName(unsigned code);

// The text of txt_Display_Item from the 520-byte main block: a header line,
// then "p : name(code)" for every position p = 1..50 whose code has a name,
// each line ending in CR LF. Empty for a block of another length.
QString displayItemsText(std::span<const std::uint8_t> mainBlock);

} // namespace polling
