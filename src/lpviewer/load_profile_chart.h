#pragma once

#include "archive/channel_series.h"
#include "archive/view_period.h"

#include <QChartView>

#include <vector>

class QCategoryAxis;
class QLineSeries;

// The viewer's chart: a line per channel over the period, one value scale
// per unit (channels of one unit share it; the first unit on the left, the
// next on the right, and so on), and the time and value of the record
// nearest the mouse on a line.
class LoadProfileChart : public QChartView {
    Q_OBJECT
public:
    explicit LoadProfileChart(QWidget *parent);

    // Draws the series over the whole period, replacing what was shown.
    void showSeries(const archive::ViewPeriod &period, const std::vector<archive::ChannelSeries> &series);

    // The lines shown, in the order of the series given.
    const std::vector<QLineSeries *> &lines() const { return lines_; }

    // "yyyy-MM-dd HH:mm  <channel>  <value> <unit>" of the record of line
    // `line` nearest to time x (milliseconds as on the time axis); empty
    // for a line without points.
    QString describeNearest(std::size_t line, double x) const;

signals:
    // The mouse rests on a line: what describeNearest says there; empty
    // when it left the line.
    void hovered(const QString &text);

private:
    void clearSeries();
    void setTimeAxis(const archive::ViewPeriod &period);

    QChart *chart_;
    QCategoryAxis *time_;
    std::vector<QLineSeries *> lines_;
    std::vector<int> codes_; // of each line
};
