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

session::MeterRequest groupSettingRequest(int group, std::vector<std::uint16_t> values)
{
    return single(group == 0 ? session::RequestKind::GroupSetting1 : session::RequestKind::GroupSetting2,
                  reg::kGroupSetting[group == 0 ? 0 : 1], std::move(values));
}

session::MeterRequest clearGroupRequest(int group)
{
    return single(group == 0 ? session::RequestKind::ClearGroup1 : session::RequestKind::ClearGroup2,
                  reg::kGroupClear[group == 0 ? 0 : 1], {reg::kClearRecordsCommand});
}

} // namespace loadprofile
