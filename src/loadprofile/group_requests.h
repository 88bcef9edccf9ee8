#pragma once

#include "session/meter_request.h"

#include <cstdint>
#include <vector>

// A load-profile group's settings and the clearing of its records, as
// requests a meter session writes.
namespace loadprofile {

// Group 0 or 1: its channel count, interval code and channel codes, in the
// order of its registers.
session::MeterRequest groupSettingRequest(int group, std::vector<std::uint16_t> values);
session::MeterRequest clearGroupRequest(int group);

} // namespace loadprofile
