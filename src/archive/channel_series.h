#pragma once

#include "archive/channel_statistics.h"
#include "archive/interval_quality.h"

#include <QList>
#include <QPointF>

#include <span>
#include <vector>

// The channels of the records of a period as a chart draws them.
namespace archive {

struct ChannelSeries {
    int code = 0;
    // x: the record's time held as UTC, in milliseconds since 1970; y: its
    // value; the first record of each stamp. Records without a finite
    // value are left out.
    QList<QPointF> points;
    // Where the line stops: the indexes of the points that follow missing
    // intervals (more than one and a half intervals after the point before).
    QList<qsizetype> breaks;
    // The records of a stamp that an earlier record has (a clock set back),
    // drawn as marks beside the line.
    QList<QPointF> repeated;
    ChannelStatistics statistics;
};

// One series per code; a record's values[i] belongs to codes[i], and
// quality[i] (when given) to records[i], as the archive's records() hands
// them out. Every record counts in the statistics.
std::vector<ChannelSeries> channelSeries(std::span<const lpdata::Record> records,
                                         std::span<const int> codes,
                                         std::span<const RecordQuality> quality = {});

// The line's pieces between breaks, each thinned with thinnedForPlot on the
// same columns, and the breaks moved with them.
void thinSeries(ChannelSeries *series, double from, double to, int columns);

// The points a chart needs to draw a line of many (points in time order): of
// each of `columns` equal slices of x from `from` to `to`, the lowest and
// the highest point, in their order. A line of at most 2 * columns points
// is kept whole. A year of quarter hours so keeps every peak and dip at a
// tenth of the points.
QList<QPointF> thinnedForPlot(const QList<QPointF> &points, double from, double to, int columns);

} // namespace archive
