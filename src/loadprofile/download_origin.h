#pragma once

#include "meter/lp_group.h"

#include <QString>

#include <vector>

namespace meter {
struct Reading;
}

// What a download belongs to, fixed when it starts: the meter and the
// group's settings its rows were read with. A download continued after a
// reconnect goes on into the same file only while the meter read then is
// the same meter with the same group settings.
namespace loadprofile {

struct DownloadOrigin {
    QString serial;         // the meter's serial number as it shows it
    meter::LpGroup group;
    int channels = 0;       // channel count of the group
    std::vector<int> codes; // the group's channel codes, in column order
    QString interval;       // the group's recording interval as shown

    bool operator==(const DownloadOrigin &) const = default;
};

// What the reading shows of the meter and of group g now; no channels for a
// count the group cannot have.
DownloadOrigin originOf(const meter::Reading &reading, meter::LpGroup g);

// The valid-record count of group g the reading shows; 0 while the poll has
// not read it.
long long validRecords(const meter::Reading &reading, meter::LpGroup g);

// The first thing that differs between the origin a download began with and
// the meter read now, in this order: another meter, the channel count, the
// channel codes, the interval. None for the same meter and group settings.
enum class OriginChange { None, OtherMeter, Channels, Codes, Interval };
OriginChange originChange(const DownloadOrigin &began, const DownloadOrigin &now);

// The changed setting's value in began and in now, as text: "8" and "4"
// for the channel count, "1,2,3" for codes; empty texts for None and
// OtherMeter (the serial numbers say that).
std::pair<QString, QString> changedValues(OriginChange change, const DownloadOrigin &began,
                                          const DownloadOrigin &now);

} // namespace loadprofile
