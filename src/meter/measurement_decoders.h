#pragma once

#include "meter/reading.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Decoders of the measurement blocks: register bytes in, typed values out
// (reading.h); each gives nothing when its block does not have the length it
// needs. The window's texts of the same blocks are its pages' (reading_texts.h).
namespace meter {

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

// Texts of the wiring and phase-sequence codes ("" for a code whose wiring
// text is left unchanged).
QString wiringText(unsigned code);
QString phaseSequenceText(unsigned code);

} // namespace meter
