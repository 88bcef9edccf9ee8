#pragma once

#include "archive/interval_quality.h"
#include "lpdata/records.h"

#include <QDateTime>
#include <QList>
#include <QPointF>

#include <span>
#include <vector>

// What a period of a group's records covers, and a channel's load-duration
// curve over it, as the viewer shows them beside and instead of the chart.
namespace archive {

struct PeriodCoverage {
    int intervalSeconds = 0; // the group's interval; 0: not known, nothing counted
    long long due = 0;       // intervals on the grid from `from` up to `to`
    long long present = 0;   // of them, those a record closes
    long long missing = 0;
    long long repeated = 0;  // records whose stamp repeats an earlier one
    // Of each record, in the order given: the present interval it lies in
    // (the grid stamp at or after its stamp; 0 for the first due one), or
    // -1 for none (an interval counted missing, beyond the span, no valid
    // stamp). A repeated stamp's records lie in one interval.
    std::vector<long long> intervalOf;

    bool operator==(const PeriodCoverage &) const = default;
};

// The group's interval in seconds: the one most of the records' quality
// names, else the one their stamps show; 0 when neither tells.
int recordsInterval(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality);

// The coverage of the records (oldest first, quality[i] of records[i], as
// the archive hands them out) from `from` (included) to `to` (excluded):
// the viewer passes the period shown, cut to the group's first and last
// record, so that intervals not recorded yet are not missing ones. The
// interval is the records' own, else the one their stamps show.
PeriodCoverage periodCoverage(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality,
                              const QDateTime &from, const QDateTime &to);

// The load-duration curve of column `column` over the coverage of the same
// records: x is the share of the due intervals, so that the curve ends
// where the coverage says (present / due, 100 % with none missing). Each
// present interval holds 100 / due percent, shared alike by the finite
// values of the records that lie in it (the two records of a repeated
// stamp: half each); the values from the highest down, a point at the
// start of each value's share and one at the end of the last. With no
// interval known, each finite value holds an equal share of 100 %.
QList<QPointF> loadDurationCurve(std::span<const lpdata::Record> records, std::size_t column,
                                 const PeriodCoverage &coverage);

} // namespace archive
