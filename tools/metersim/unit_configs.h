#pragma once

#include "meter_config.h"
#include "options.h"

#include <vector>

namespace metersim {

// The meters of the line, one per unit of the options in their order. A
// single unit is the configured meter as it is. With several, the unit
// listed n-th (from 0) has phase voltage + n V and current + n x 0.5 A, its
// serial number from --serial or else the first 13 characters of the
// configured one and its unit address in three digits; each draws its noise
// from seed + n.
std::vector<MeterConfig> unitConfigs(const Options &options, quint64 noiseSeed);

} // namespace metersim
