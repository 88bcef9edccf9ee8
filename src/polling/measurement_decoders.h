#pragma once

#include "polling/reading.h"
#include "polling/text_update.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Decoders of the measurement blocks: register bytes in, typed values out
// (reading.h); each gives nothing when its block does not have the length it
// needs. The Decode... functions beside them give the window's texts of the
// same block, made by the one formatter (reading_texts.h).
namespace polling {

inline constexpr std::size_t kMainBlockBytes = 520;

// Real-time values, energy totals, and the meter's identity from the
// 520-byte main block.
struct MainBlock {
    Samples samples;
    MeterIdentity identity;
};
std::optional<MainBlock> mainBlockValues(std::span<const std::uint8_t> block);
// Per-phase energies (block 8, 60 bytes).
std::optional<Samples> phaseEnergyValues(std::span<const std::uint8_t> block);
// Seconds left of the demand period, demand, maximum demand (block 6, 10 bytes).
std::optional<Samples> demandValues(std::span<const std::uint8_t> block);
// Frequency (block 7, 4 bytes).
std::optional<Samples> frequencyValues(std::span<const std::uint8_t> block);
// PT ratio from tenths, CT ratio (block 9, 4 bytes).
std::optional<Samples> ratioValues(std::span<const std::uint8_t> block);
// PT and CT ratios as floats (block 13, 8 bytes).
std::optional<Samples> floatRatioValues(std::span<const std::uint8_t> block);
// CO2 emission and factor (block 12, 16 bytes).
std::optional<Samples> co2Values(std::span<const std::uint8_t> block);
// The THD block (96 bytes): 3 groups of 8 values, of which the first 6 are
// quantities.
std::optional<std::array<double, 24>> thdValues(std::span<const std::uint8_t> block);
Samples thdSamples(const std::array<double, 24> &table);
// The 32 harmonics of one channel (block 11, 128 bytes).
std::optional<std::array<double, 32>> harmonicValues(std::span<const std::uint8_t> block);

// The window's texts of each block; indexes start at displayBase.
TextUpdates DecodeMainBlock(std::span<const std::uint8_t> block, int displayBase);
// Per-phase energies into txt_kWh B+5..B+19, then the texts of the totals
// B+0..B+4 copied into B+20..B+24.
TextUpdates DecodePhaseEnergy(std::span<const std::uint8_t> block, int displayBase,
                              const std::array<QString, 5> &totalTexts);
TextUpdates decodeDemand(std::span<const std::uint8_t> block);
TextUpdates decodeFrequency(std::span<const std::uint8_t> block, int displayBase);
TextUpdates decodeRatios(std::span<const std::uint8_t> block);
TextUpdates decodeFloatRatios(std::span<const std::uint8_t> block);
TextUpdates DecodeCO2(std::span<const std::uint8_t> block);
// Values 8g+k (k < 6) into txtTHD(6g+k); the table is filled.
TextUpdates DecodeTHD(std::span<const std::uint8_t> block, std::array<double, 24> &table);
// Into txtHarmonic(0..31) when the channel is still selected; the table is
// filled either way.
TextUpdates DecodeHarmonic(std::span<const std::uint8_t> block, bool stillSelected,
                           std::array<double, 32> &table);

// Texts of the wiring and phase-sequence codes ("" for a code whose wiring
// text is left unchanged).
QString wiringText(unsigned code);
QString phaseSequenceText(unsigned code);

} // namespace polling
