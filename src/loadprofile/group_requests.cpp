#include "loadprofile/group_requests.h"

#include "meter/register_map.h"

namespace loadprofile {

namespace {

namespace reg = meter::registers;

session::MeterRequest single(session::RequestKind kind, int start, std::vector<std::uint16_t> values)
{
    session::MeterRequest request;
    request.kind = kind;
    request.writes.push_back({start, std::move(values)});
    return request;
}

} // namespace

session::MeterRequest groupSettingRequest(meter::LpGroup group, std::vector<std::uint16_t> values)
{
    const bool first = group == meter::LpGroup::first();
    return single(first ? session::RequestKind::GroupSetting1 : session::RequestKind::GroupSetting2,
                  reg::groupSetting(group), std::move(values));
}

session::MeterRequest clearGroupRequest(meter::LpGroup group)
{
    const bool first = group == meter::LpGroup::first();
    return single(first ? session::RequestKind::ClearGroup1 : session::RequestKind::ClearGroup2,
                  reg::groupClear(group), {reg::kClearRecordsCommand});
}

} // namespace loadprofile
