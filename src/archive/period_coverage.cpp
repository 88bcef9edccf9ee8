#include "archive/period_coverage.h"

#include <algorithm>
#include <cmath>
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
    // Each record lies in the interval of the grid stamp at or after its
    // own; a record on that stamp closes it.
    coverage.intervalOf.assign(records.size(), -1);
    std::vector<long long> closed;
    closed.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!lpdata::hasValidStamp(records[i]))
            continue;
        const long long stamp = stampSeconds(records[i]);
        const long long slot = (stamp - first + interval - 1) / interval;
        if (stamp < begin || slot >= coverage.due)
            continue;
        coverage.intervalOf[i] = slot;
        if (stamp % interval == 0)
            closed.push_back(slot);
    }
    std::sort(closed.begin(), closed.end());
    closed.erase(std::unique(closed.begin(), closed.end()), closed.end());
    coverage.present = (long long)closed.size();
    coverage.missing = std::max(0LL, coverage.due - coverage.present);
    // A record off the grid in a missing interval does not make it present.
    for (long long &slot : coverage.intervalOf)
        if (slot >= 0 && !std::binary_search(closed.begin(), closed.end(), slot))
            slot = -1;
    return coverage;
}

QList<QPointF> loadDurationCurve(std::span<const lpdata::Record> records, std::size_t column,
                                 const PeriodCoverage &coverage)
{
    const bool known = coverage.due > 0;
    struct Part {
        double value;
        long long interval;
    };
    std::vector<Part> parts;
    parts.reserve(records.size());
    std::map<long long, int> sharing; // values an interval holds
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::vector<double> &values = records[i].values;
        if (column >= values.size() || !std::isfinite(values[column]))
            continue;
        // Not knowing the intervals, each record is one of its own.
        const long long interval = !known ? (long long)i : i < coverage.intervalOf.size() ? coverage.intervalOf[i] : -1;
        if (interval < 0)
            continue;
        parts.push_back({values[column], interval});
        ++sharing[interval];
    }
    std::stable_sort(parts.begin(), parts.end(), [](const Part &a, const Part &b) { return a.value > b.value; });
    const double whole = known ? double(coverage.due) : double(parts.size());
    QList<QPointF> curve;
    curve.reserve(qsizetype(parts.size()) + 1);
    double intervals = 0; // of the time, before the value
    for (const Part &part : parts) {
        curve.append(QPointF(100.0 * intervals / whole, part.value));
        intervals += 1.0 / sharing[part.interval];
    }
    if (!parts.empty())
        curve.append(QPointF(100.0 * intervals / whole, parts.back().value));
    return curve;
}

} // namespace archive
