#include "archive/period_coverage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace archive {

namespace {

const QDateTime kEpoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

long long secondsOf(const QDateTime &time)
{
    return kEpoch.secsTo(QDateTime(time.date(), time.time(), Qt::UTC));
}

} // namespace

int recordsInterval(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality)
{
    std::map<int, long long> seen;
    for (const RecordQuality &q : quality)
        if (q.intervalSeconds > 0)
            ++seen[q.intervalSeconds];
    if (!seen.empty())
        return std::max_element(seen.begin(), seen.end(), [](const auto &a, const auto &b) {
                   return a.second < b.second;
               })->first;
    std::vector<long long> stamps;
    for (const lpdata::Record &record : records)
        if (lpdata::hasValidStamp(record))
            stamps.push_back(stampSeconds(record));
    return intervalOfStamps(stamps);
}

PeriodCoverage periodCoverage(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality,
                              const QDateTime &from, const QDateTime &to)
{
    PeriodCoverage coverage;
    for (std::size_t i = 0; i < records.size() && i < quality.size(); ++i)
        if (quality[i].flags & kRepeatedStamp)
            ++coverage.repeated;
    coverage.intervalSeconds = recordsInterval(records, quality);
    const long long interval = coverage.intervalSeconds;
    if (interval <= 0 || !from.isValid() || !to.isValid())
        return coverage;
    const long long begin = secondsOf(from);
    const long long end = secondsOf(to);
    // The first stamp on the grid at or after begin (stamps count from 2000
    // on, a whole number of days: the grid of every day).
    const long long first = (begin + interval - 1) / interval * interval;
    coverage.due = end > first ? (end - 1 - first) / interval + 1 : 0;
    std::vector<long long> closed;
    closed.reserve(records.size());
    for (const lpdata::Record &record : records) {
        if (!lpdata::hasValidStamp(record))
            continue;
        const long long stamp = stampSeconds(record);
        if (stamp >= begin && stamp < end && stamp % interval == 0)
            closed.push_back(stamp);
    }
    std::sort(closed.begin(), closed.end());
    coverage.present = std::unique(closed.begin(), closed.end()) - closed.begin();
    coverage.missing = std::max(0LL, coverage.due - coverage.present);
    return coverage;
}

QList<QPointF> loadDurationCurve(std::span<const lpdata::Record> records, std::size_t column, long long due)
{
    std::vector<double> values;
    values.reserve(records.size());
    for (const lpdata::Record &record : records)
        if (column < record.values.size() && std::isfinite(record.values[column]))
            values.push_back(record.values[column]);
    std::sort(values.begin(), values.end(), std::greater<>());
    const double share = 100.0 / double(std::max<long long>(due, (long long)values.size()));
    QList<QPointF> curve;
    curve.reserve(qsizetype(values.size()) + 1);
    for (std::size_t i = 0; i < values.size(); ++i)
        curve.append(QPointF(share * double(i), values[i]));
    if (!values.empty())
        curve.append(QPointF(share * double(values.size()), values.back()));
    return curve;
}

} // namespace archive
