#pragma once

#include "polling/text_update.h"

#include <array>
#include <cstdint>
#include <span>

// Decoders of the measurement blocks: register bytes in, display texts out.
// Each returns nothing when its block does not have the length it needs.
namespace polling {

inline constexpr std::size_t kMainBlockBytes = 520;

// Real-time values, energy totals, meter clock, serial number, wiring and
// phase sequence from the 520-byte main block; indexes start at displayBase.
TextUpdates DecodeMainBlock(std::span<const std::uint8_t> block, int displayBase);

// Per-phase energies from block 8 (60 bytes) into txt_kWh B+5..B+19, then the
// texts of the totals B+0..B+4 copied into B+20..B+24.
TextUpdates DecodePhaseEnergy(std::span<const std::uint8_t> block, int displayBase,
                              const std::array<QString, 5> &totalTexts);

// Demand (block 6, 10 bytes).
TextUpdates decodeDemand(std::span<const std::uint8_t> block);
// Frequency (block 7, 4 bytes).
TextUpdates decodeFrequency(std::span<const std::uint8_t> block, int displayBase);
// PT ratio in tenths and CT ratio (block 9, 4 bytes).
TextUpdates decodeRatios(std::span<const std::uint8_t> block);
// PT and CT ratios as floats (block 13, 8 bytes).
TextUpdates decodeFloatRatios(std::span<const std::uint8_t> block);
// CO2 values 1 and 3 (block 12, 16 bytes).
TextUpdates DecodeCO2(std::span<const std::uint8_t> block);

// THD table (block 10, 96 bytes): values 8g+k (k < 6) into txtTHD(6g+k).
TextUpdates DecodeTHD(std::span<const std::uint8_t> block, std::array<double, 24> &table);
// Harmonics of one channel (block 11, 128 bytes) into txtHarmonic(0..31) when
// the channel is still selected; the table is filled either way.
TextUpdates DecodeHarmonic(std::span<const std::uint8_t> block, bool stillSelected,
                           std::array<double, 32> &table);

// Texts of the wiring and phase-sequence codes ("" for a code whose wiring
// text is left unchanged).
QString wiringText(unsigned code);
QString phaseSequenceText(unsigned code);

} // namespace polling
