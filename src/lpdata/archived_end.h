#pragma once

#include <QDateTime>

namespace lpdata {

// What the archive holds of a meter's group, for "new only": its newest
// stamp, and where the last download left the meter's sequence (the number
// the meter gave that download's last record, 0 for none, and its stamp).
struct ArchivedEnd {
    QDateTime newest;
    long long lastRecord = 0;
    QDateTime lastRecordStamp;
};

} // namespace lpdata
