#pragma once

#include "archive/channel_statistics.h"

#include <QList>
#include <QPointF>

#include <span>
#include <vector>

// The channels of the records of a period as a chart draws them.
namespace archive {

struct ChannelSeries {
    int code = 0;
    // x: the record's time held as UTC, in milliseconds since 1970; y: its
    // value. Records without a finite value are left out.
    QList<QPointF> points;
    ChannelStatistics statistics;
};

// One series per code; a record's values[i] belongs to codes[i], as the
// archive's records() hands them out.
std::vector<ChannelSeries> channelSeries(std::span<const loadprofile::Record> records,
                                         std::span<const int> codes);

// The points a chart needs to draw a line of many (points in time order): of
// each of `columns` equal slices of x from `from` to `to`, the lowest and
// the highest point, in their order. A line of at most 2 * columns points
// is kept whole. A year of quarter hours so keeps every peak and dip at a
// tenth of the points.
QList<QPointF> thinnedForPlot(const QList<QPointF> &points, double from, double to, int columns);

} // namespace archive
