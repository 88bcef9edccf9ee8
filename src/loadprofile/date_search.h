#pragma once

#include <QString>

#include <functional>
#include <optional>

// The search that turns the begin of a date range into the number of the
// first record to download.
namespace loadprofile {

// Records per day for the first group's interval text (minutes), rounded half
// to even. "30 sec" (a group recording every 30 seconds) gives 2880. A text
// that is no number or no interval (below 1 after rounding, or beyond 32767)
// gives kFallbackRecordsPerDay, a 15-minute interval; the result is at least 1.
inline constexpr int kFallbackRecordsPerDay = 96;
int recordsPerDay(const QString &intervalText);

// Unreadable records the search steps over one after the other before it
// gives up (the link has most likely gone).
inline constexpr int kMaxUnreadableProbes = 16;

struct StartRecordSearch {
    enum class Outcome {
        Found,      // record holds the first record number to download
        NoRecords,  // the group holds no records yet: ask again later
        Unreadable, // time stamps could not be read: tell the user, drop the request
        Failed,     // a read failed (the link, or the search was stopped): drop the request
    };
    Outcome outcome = Outcome::NoRecords;
    long long record = 0; // record number from 1
};

// Finds the record to start a download from begin (a date serial) among
// validCount records, the newest stamped newest, perDay records a day.
// timeOf(record number), asked for records 1..validCount only, is a record's
// date serial, 0 when its stamp is no date; nothing when the read failed,
// which ends the search at once: a failed read is never taken for a place.
// The first guess counts back from the newest record; bisection follows and
// ends at a record less than half a day before begin, at begin, or where
// the bracket is narrower than two records. Unreadable records are stepped
// over upwards, at most maxUnreadable in a row and never past validCount.
StartRecordSearch findStartRecord(double begin, long long validCount, double newest, int perDay,
                                  const std::function<std::optional<double>(long long record)> &timeOf,
                                  int maxUnreadable = kMaxUnreadableProbes);

} // namespace loadprofile
