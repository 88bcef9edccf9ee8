#pragma once

#include "polling/reading.h"
#include "polling/text_update.h"

#include <array>

// The one formatter of the reading: the window's texts of its values, at
// the controls that show them. Only the window's view (and the poll cycle
// that fills it) knows these control names.
namespace polling {

// A value as the window shows it: the quantity's decimals in the user's
// locale (formatFixed), or a whole number.
QString valueText(Q quantity, double value);

// Texts of the samples; indexes of the measurement panels start at displayBase.
TextUpdates sampleTexts(const Samples &samples, int displayBase);
// The texts of quantities that are no longer read: empty.
TextUpdates blankTexts(std::initializer_list<Q> quantities, int displayBase);

// "2024/3/5  9:5:3": the clock fields as they come, no leading zeros.
QString clockText(const MeterClock &clock);
// Clock, serial number, wiring (only for a code that has a text), phase sequence.
TextUpdates identityTexts(const MeterIdentity &identity);

// Per-phase energies, then the totals' texts copied into B+20..B+24.
TextUpdates phaseEnergyTexts(const Samples &phases, int displayBase,
                             const std::array<QString, 5> &totalTexts);
TextUpdates harmonicTexts(const std::array<double, 32> &harmonics);
// Channel counts, intervals ("30 sec" for 230), channel codes and record
// capacities of both groups.
TextUpdates lpStatusTexts(const std::array<LPGroupStatus, 2> &groups);

} // namespace polling
