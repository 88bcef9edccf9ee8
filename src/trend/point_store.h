#pragma once

#include "meter/quantities.h"

#include <QList>
#include <QPointF>

#include <cstddef>
#include <deque>
#include <span>
#include <vector>

namespace meter {
struct Reading;
}

// The trend's memory: the values of the chosen quantities over time. Every
// point of the last hour is kept; older points are reduced to the minimum
// and maximum of each interval, so a day of polling stays small.
namespace trend {

// A value at a time (ms since the epoch). A NaN value marks a gap: the link
// went offline there, and no line joins the points on either side.
struct Point {
    qint64 ms;
    double value;
    bool isGap() const;
};

// Appends points (in time order) to out, reduced to the minimum and the
// maximum of each interval of intervalMs (intervals start at multiples of
// intervalMs), the two in the order of their times. A gap ends the interval
// it falls in and is kept; gaps in a row are kept once.
void appendMinMax(std::span<const Point> points, qint64 intervalMs, std::vector<Point> &out);

// One quantity's points.
class Curve {
public:
    static constexpr qint64 kFullDetailMs = 3600 * 1000;
    static constexpr qint64 kReducedIntervalMs = 10 * 1000;

    // A point after the last one; a time not after it, or a value that is
    // not finite, is left out (false).
    bool add(qint64 ms, double value);
    // A gap at ms, unless the curve is empty or already ends in one.
    void addGap(qint64 ms);

    // The points from fromMs to toMs, with the nearest point on either side
    // so that a line reaches the edges, as runs between gaps. A run holding
    // more than two points a bucket is reduced to the minimum and maximum
    // of each of the buckets the span divides into.
    std::vector<QList<QPointF>> runs(qint64 fromMs, qint64 toMs, int buckets) const;

    bool isEmpty() const { return reduced_.empty() && recent_.empty(); }
    qint64 firstMs() const;
    qint64 lastMs() const;
    std::size_t pointCount() const { return reduced_.size() + recent_.size(); }
    // Memory the points hold, containers' spare room included.
    std::size_t bytes() const;

private:
    // Reduces the points older than kFullDetailMs before the newest, in
    // whole intervals, into reduced_.
    void age();
    // The points from fromMs to toMs, with one on either side.
    std::vector<Point> span(qint64 fromMs, qint64 toMs) const;

    std::vector<Point> reduced_; // older than an hour: min and max per interval
    std::deque<Point> recent_;   // the last hour: every point
};

// The curves of the chosen quantities, at most kMaxQuantities.
class PointStore {
public:
    static constexpr std::size_t kMaxQuantities = 8;

    // Keeps the curves of quantities still chosen, starts empty ones for the
    // others; quantities past kMaxQuantities are left out.
    void choose(std::span<const meter::Q> quantities);
    const std::vector<meter::Q> &chosen() const { return chosen_; }

    // Adds each chosen quantity's value received after its curve's last
    // point. True when a point was added.
    bool take(const meter::Reading &reading);
    // A gap in every curve at ms.
    void addGap(qint64 ms);
    void clear();

    // The curve of a chosen quantity; nullptr for another.
    const Curve *curve(meter::Q quantity) const;
    // The first and last time of any curve; 0, 0 for none.
    qint64 firstMs() const;
    qint64 lastMs() const;
    std::size_t bytes() const;

private:
    std::vector<meter::Q> chosen_;
    std::vector<Curve> curves_; // in the order of chosen_
};

} // namespace trend
