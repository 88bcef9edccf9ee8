#pragma once

#include "archive/archive_store.h"

#include <QDateTime>
#include <QString>

#include <vector>

// The stretch of time a chart of the archive shows, and the marks of its
// time axis. Times are the meter's local time held as Qt::UTC, as the
// archive hands them out, so no time zone of the PC moves them.
namespace archive {

enum class PeriodKind { Day, Week, Month, All };

// From start (included) to end (excluded).
struct ViewPeriod {
    PeriodKind kind = PeriodKind::Day;
    QDateTime start;
    QDateTime end;

    // The records it covers: for All, every record, whatever its time.
    TimeRange range() const;
    bool operator==(const ViewPeriod &) const = default;
};

// The day, the week (Monday to Sunday) or the calendar month that holds
// `at`; for All, from first to last (both stored records) and one second.
ViewPeriod periodHolding(PeriodKind kind, const QDateTime &at, const QDateTime &first = {},
                         const QDateTime &last = {});

// The period `steps` days, weeks or months later (earlier when negative).
// All stays as it is.
ViewPeriod stepped(const ViewPeriod &period, int steps);

// A mark of the time axis: where it stands (milliseconds of the time held
// as UTC since 1970) and its label. Labels are unique within one axis.
struct TimeTick {
    qint64 msecs = 0;
    QString label;
};

// Marks from start to end on whole hours, days, months or years, at most
// maxTicks of them and as many as fit: hours read "HH:mm" (a midnight
// "MM-dd"), days "MM-dd", months "yyyy-MM", years "yyyy".
std::vector<TimeTick> timeTicks(const QDateTime &start, const QDateTime &end, int maxTicks);

} // namespace archive
