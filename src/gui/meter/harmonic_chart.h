#pragma once

#include <QWidget>

#include <array>

class QBarSet;
class QCategoryAxis;
class QValueAxis;
class QChart;

namespace meter {

// The 32 harmonic values of the chosen channel as a bar chart beside their
// numbers, redrawn whenever the window shows new numbers (showValues).
class HarmonicChart : public QWidget {
    Q_OBJECT
public:
    explicit HarmonicChart(QWidget *parent);

    // Axis titles in the window's language: harmonic order and the unit.
    void setTitles(const QString &order, const QString &unit);

    // Shows these values (the harmonic orders 1 to 32).
    void showValues(const std::array<double, 32> &values);

private:
    QChart *chart_;
    QBarSet *bars_;
    QCategoryAxis *orders_;
    QValueAxis *values_;
};

} // namespace meter
