#pragma once

#include "meter/quantities.h"

#include <QChartView>

#include <map>
#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace trend {

class PointStore;

// The trend's curves over a time axis, one value axis per unit (the first
// unit on the left, the second on the right, further ones alternating
// outwards), so that currents of a few amperes are not flattened by
// voltages of hundreds of volts. A curve is drawn as one line per run
// between gaps; a legend beside the plot names the curves. Zoom with a rubber band or the wheel; hovering a curve
// tells its time and value.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    static constexpr int kTicks = 7;

    explicit TrendChart(QWidget *parent = nullptr);

    // One curve per quantity, in this order.
    void setQuantities(const std::vector<meter::Q> &quantities);
    // What the legend calls each quantity (the window's language); one
    // without a name goes by its id.
    void setNames(std::map<meter::Q, QString> names);
    // The store's points from fromMs to toMs. Unless zoomed, the time axis
    // shows that span with that many ticks, and each value axis fits its curves.
    void showSpan(const trend::PointStore &store, qint64 fromMs, qint64 toMs, int ticks = kTicks);
    // The points of the span the user zoomed to, finer now.
    void showZoomed(const trend::PointStore &store);
    // Back to the spans that showSpan sets.
    void resetZoom();
    bool zoomed() const { return zoomed_; }
    // The time axis' span (ms since the epoch).
    qint64 shownFromMs() const;
    qint64 shownToMs() const;
    // The value axes, left to right as they stand; their titles are the units.
    std::vector<QValueAxis *> valueAxes() const;
    // The lines drawn for a quantity: one per run between gaps that shows.
    std::vector<const QLineSeries *> lines(meter::Q quantity) const;

signals:
    // The user zoomed (rubber band or wheel).
    void userZoomed();
    // "12:04:05.250  voltage_ln_a 230.1 V" while the pointer is on a curve;
    // empty when it leaves.
    void hovered(const QString &text);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Curve {
        meter::Q quantity;
        QValueAxis *axis;
        std::vector<QLineSeries *> lines; // the first one stands in the legend
    };
    // Shows the runs of each curve between fromMs and toMs.
    // Shows the runs of each curve between fromMs and toMs; fits the value
    // axes to them unless zoomed.
    void fill(const trend::PointStore &store, qint64 fromMs, qint64 toMs);
    QLineSeries *addLine(Curve &curve, std::size_t colour);
    QString nameOf(meter::Q quantity) const;
    void setTimeRange(qint64 fromMs, qint64 toMs, int ticks);
    void zoomTo(const QRectF &plotRect);
    // The span zoomed to (from one of wasSpanMs) on round times, its
    // labels on them; tells.
    void zoomedByUser(qint64 wasSpanMs);

    QDateTimeAxis *time_;
    std::vector<QValueAxis *> axes_;
    std::vector<Curve> curves_;
    std::map<meter::Q, QString> names_;
    bool zoomed_ = false;
};

} // namespace trend
