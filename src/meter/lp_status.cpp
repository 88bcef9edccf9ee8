#include "meter/lp_status.h"

#include "meter/measurement_decoders.h"
#include "meter/register_map.h"
#include "meter/value_format.h"

#include <array>

namespace meter {

namespace {

namespace reg = registers;

// Where each group's settings lie in the main block: channel count,
// interval, then the channel codes.
constexpr std::size_t kGroupOffset[kLPGroups] = {reg::mainBlockOffset(reg::kGroupSetting[0]),
                                                 reg::mainBlockOffset(reg::kGroupSetting[1])};

constexpr std::array<int, 12> kCapacity[kLPGroups] = {
    {39000, 27600, 21600, 17400, 15000, 12600, 11400, 10200, 9000, 8400, 7800, 7200},
    {26000, 18400, 14400, 11600, 10000, 8400, 7600, 6800, 0, 0, 0, 0},
};

} // namespace

QString lpIntervalText(unsigned value)
{
    return value == reg::kIntervalThirtySeconds ? QStringLiteral("30 sec") : QString::number(value);
}

std::optional<int> lpCapacity(int group, int channels)
{
    if (group < 0 || group >= kLPGroups || channels < 1 || channels > kLPMaxChannels[group])
        return std::nullopt;
    return kCapacity[group][std::size_t(channels - 1)];
}

std::optional<std::array<LPGroupStatus, kLPGroups>> lpGroupStatus(std::span<const std::uint8_t> mainBlock)
{
    if (mainBlock.size() != kMainBlockBytes)
        return std::nullopt;
    std::array<LPGroupStatus, kLPGroups> groups{};
    for (int g = 0; g < kLPGroups; ++g) {
        const std::size_t at = kGroupOffset[g];
        LPGroupStatus &group = groups[std::size_t(g)];
        group.channels = u16At(mainBlock, at);
        group.intervalCode = u16At(mainBlock, at + 2);
        for (int i = 0; i < kLPMaxChannels[g]; ++i)
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
