#pragma once

#include "archive/channel_series.h"

#include <QWidget>

#include <vector>

class QLabel;

namespace lpviewer {

// The statistics of the period beside the chart, a row per channel:
// minimum and maximum (the maximum demand of a power channel) with their
// times, average, load factor (average over maximum, of a power or current
// channel) and the sum of an
// interval-energy channel. Rows are txtLPViewerStat<Column>(n), n from 0.
class StatisticsGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 8;

    explicit StatisticsGrid(QWidget *parent);

    // One row per series (at most kRows); the other rows are hidden.
    void showStatistics(const std::vector<archive::ChannelSeries> &series);

private:
    enum Column { Name, Minimum, MinimumAt, Maximum, MaximumAt, Average, LoadFactor, Sum, kColumns };
    QLabel *cells_[kRows][kColumns];
};

} // namespace lpviewer
