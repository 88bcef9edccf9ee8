#pragma once

#include "meter/lp_group.h"

#include <cstddef>
#include <cstdint>

// The meter's registers: every block the poll reads, every register the
// settings and the load profile write, and the record windows. Nothing
// else in the program names a register by its number.
namespace meter::registers {

inline constexpr std::uint8_t kHolding = 3; // function code of a holding-register read
inline constexpr std::uint8_t kInput = 4;   // function code of an input-register read

// A run of registers read with one request.
struct Block {
    std::uint8_t function;
    int start;
    int count;
};

// -- What the poll reads, in poll order --------------------------------------

inline constexpr Block kFirmware{kInput, 0x1018, 4};
// The main block: four reads decoded as one run of 520 bytes, in this order.
inline constexpr Block kMainBlocks[] = {
    {kHolding, 0x1000, 100}, {kHolding, 0x1064, 50}, {kInput, 0x1000, 20}, {kInput, 0x1080, 90}};
inline constexpr Block kValidCounts{kInput, 0x1190, 4};
inline constexpr Block kDemand{kInput, 0x11A1, 5};
inline constexpr Block kFrequency{kInput, 0x107E, 2};
inline constexpr Block kPhaseEnergy{kInput, 0x10D4, 30};
inline constexpr Block kRatios{kHolding, 0x1021, 2};
inline constexpr Block kThd{kInput, 0x1400, 48};
inline constexpr Block kCO2{kInput, 0x044C, 8};
inline constexpr Block kFloatRatios{kHolding, 0x0000, 4};

// The harmonic spectra: one block of 64 input registers per channel
// (va, vb, vc, ia, ib, ic), each 0x40 after the one before.
inline constexpr int kHarmonicChannels = 6;
inline constexpr int kHarmonicCount = 64;
constexpr Block harmonicBlock(int channel) { return {kInput, 0x1430 + 0x40 * channel, kHarmonicCount}; }

// The byte offset of a register of the main block's first read (holding
// registers from 0x1000) within the main block.
constexpr std::size_t mainBlockOffset(int holdingRegister)
{
    return std::size_t(2 * (holdingRegister - kMainBlocks[0].start));
}

// -- Holding registers the settings write -----------------------------------

inline constexpr int kPTRatioFloat = 0x0000;
inline constexpr int kCTRatioFloat = 0x0002;
inline constexpr int kAddress = 0x1000;
inline constexpr int kBaudRate = 0x1001;
inline constexpr int kStopBit = 0x1002;
inline constexpr int kWiring = 0x1004;
inline constexpr int kClearEnergy = 0x1012;
inline constexpr int kPTRatio = 0x1021;
inline constexpr int kCTRatio = 0x1022;
inline constexpr int kClock = 0x1023;     // six registers: year, month, day, hour, minute, second
inline constexpr int kCO2Factor = 0x1040;
inline constexpr int kScrollTime = 0x1050;
inline constexpr int kFirstDisplayItem = 0x1052; // one register per display page

// The value written to kClearEnergy to clear the energy totals.
inline constexpr std::uint16_t kClearEnergyCommand = 0x0055;

// -- The load profile --------------------------------------------------------

// Each group's settings: the channel count, then the interval, then the
// channel codes.
constexpr int groupSetting(LpGroup g) { return g == LpGroup::first() ? 0x1034 : 0x1043; }
// Each group's clear register, and the value that clears its records.
constexpr int groupClear(LpGroup g) { return g == LpGroup::first() ? 0x1033 : 0x1042; }
inline constexpr std::uint16_t kClearRecordsCommand = 51;
// The interval register's value for 30 seconds (other values are minutes).
inline constexpr std::uint16_t kIntervalThirtySeconds = 230;

// The record pointer: the number of the first record the windows show.
inline constexpr int kRecordPointer = 0x104D;
// The first register of a group's record window.
constexpr int recordWindow(LpGroup g) { return g == LpGroup::first() ? 0x2000 : 0x2100; }

} // namespace meter::registers
