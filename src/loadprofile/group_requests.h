#pragma once

#include "meter/lp_group.h"
#include "session/meter_request.h"

#include <cstdint>
#include <vector>

// A load-profile group's settings and the clearing of its records, as
// requests a meter session writes.
namespace loadprofile {

// The group's channel count, interval code and channel codes, in the order
// of its registers.
session::MeterRequest groupSettingRequest(meter::LpGroup group, std::vector<std::uint16_t> values);
session::MeterRequest clearGroupRequest(meter::LpGroup group);

} // namespace loadprofile
