#include "loadprofile/group_requests.h"

namespace loadprofile {

namespace {

constexpr int kFirstRegister[2] = {0x1034, 0x1043}; // channel count, interval, codes follow
constexpr int kClearRegister[2] = {0x1033, 0x1042};
// The value a clear register takes to clear its group's records.
constexpr std::uint16_t kClearRecords = 51;

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
                  kFirstRegister[group == 0 ? 0 : 1], std::move(values));
}

session::MeterRequest clearGroupRequest(int group)
{
    return single(group == 0 ? session::RequestKind::ClearGroup1 : session::RequestKind::ClearGroup2,
                  kClearRegister[group == 0 ? 0 : 1], {kClearRecords});
}

} // namespace loadprofile
