#pragma once

#include "meter_config.h"
#include "register_bank.h"

namespace metersim {

// Declares which registers exist.
void mapRegisters(RegisterBank &bank);
// Fills the stored registers from the configuration: identity, settings,
// measurements derived from voltage, current and phase angle, fixed energy
// counters, demand, THD, harmonics and the load-profile settings.
void fillDefaults(RegisterBank &bank, const MeterConfig &config);

} // namespace metersim
