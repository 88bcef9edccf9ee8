#include "loadprofile/new_only_start.h"

#include "loadprofile/record_reads.h"
#include "lpdata/date_serial.h"

#include <QLocale>

#include <cmath>

namespace loadprofile {

double serialOf(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return lpdata::dateSerial(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

NewOnlyStart newOnlyStart(long long validCount, double meterNewest, const std::optional<lpdata::ArchivedEnd> &archived)
{
    NewOnlyStart start;
    if (!archived || !archived->newest.isValid()) {
        if (validCount < 1)
            start.kind = NewOnlyStart::Kind::NothingNew;
        return start;
    }
    const double newest = serialOf(archived->newest);
    // The meter's newest record (read by the poll, to the minute) is no
    // later: nothing new, unless the archive knows where its last download
    // ended (the clock may have been set back since).
    if (validCount < 1 || (archived->lastRecord == 0 && meterNewest != 0 && meterNewest <= newest)) {
        start.kind = NewOnlyStart::Kind::NothingNew;
        start.newest = QLocale().toString(archived->newest, QLocale::ShortFormat);
        return start;
    }
    start.kind = NewOnlyStart::Kind::Search;
    start.begin = newest + kOneSecond;
    start.lastRecord = archived->lastRecord;
    start.lastRecordStamp = archived->lastRecordStamp;
    return start;
}

std::optional<bool> stillHolds(session::MeterAccess &meter, meter::LpGroup g, long long record, long long validCount,
                               const QDateTime &stamp)
{
    if (record < 1 || record > validCount)
        return false;
    const std::optional<double> time = readRecordTime(meter, g, record);
    if (!time)
        return std::nullopt;
    const QDateTime minute(stamp.date(), QTime(stamp.time().hour(), stamp.time().minute()), stamp.timeSpec());
    return std::abs(*time - serialOf(minute)) < kOneSecond / 2;
}

} // namespace loadprofile
