#include "archive/channel_series.h"

#include "archive/period_coverage.h"
#include "archive/stamp_text.h"
#include "lpdata/channel_codes.h"

#include <algorithm>
#include <cmath>

namespace archive {

std::vector<ChannelSeries> channelSeries(std::span<const lpdata::Record> records,
                                         std::span<const int> codes, std::span<const RecordQuality> quality)
{
    std::vector<ChannelSeries> series(codes.size());
    for (std::size_t c = 0; c < codes.size(); ++c) {
        series[c].code = codes[c];
        series[c].points.reserve(qsizetype(records.size()));
        series[c].statistics = channelStatistics(records, c, lpdata::isIntervalEnergy(codes[c]));
    }
    // A line goes on over at most one and a half intervals.
    const double longest = 1.5 * 1000.0 * recordsInterval(records, quality);
    for (std::size_t r = 0; r < records.size(); ++r) {
        const lpdata::Record &record = records[r];
        const double x = stampMsecs(record);
        const bool repeat = r < quality.size() && quality[r].occurrence > 0;
        for (std::size_t c = 0; c < codes.size() && c < record.values.size(); ++c) {
            if (!std::isfinite(record.values[c]))
                continue;
            ChannelSeries &one = series[c];
            if (repeat) {
                one.repeated.append(QPointF(x, record.values[c]));
                continue;
            }
            if (longest > 0 && !one.points.isEmpty() && x - one.points.back().x() > longest)
                one.breaks.append(one.points.size());
            one.points.append(QPointF(x, record.values[c]));
        }
    }
    return series;
}

void thinSeries(ChannelSeries *series, double from, double to, int columns)
{
    QList<QPointF> kept;
    QList<qsizetype> breaks;
    qsizetype begin = 0;
    for (qsizetype b = 0; b <= series->breaks.size(); ++b) {
        const qsizetype end = b < series->breaks.size() ? series->breaks[b] : series->points.size();
        if (!kept.isEmpty())
            breaks.append(kept.size());
        kept += thinnedForPlot(series->points.mid(begin, end - begin), from, to, columns);
        begin = end;
    }
    series->points = std::move(kept);
    series->breaks = std::move(breaks);
}

QList<QPointF> thinnedForPlot(const QList<QPointF> &points, double from, double to, int columns)
{
    if (columns < 1 || points.size() <= 2 * qsizetype(columns) || !(to > from))
        return points;
    const double width = (to - from) / columns;
    const auto column = [&](const QPointF &p) { return std::floor((p.x() - from) / width); };
    QList<QPointF> kept;
    kept.reserve(2 * qsizetype(columns));
    for (qsizetype first = 0, next = 0; first < points.size(); first = next) {
        qsizetype low = first;
        qsizetype high = first;
        for (next = first + 1; next < points.size() && column(points[next]) == column(points[first]); ++next) {
            if (points[next].y() < points[low].y())
                low = next;
            if (points[next].y() > points[high].y())
                high = next;
        }
        kept.append(points[std::min(low, high)]);
        if (low != high)
            kept.append(points[std::max(low, high)]);
    }
    return kept;
}

} // namespace archive
