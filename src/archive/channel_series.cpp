#include "archive/channel_series.h"

#include "archive/stamp_text.h"
#include "loadprofile/channel_codes.h"

#include <algorithm>
#include <cmath>

namespace archive {

std::vector<ChannelSeries> channelSeries(std::span<const loadprofile::Record> records,
                                         std::span<const int> codes)
{
    std::vector<ChannelSeries> series(codes.size());
    for (std::size_t c = 0; c < codes.size(); ++c) {
        series[c].code = codes[c];
        series[c].points.reserve(qsizetype(records.size()));
        series[c].statistics = channelStatistics(records, c, loadprofile::isIntervalEnergy(codes[c]));
    }
    for (const loadprofile::Record &record : records) {
        const double x = double(stampDateTime(record).toMSecsSinceEpoch());
        for (std::size_t c = 0; c < codes.size() && c < record.values.size(); ++c) {
            if (std::isfinite(record.values[c]))
                series[c].points.append(QPointF(x, record.values[c]));
        }
    }
    return series;
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
