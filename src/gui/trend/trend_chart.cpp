#include "gui/trend/trend_chart.h"

#include "meter/value_format.h"
#include "trend/point_store.h"
#include "trend/time_ticks.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

namespace {

// Colours that stay apart on white, one per chosen quantity.
const QColor kColours[] = {QColor(0xC0, 0x00, 0x00), QColor(0x00, 0x70, 0x00), QColor(0x00, 0x40, 0xC0),
                           QColor(0xE0, 0x80, 0x00), QColor(0x80, 0x00, 0x80), QColor(0x00, 0x90, 0xA0),
                           QColor(0x60, 0x60, 0x60), QColor(0xA0, 0x60, 0x20)};
constexpr double kWheelZoomIn = 0.8;

QString timeFormat(qint64 spanMs)
{
    if (spanMs <= 2 * 3600 * 1000LL)
        return QStringLiteral("HH:mm:ss");
    if (spanMs <= 24 * 3600 * 1000LL)
        return QStringLiteral("HH:mm");
    return QStringLiteral("dd.MM HH:mm");
}

struct Extent {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
};

} // namespace

TrendChart::TrendChart(QWidget *parent) : QChartView(new QChart, parent), time_(new QDateTimeAxis)
{
    setObjectName(QStringLiteral("frmTrendChart"));
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::RectangleRubberBand);
    setMinimumSize(480, 300);
    chart()->setBackgroundRoundness(0);
    chart()->setMargins(QMargins(4, 4, 4, 4));
    // A column beside the plot: a row under it would cut the captions
    // short, where they tell the phases apart.
    chart()->legend()->setAlignment(Qt::AlignRight);
    chart()->legend()->setShowToolTips(true);
    chart()->addAxis(time_, Qt::AlignBottom);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    setTimeRange(now - 60 * 1000, now, kTicks);
}

void TrendChart::setQuantities(const std::vector<meter::Q> &quantities)
{
    chart()->removeAllSeries();
    for (QValueAxis *axis : axes_) {
        chart()->removeAxis(axis);
        delete axis;
    }
    axes_.clear();
    curves_.clear();

    std::vector<QString> units;
    for (const meter::Q q : quantities) {
        const QString &unit = meter::quantity(q).unit;
        auto found = std::find(units.cbegin(), units.cend(), unit);
        if (found == units.cend()) {
            auto *axis = new QValueAxis;
            axis->setTitleText(unit);
            axis->setLabelFormat(QStringLiteral("%g"));
            // One grid is enough: the first axis draws it.
            axis->setGridLineVisible(axes_.empty());
            chart()->addAxis(axis, axes_.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
            axes_.push_back(axis);
            units.push_back(unit);
            found = units.cend() - 1;
        }
        curves_.push_back({q, axes_[std::size_t(found - units.cbegin())], {}});
        addLine(curves_.back(), curves_.size() - 1);
    }
}

void TrendChart::setNames(std::map<meter::Q, QString> names)
{
    names_ = std::move(names);
    for (const Curve &curve : curves_)
        for (QLineSeries *line : curve.lines)
            line->setName(nameOf(curve.quantity));
}

QString TrendChart::nameOf(meter::Q quantity) const
{
    const auto named = names_.find(quantity);
    return named != names_.end() ? named->second : meter::quantity(quantity).id;
}

QLineSeries *TrendChart::addLine(Curve &curve, std::size_t colour)
{
    auto *line = new QLineSeries;
    line->setName(nameOf(curve.quantity));
    line->setPen(QPen(kColours[colour % std::size(kColours)], 1.5));
    chart()->addSeries(line);
    line->attachAxis(time_);
    line->attachAxis(curve.axis);
    // Only a curve's first line names it in the legend.
    if (!curve.lines.empty())
        for (QLegendMarker *marker : chart()->legend()->markers(line))
            marker->setVisible(false);
    const meter::Q quantity = curve.quantity;
    connect(line, &QLineSeries::hovered, this, [this, quantity](const QPointF &point, bool on) {
        QString text;
        if (on) {
            const meter::Quantity &q = meter::quantity(quantity);
            text = QDateTime::fromMSecsSinceEpoch(qint64(point.x())).toString(QStringLiteral("HH:mm:ss.zzz"))
                   + QLatin1String("  ") + q.id + QLatin1Char(' ') + meter::valueText(quantity, point.y())
                   + (q.unit.isEmpty() ? QString() : QLatin1Char(' ') + q.unit);
            QToolTip::showText(QCursor::pos(), text, this);
        } else {
            QToolTip::hideText();
        }
        emit hovered(text);
    });
    curve.lines.push_back(line);
    return line;
}

void TrendChart::showSpan(const PointStore &store, qint64 fromMs, qint64 toMs, int ticks)
{
    if (zoomed_)
        return showZoomed(store);
    setTimeRange(fromMs, toMs, ticks);
    fill(store, fromMs, toMs);
}

void TrendChart::showZoomed(const PointStore &store) { fill(store, shownFromMs(), shownToMs()); }

void TrendChart::resetZoom()
{
    zoomed_ = false;
    chart()->zoomReset();
}

qint64 TrendChart::shownFromMs() const { return time_->min().toMSecsSinceEpoch(); }
qint64 TrendChart::shownToMs() const { return time_->max().toMSecsSinceEpoch(); }

std::vector<QValueAxis *> TrendChart::valueAxes() const { return axes_; }

std::vector<const QLineSeries *> TrendChart::lines(meter::Q quantity) const
{
    std::vector<const QLineSeries *> shown;
    for (const Curve &curve : curves_)
        if (curve.quantity == quantity)
            for (const QLineSeries *line : curve.lines)
                if (line->count() > 0)
                    shown.push_back(line);
    return shown;
}

void TrendChart::setTimeRange(qint64 fromMs, qint64 toMs, int ticks)
{
    toMs = std::max(toMs, fromMs + 1000);
    ticks = std::max(ticks, 2);
    time_->setTickCount(ticks);
    time_->setFormat(timeFormat(toMs - fromMs));
    time_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs), QDateTime::fromMSecsSinceEpoch(toMs));
}

