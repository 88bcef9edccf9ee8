#include "meter/lp_status.h"

#include "meter/measurement_decoders.h"
#include "meter/register_map.h"
#include "meter/value_format.h"

#include <array>

namespace meter {

namespace {

namespace reg = registers;

constexpr std::array<int, 12> kCapacity[kLPGroups] = {
    {39000, 27600, 21600, 17400, 15000, 12600, 11400, 10200, 9000, 8400, 7800, 7200},
    {26000, 18400, 14400, 11600, 10000, 8400, 7600, 6800, 0, 0, 0, 0},
};

} // namespace

QString lpIntervalText(unsigned value)
{
    return value == reg::kIntervalThirtySeconds ? QStringLiteral("30 sec") : QString::number(value);
}

std::optional<int> lpCapacity(LpGroup group, int channels)
{
    if (channels < 1 || channels > lpMaxChannels(group))
        return std::nullopt;
    return kCapacity[group.index()][std::size_t(channels - 1)];
}

std::optional<std::array<LPGroupStatus, kLPGroups>> lpGroupStatus(std::span<const std::uint8_t> mainBlock)
{
    if (mainBlock.size() != kMainBlockBytes)
        return std::nullopt;
    std::array<LPGroupStatus, kLPGroups> groups{};
    for (const LpGroup g : LpGroup::all()) {
        // The group's settings lie in the main block as the registers do:
        // channel count, interval, then the channel codes.
        const std::size_t at = reg::mainBlockOffset(reg::groupSetting(g));
        LPGroupStatus &group = groups[g.index()];
        group.channels = u16At(mainBlock, at);
        group.intervalCode = u16At(mainBlock, at + 2);
        for (int i = 0; i < lpMaxChannels(g); ++i)
            group.codes[std::size_t(i)] = u16At(mainBlock, at + 4 + 2 * std::size_t(i));
        group.capacity = lpCapacity(g, int(group.channels));
    }
    return groups;
}

std::optional<std::array<unsigned, kLPGroups>> lpValidCounts(std::span<const std::uint8_t> block)
{
    if (block.size() != 8)
        return std::nullopt;
    return std::array<unsigned, kLPGroups>{u16At(block, 0), u16At(block, 2)};
}

} // namespace meter
