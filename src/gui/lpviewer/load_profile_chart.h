#pragma once

#include "archive/channel_series.h"
#include "archive/view_period.h"

#include <QChartView>

#include <vector>

class QAbstractAxis;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace lpviewer {

// The viewer's chart: a line per channel over the period, broken where
// intervals are missing, the records of a repeated stamp marked beside it,
// one value scale per unit (channels of one unit share it; the first unit
// on the left, the next on the right, and so on), and the time and value of
// the record nearest the mouse on a line. Or the channels' load-duration
// curves over the share of the period's time.
class LoadProfileChart : public QChartView {
    Q_OBJECT
public:
    explicit LoadProfileChart(QWidget *parent);

    // Draws the series over the whole period, replacing what was shown;
    // before (when not empty): the period before, moved onto this one's
    // time, in lighter lines named by beforeName ("%1": the channel).
    void showSeries(const archive::ViewPeriod &period, const std::vector<archive::ChannelSeries> &series,
                    const std::vector<archive::ChannelSeries> &before = {}, const QString &beforeName = {});
    // Draws each series' curve (x: percent of the period's time) under the
    // axis title shareTitle.
    void showDurations(const std::vector<archive::ChannelSeries> &series, const std::vector<QList<QPointF>> &curves,
                       const QString &shareTitle);

    // The lines shown, in the order of the series given, each channel's
    // pieces one after the other (one line for a channel without gaps).
    const std::vector<QLineSeries *> &lines() const { return lines_; }
    // The lines of the period before, and the marks of repeated stamps.
    const std::vector<QLineSeries *> &comparisonLines() const { return comparison_; }
    const std::vector<QScatterSeries *> &repeatMarks() const { return marks_; }

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
    // A value axis per unit of the series, in the order their units come,
    // scaled to their statistics; with each its unit.
    std::vector<std::pair<QString, QValueAxis *>> valueAxes(const std::vector<archive::ChannelSeries> &series);
    QLineSeries *addLine(const QString &name, int code, QAbstractAxis *x, QValueAxis *y, const QList<QPointF> &points);

    QChart *chart_;
    QCategoryAxis *time_;
    QValueAxis *share_; // x of the load-duration curves
    bool durations_ = false;
    std::vector<QLineSeries *> lines_;
    std::vector<int> codes_; // of each line
    std::vector<QLineSeries *> comparison_;
    std::vector<QScatterSeries *> marks_;
};

} // namespace lpviewer
