#pragma once

#include "lpdata/archived_end.h"
#include "meter/lp_group.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace session {
class MeterAccess;
}

// "New only": the records of a meter's group after the last one the archive
// holds. It starts after the record where the archive's last download ended
// when the meter still holds that record at its number (its stamp read
// again), so that records stamped earlier after a clock set back are fetched
// too; otherwise after the archive's newest stamp, by a date search.
namespace loadprofile {

inline constexpr double kOneSecond = 1.0 / 86400;

// The date serial of a date and time, to the second.
double serialOf(const QDateTime &time);

// Where the window's "new only" begins for a group of validCount records
// whose newest record the poll has read as stamped meterNewest (a date
// serial; 0 until read).
struct NewOnlyStart {
    enum class Kind {
        All,        // nothing archived of the group: all its records
        NothingNew, // the group holds no records, or none newer than the archive's newest
        Search,     // a date search from begin, which first reads the archive's last record again
    };
    Kind kind = Kind::All;
    // NothingNew: the archive's newest stamp as the user reads it (empty
    // when nothing is archived).
    QString newest;
    // Search: the first stamp wanted (a date serial), and the record where
    // the archive's last download ended with its stamp (0: none).
    double begin = 0;
    long long lastRecord = 0;
    QDateTime lastRecordStamp;
};
NewOnlyStart newOnlyStart(long long validCount, double meterNewest, const std::optional<lpdata::ArchivedEnd> &archived);

// The meter's record `record` (from 1) of group g, which holds validCount,
// still carries the stamp the archive holds of it (to the minute, as the
// meter's stamps are read); false for a number the group does not hold;
// nothing when the read failed.
std::optional<bool> stillHolds(session::MeterAccess &meter, meter::LpGroup g, long long record, long long validCount,
                               const QDateTime &stamp);

} // namespace loadprofile
