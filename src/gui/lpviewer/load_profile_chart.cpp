#include "gui/lpviewer/load_profile_chart.h"

#include "lpdata/channel_codes.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace lpviewer {

namespace {

// Enough marks to find one's way, few enough that their labels never touch.
constexpr int kMaxTimeMarks = 9;
// Room around the chart; on the right, also half of the time axis' last
// label, which stands centred on the plot's right edge.
constexpr int kMargin = 4;

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
    : QChartView(new QChart, parent), chart_(chart()), time_(new QCategoryAxis), share_(new QValueAxis)
{
    setObjectName(QStringLiteral("frmLPViewerChart"));
    setRenderHint(QPainter::Antialiasing, false);
    setMinimumSize(560, 320);
    chart_->setMargins(QMargins(kMargin, kMargin, kMargin, kMargin));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // Marks stand on their times; the labels are ours, made from the times
    // held as UTC, where a date-time axis would shift them into the PC's zone.
    time_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time_->setLabelsFont(font());
    chart_->addAxis(time_, Qt::AlignBottom);
    share_->setRange(0, 100);
    share_->setTickCount(11);
    share_->setLabelFormat(QStringLiteral("%.0f"));
    share_->setLabelsFont(font());
    share_->setVisible(false);
    chart_->addAxis(share_, Qt::AlignBottom);
}

void LoadProfileChart::clearSeries()
{
    chart_->removeAllSeries();
    lines_.clear();
    codes_.clear();
    comparison_.clear();
    marks_.clear();
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
    const QStringList labels = time_->categoriesLabels();
    const int half =
        labels.isEmpty() ? 0 : (QFontMetrics(time_->labelsFont()).horizontalAdvance(labels.last()) + 1) / 2;
    chart_->setMargins(QMargins(kMargin, kMargin, std::max(kMargin, half + 2), kMargin));
}

std::vector<std::pair<QString, QValueAxis *>> LoadProfileChart::valueAxes(
    const std::vector<archive::ChannelSeries> &series)
{
    std::vector<std::pair<QString, QValueAxis *>> axes;
    for (const archive::ChannelSeries &one : series) {
        const QString unit = lpdata::LPChannelUnit(one.code);
        auto found = std::find_if(axes.begin(), axes.end(), [&](const auto &a) { return a.first == unit; });
        if (found != axes.end())
            continue;
        auto *axis = new QValueAxis;
        axis->setTitleText(unit);
        axis->setLabelFormat(QStringLiteral("%g"));
        double low = INFINITY;
        double high = -INFINITY;
        for (const archive::ChannelSeries &other : series) {
            if (lpdata::LPChannelUnit(other.code) == unit && other.statistics.values > 0) {
                low = std::min(low, other.statistics.minimum);
                high = std::max(high, other.statistics.maximum);
            }
        }
        fitScale(axis, low, high);
        chart_->addAxis(axis, axes.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        axes.emplace_back(unit, axis);
    }
    return axes;
}

QLineSeries *LoadProfileChart::addLine(const QString &name, int code, QAbstractAxis *x, QValueAxis *y,
                                       const QList<QPointF> &points)
{
    auto *line = new QLineSeries;
    line->setName(name);
    chart_->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    line->replace(points);
    const std::size_t index = lines_.size();
    connect(line, &QLineSeries::hovered, this, [this, index](const QPointF &point, bool on) {
        const QString text = on ? describeNearest(index, point.x()) : QString();
        QToolTip::showText(QCursor::pos(), text, this);
        emit hovered(text);
    });
    lines_.push_back(line);
    codes_.push_back(code);
    return line;
}

void LoadProfileChart::showSeries(const archive::ViewPeriod &period, const std::vector<archive::ChannelSeries> &series,
                                  const std::vector<archive::ChannelSeries> &before, const QString &beforeName)
{
    clearSeries();
    setTimeAxis(period);
    durations_ = false;
    time_->setVisible(true);
    share_->setVisible(false);

    // Scales and axes are set before the lines join them, and each line
    // gets its points last: the chart computes every line once.
    const auto axes = valueAxes(series);
    for (const auto &[unit, axis] : axes) {
        qsizetype ofUnit = 0;
        QLineSeries *lineOfUnit = nullptr;
        for (std::size_t s = 0; s < series.size(); ++s) {
            const archive::ChannelSeries &one = series[s];
            if (lpdata::LPChannelUnit(one.code) != unit)
                continue;
            ++ofUnit;
            const QString name = lpdata::LPDataName(one.code);
            QLineSeries *first = nullptr;
            for (qsizetype b = 0; b <= one.breaks.size(); ++b) {
                const qsizetype from = b == 0 ? 0 : one.breaks[b - 1];
                const qsizetype to = b < one.breaks.size() ? one.breaks[b] : one.points.size();
                QLineSeries *piece = addLine(name, one.code, time_, axis, one.points.mid(from, to - from));
                if (!first) {
                    first = piece;
                    continue;
                }
                // The pieces of one channel are one line to the eye and in the legend.
                piece->setColor(first->color());
                for (QLegendMarker *marker : chart_->legend()->markers(piece))
                    marker->setVisible(false);
            }
            if (s < before.size() && !before[s].points.isEmpty()) {
                auto *earlier = new QLineSeries;
                earlier->setName(beforeName.arg(name));
                chart_->addSeries(earlier);
                earlier->attachAxis(time_);
                earlier->attachAxis(axis);
                QColor light = first->color();
                light.setAlpha(90);
                QPen pen(light);
                pen.setWidthF(1.0);
                earlier->setPen(pen);
                earlier->replace(before[s].points);
                comparison_.push_back(earlier);
            }
            if (!one.repeated.isEmpty()) {
                auto *marks = new QScatterSeries;
                marks->setName(name);
                marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
                marks->setMarkerSize(7);
                marks->setColor(first->color().darker(150));
                marks->setBorderColor(Qt::black);
                chart_->addSeries(marks);
                marks->attachAxis(time_);
                marks->attachAxis(axis);
                marks->replace(one.repeated);
                for (QLegendMarker *marker : chart_->legend()->markers(marks))
                    marker->setVisible(false);
                marks_.push_back(marks);
            }
            if (ofUnit == 1)
                lineOfUnit = first;
        }
        // A scale read against the line of one channel takes its colour.
        if (ofUnit == 1)
            axis->setLabelsColor(lineOfUnit->color());
    }
}

void LoadProfileChart::showDurations(const std::vector<archive::ChannelSeries> &series,
                                     const std::vector<QList<QPointF>> &curves, const QString &shareTitle)
{
    clearSeries();
    durations_ = true;
    time_->setVisible(false);
    share_->setVisible(true);
    share_->setTitleText(shareTitle);
    // The value axis across keeps its last label in view itself.
    chart_->setMargins(QMargins(kMargin, kMargin, kMargin, kMargin));
    const auto axes = valueAxes(series);
    for (std::size_t s = 0; s < series.size() && s < curves.size(); ++s) {
        const auto axis = std::find_if(axes.begin(), axes.end(), [&](const auto &a) {
            return a.first == lpdata::LPChannelUnit(series[s].code);
        });
        QLineSeries *line = addLine(lpdata::LPDataName(series[s].code), series[s].code, share_, axis->second, curves[s]);
        // A scale read against the curve of one channel takes its colour.
        const auto ofUnit = std::count_if(series.begin(), series.end(), [&](const archive::ChannelSeries &one) {
            return lpdata::LPChannelUnit(one.code) == axis->first;
        });
        if (ofUnit == 1)
            axis->second->setLabelsColor(line->color());
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
    const int code = codes_[line];
    const QString where = durations_ ? QStringLiteral("%1 %").arg(at->x(), 0, 'f', 1)
                                     : QDateTime::fromMSecsSinceEpoch(qint64(at->x()), Qt::UTC).toString(u"yyyy-MM-dd HH:mm");
    return QStringLiteral("%1  %2  %3 %4")
        .arg(where, lpdata::LPDataName(code),
             lpdata::valueText(at->y()), lpdata::LPChannelUnit(code));
}

} // namespace lpviewer
