#pragma once

#include <array>
#include <cstdint>

// Reading records block by block: a block is up to four records, asked for
// by writing the first record's number into the record pointer register and
// reading the group's record window.
namespace loadprofile {

inline constexpr int kRecordsPerBlock = 4;

// How many records the block from next to last (zero-based, inclusive) holds.
constexpr int recordsInBlock(long long next, long long last)
{
    const long long remaining = last - next + 1;
    return remaining <= 0 ? 0 : remaining < kRecordsPerBlock ? int(remaining) : kRecordsPerBlock;
}

// Registers of that many records of that many channels.
constexpr int blockRegisters(int channels, int records) { return (2 * channels + 3) * records; }

// The record pointer's two bytes, high byte first, for a record number.
constexpr std::array<std::uint8_t, 2> recordPointerBytes(long long recordNumber)
{
    return {std::uint8_t((recordNumber >> 8) & 0xFF), std::uint8_t(recordNumber & 0xFF)};
}

} // namespace loadprofile
