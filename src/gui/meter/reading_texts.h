#pragma once

#include "gui/meter/text_update.h"
#include "meter/reading.h"
#include "meter/value_format.h"

#include <array>
#include <cstdint>
#include <span>

// The window's texts of the reading, at the controls that show them: the
// only place outside the pages' own code that names those controls.
namespace meter {

// Texts of the samples; indexes of the measurement panels start at displayBase.
TextUpdates sampleTexts(const Samples &samples, int displayBase);
// The texts of quantities that are no longer read: empty.
TextUpdates blankTexts(std::initializer_list<Q> quantities, int displayBase);

// The texts of what a refused read would have filled: empty. The totals
// shown again beside the per-phase energies go with the totals.
TextUpdates withdrawnTexts(const Withdrawn &withdrawn, int displayBase);

// Clock, serial number, wiring (only for a code that has a text), phase sequence.
TextUpdates identityTexts(const MeterIdentity &identity);

// Per-phase energies, then the totals' texts copied into B+20..B+24.
TextUpdates phaseEnergyTexts(const Samples &phases, int displayBase,
                             const std::array<QString, 5> &totalTexts);
TextUpdates harmonicTexts(const std::array<double, 32> &harmonics);
// Channel counts, intervals ("30 sec" for 230), channel codes and record
// capacities of both groups.
TextUpdates lpStatusTexts(const std::array<LPGroupStatus, LpGroup::kCount> &groups);

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

// Channel counts, intervals, codes and capacities of both groups from the main block.
TextUpdates DecodeLPStatus(std::span<const std::uint8_t> mainBlock);

} // namespace meter
