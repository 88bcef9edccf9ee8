#pragma once

#include "meter/lp_group.h"
#include "meter/reading.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The state of the meter's two load-profile groups as the poll cycle reads it.
namespace meter {

inline constexpr int kLPGroups = LpGroup::kCount;
// The most channels each group records.
constexpr int lpMaxChannels(LpGroup g) { return g == LpGroup::first() ? 12 : 8; }

// Channel counts, intervals, channel codes and the record capacity of both
// groups from the 520-byte main block (a capacity only for a channel count
// the group can have); nothing for a block of another length. The valid
// counts are left unknown: they come from their own block.
std::optional<std::array<LPGroupStatus, kLPGroups>> lpGroupStatus(std::span<const std::uint8_t> mainBlock);

// The text of a group's interval register.
QString lpIntervalText(unsigned value);
// How many records the group holds with that many channels; empty for a
// count the group cannot have.
std::optional<int> lpCapacity(LpGroup group, int channels);

// The valid-record counts of both groups from block 5 (8 bytes); empty for a
// block of another length.
std::optional<std::array<unsigned, kLPGroups>> lpValidCounts(std::span<const std::uint8_t> block);

} // namespace meter