void TrendChart::fill(const PointStore &store, qint64 fromMs, qint64 toMs)
{
    // Two points a pixel at most: a finer line would not show.
    const int buckets = std::max(50, int(chart()->plotArea().width()));
    std::map<QValueAxis *, Extent> extents;
    for (std::size_t c = 0; c < curves_.size(); ++c) {
        Curve &curve = curves_[c];
        const ::trend::Curve *points = store.curve(curve.quantity);
        std::vector<QList<QPointF>> runs;
        if (points)
            runs = points->runs(fromMs, toMs, buckets);
        while (curve.lines.size() < runs.size())
            addLine(curve, c);
        Extent &extent = extents[curve.axis];
        for (std::size_t i = 0; i < curve.lines.size(); ++i) {
            if (i >= runs.size()) {
                if (curve.lines[i]->count() > 0)
                    curve.lines[i]->clear();
                continue;
            }
            for (const QPointF &p : runs[i]) {
                if (p.x() < double(fromMs) || p.x() > double(toMs))
                    continue; // beyond the edges: only there for the line to reach them
                extent.low = std::min(extent.low, p.y());
                extent.high = std::max(extent.high, p.y());
            }
            curve.lines[i]->replace(runs[i]);
        }
    }
    if (zoomed_)
        return;
    for (QValueAxis *axis : axes_) {
        const Extent extent = extents[axis];
        if (extent.low > extent.high) {
            axis->setRange(0, 1);
            continue;
        }
        // Room above and below, also for a flat curve.
        const double pad = std::max({(extent.high - extent.low) * 0.05,
                                     std::max(std::fabs(extent.low), std::fabs(extent.high)) * 0.01, 1e-3});
        // A scale that still holds the curves, and not at a fraction of its
        // height, stays: its labels and grid need not be laid out anew.
        const double needed = extent.high - extent.low + 2 * pad;
        if (extent.low >= axis->min() && extent.high <= axis->max() && axis->max() - axis->min() <= 4 * needed)
            continue;
        axis->setRange(extent.low - pad, extent.high + pad);
        axis->applyNiceNumbers();
    }
}

void TrendChart::zoomTo(const QRectF &plotRect)
{
    const qint64 wasSpan = shownToMs() - shownFromMs();
    chart()->zoomIn(plotRect);
    zoomedByUser(wasSpan);
}

void TrendChart::zoomedByUser(qint64 wasSpanMs)
{
    zoomed_ = true;
    // The span moves to round times, so that its labels fall on them.
    const qint64 from = shownFromMs();
    const TimeTicks ticks = zoomedTicks(from, shownToMs(), wasSpanMs, localUtcOffsetMs(from));
    setTimeRange(ticks.fromMs, ticks.toMs, ticks.count);
    emit userZoomed();
}

void TrendChart::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return QChartView::wheelEvent(event);
    // The time under the pointer stays where it is; the values stay put.
    const QRectF area = chart()->plotArea();
    const double factor = delta > 0 ? kWheelZoomIn : 1.0 / kWheelZoomIn;
    const double x = std::clamp(chart()->mapFromScene(mapToScene(event->position().toPoint())).x(),
                                area.left(), area.right());
    QRectF zoomed = area;
    zoomed.setLeft(x - (x - area.left()) * factor);
    zoomed.setRight(x + (area.right() - x) * factor);
    zoomTo(zoomed);
    event->accept();
}

void TrendChart::mouseReleaseEvent(QMouseEvent *event)
{
    const qint64 from = shownFromMs();
    const qint64 to = shownToMs();
    QChartView::mouseReleaseEvent(event);
    // The rubber band zoomed in, or the right button out.
    if (shownFromMs() != from || shownToMs() != to)
        zoomedByUser(to - from);
}

} // namespace trend
