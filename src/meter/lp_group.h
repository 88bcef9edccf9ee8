#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace meter {

// A load-profile group. The user, file names, the archive and the command
// line number them 1 and 2; arrays index them 0 and 1. Code passes an
// LpGroup and asks for the one it needs, so no conversion between the two
// is written by hand anywhere else.
class LpGroup {
public:
    static constexpr int kCount = 2;

    // The first group by default (what a range or an origin not yet chosen holds).
    constexpr LpGroup() = default;

    static constexpr LpGroup first() { return LpGroup(0); }
    static constexpr LpGroup second() { return LpGroup(1); }
    static constexpr std::array<LpGroup, kCount> all() { return {first(), second()}; }

    // The group the user numbers number (1 or 2); nothing for any other number.
    static constexpr std::optional<LpGroup> fromNumber(int number)
    {
        if (number < 1 || number > kCount)
            return std::nullopt;
        return LpGroup(std::size_t(number - 1));
    }
    // The group at index (0 or 1: a place in an array); an index past the
    // last gives the last group.
    static constexpr LpGroup atIndex(std::size_t index) { return LpGroup(index < kCount ? index : kCount - 1); }
    // The group a list of the groups shows at row (0 or 1); nothing for no
    // row (-1) or one past the groups.
    static constexpr std::optional<LpGroup> fromRow(int row)
    {
        if (row < 0 || row >= kCount)
            return std::nullopt;
        return LpGroup(std::size_t(row));
    }

    constexpr int number() const { return int(index_) + 1; } // 1 or 2
    constexpr std::size_t index() const { return index_; }   // 0 or 1

    friend constexpr bool operator==(LpGroup, LpGroup) = default;

private:
    constexpr explicit LpGroup(std::size_t index) : index_(index) {}

    std::size_t index_ = 0;
};

} // namespace meter
