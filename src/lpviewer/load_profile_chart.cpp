#include "lpviewer/load_profile_chart.h"

#include "loadprofile/channel_codes.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QLineSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Enough marks to find one's way, few enough that their labels never touch.
constexpr int kMaxTimeMarks = 9;

// A scale that holds every value with a little room, in steps that read well.
void fitScale(QValueAxis *axis, double low, double high)
{
    if (!(low <= high)) { // no values at all
        low = 0;
        high = 1;
    }
    const double room = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.05, 0.5);
    axis->setRange(low - room, high + room);
    axis->applyNiceNumbers();
}

} // namespace

LoadProfileChart::LoadProfileChart(QWidget *parent)
    : QChartView(new QChart, parent), chart_(chart()), time_(new QCategoryAxis)
{
    setObjectName(QStringLiteral("frmLPViewerChart"));
    setRenderHint(QPainter::Antialiasing, false);
    setMinimumSize(560, 320);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // Marks stand on their times; the labels are ours, made from the times
    // held as UTC, where a date-time axis would shift them into the PC's zone.
    time_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time_->setLabelsFont(font());
    chart_->addAxis(time_, Qt::AlignBottom);
}

void LoadProfileChart::clearSeries()
{
    chart_->removeAllSeries();
    lines_.clear();
    codes_.clear();
    for (QAbstractAxis *axis : chart_->axes(Qt::Vertical)) {
        chart_->removeAxis(axis);
        delete axis;
    }
}

void LoadProfileChart::setTimeAxis(const archive::ViewPeriod &period)
{
    for (const QString &label : time_->categoriesLabels())
        time_->remove(label);
    const double start = double(period.start.toMSecsSinceEpoch());
    const double end = double(period.end.toMSecsSinceEpoch());
    time_->setStartValue(start - 1);
    for (const archive::TimeTick &tick : archive::timeTicks(period.start, period.end, kMaxTimeMarks))
        time_->append(tick.label, double(tick.msecs));
    time_->setRange(start, std::max(end, start + 1));
}

void LoadProfileChart::showSeries(const archive::ViewPeriod &period,
                                  const std::vector<archive::ChannelSeries> &series)
{
    clearSeries();
    setTimeAxis(period);

    // The units in the order their first channel comes.
    QStringList units;
    for (const archive::ChannelSeries &one : series) {
        const QString unit = loadprofile::LPChannelUnit(one.code);
        if (!units.contains(unit))
            units << unit;
    }
    // Scales and axes are set before the lines join them, and each line
    // gets its points last: the chart computes every line once.
    for (qsizetype u = 0; u < units.size(); ++u) {
        const auto ofUnit = [&](const archive::ChannelSeries &one) {
            return loadprofile::LPChannelUnit(one.code) == units[u];
        };
        auto *axis = new QValueAxis;
        axis->setTitleText(units[u]);
        axis->setLabelFormat(QStringLiteral("%g"));
        double low = INFINITY;
        double high = -INFINITY;
        for (const archive::ChannelSeries &one : series) {
            if (ofUnit(one) && one.statistics.values > 0) {
                low = std::min(low, one.statistics.minimum);
                high = std::max(high, one.statistics.maximum);
            }
        }
        fitScale(axis, low, high);
        chart_->addAxis(axis, u % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        for (const archive::ChannelSeries &one : series) {
            if (!ofUnit(one))
                continue;
            auto *line = new QLineSeries;
            line->setName(loadprofile::LPDataName(one.code));
            chart_->addSeries(line);
            line->attachAxis(time_);
            line->attachAxis(axis);
            line->replace(one.points);
            const std::size_t index = lines_.size();
            connect(line, &QLineSeries::hovered, this, [this, index](const QPointF &point, bool on) {
                const QString text = on ? describeNearest(index, point.x()) : QString();
                QToolTip::showText(QCursor::pos(), text, this);
                emit hovered(text);
            });
            lines_.push_back(line);
            codes_.push_back(one.code);
        }
        // A scale read against the line of one channel takes its colour.
        if (std::count_if(series.begin(), series.end(), ofUnit) == 1)
            axis->setLabelsColor(lines_.back()->color());
    }
}

QString LoadProfileChart::describeNearest(std::size_t line, double x) const
{
    if (line >= lines_.size() || lines_[line]->count() == 0)
        return QString();
    const QList<QPointF> points = lines_[line]->points();
    auto at = std::lower_bound(points.begin(), points.end(), x,
                               [](const QPointF &p, double value) { return p.x() < value; });
    if (at == points.end() || (at != points.begin() && x - (at - 1)->x() < at->x() - x))
        --at;
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(at->x()), Qt::UTC);
    const int code = codes_[line];
    return QStringLiteral("%1  %2  %3 %4")
        .arg(time.toString(u"yyyy-MM-dd HH:mm"), loadprofile::LPDataName(code),
             loadprofile::valueText(at->y()), loadprofile::LPChannelUnit(code));
}
