#include "gui/meter/harmonic_chart.h"


#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace meter {

namespace {

// Orders with a label under their bar: the first and every fifth. All 32
// side by side would need a font too small to read.
constexpr int kLabelledOrders[] = {1, 5, 10, 15, 20, 25, 30};
constexpr int kOrders = 32;

} // namespace

HarmonicChart::HarmonicChart(QWidget *parent)
    : QWidget(parent), chart_(new QChart), bars_(new QBarSet(QString())),
      orders_(new QCategoryAxis), values_(new QValueAxis)
{
    setObjectName(QStringLiteral("harmonicChart"));
    for (int h = 0; h < kOrders; ++h)
        bars_->append(0.0);
    auto *series = new QBarSeries;
    series->append(bars_);
    series->setBarWidth(0.8);
    chart_->addSeries(series);
    chart_->legend()->hide();
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->setBackgroundRoundness(0);
    chart_->addAxis(orders_, Qt::AlignBottom);
    chart_->addAxis(values_, Qt::AlignLeft);
    series->attachAxis(orders_);
    series->attachAxis(values_);

    // On a value axis the bar of order h stands at h - 1; each labelled
    // order gets its label and tick right under its bar.
    orders_->setRange(-0.5, kOrders - 0.5);
    orders_->setStartValue(-0.5);
    for (const int order : kLabelledOrders)
        orders_->append(QString::number(order), order - 1);
    orders_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    orders_->setGridLineVisible(false);
    orders_->setLabelsFont(font());

    values_->setRange(0, 1);
    // Ticks fall on quarters of the range: 0.25 must not read "0.3".
    values_->setLabelFormat(QStringLiteral("%g"));

    auto *view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumSize(360, 220);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

void HarmonicChart::setTitles(const QString &order, const QString &unit)
{
    orders_->setTitleText(order);
    values_->setTitleText(unit);
}

void HarmonicChart::showValues(const std::array<double, 32> &values)
{
    double highest = 0;
    for (int h = 0; h < 32; ++h) {
        const double value = std::isfinite(values[std::size_t(h)]) ? values[std::size_t(h)] : 0.0;
        bars_->replace(h, value);
        highest = std::max(highest, value);
    }
    // A scale that fits the tallest bar, in steps that read well.
    const double step = std::pow(10.0, std::floor(std::log10(std::max(highest, 1e-3))));
    values_->setRange(0, std::max(step, std::ceil(highest / step) * step));
}

} // namespace meter
