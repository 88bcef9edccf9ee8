#include "trend/point_store.h"

#include "meter/reading.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

namespace {

// Intervals start at multiples of their length, also before 1970.
qint64 intervalOf(qint64 ms, qint64 intervalMs)
{
    const qint64 q = ms / intervalMs;
    return ms % intervalMs < 0 ? q - 1 : q;
}

QPointF toChart(const Point &p) { return QPointF(double(p.ms), p.value); }

} // namespace

bool Point::isGap() const { return std::isnan(value); }

void appendMinMax(std::span<const Point> points, qint64 intervalMs, std::vector<Point> &out)
{
    intervalMs = std::max<qint64>(1, intervalMs);
    std::size_t i = 0;
    while (i < points.size()) {
        const Point &first = points[i];
        if (first.isGap()) {
            if (out.empty() || !out.back().isGap())
                out.push_back(first);
            ++i;
            continue;
        }
        const qint64 interval = intervalOf(first.ms, intervalMs);
        Point low = first;
        Point high = first;
        std::size_t j = i + 1;
        for (; j < points.size() && !points[j].isGap() && intervalOf(points[j].ms, intervalMs) == interval; ++j) {
            if (points[j].value < low.value)
                low = points[j];
            if (points[j].value > high.value)
                high = points[j];
        }
        if (low.ms == high.ms) {
            out.push_back(low);
        } else {
            out.push_back(low.ms < high.ms ? low : high);
            out.push_back(low.ms < high.ms ? high : low);
        }
        i = j;
    }
}

bool Curve::add(qint64 ms, double value)
{
    if (!std::isfinite(value) || (!isEmpty() && ms <= lastMs()))
        return false;
    recent_.push_back({ms, value});
    age();
    return true;
}

void Curve::addGap(qint64 ms)
{
    if (isEmpty() || ms < lastMs())
        return;
    const Point &last = recent_.empty() ? reduced_.back() : recent_.back();
    if (!last.isGap())
        recent_.push_back({ms, std::numeric_limits<double>::quiet_NaN()});
}

void Curve::age()
{
    const qint64 cutoff = recent_.back().ms - kFullDetailMs;
    // Only whole intervals move, so that no interval is reduced in two parts.
    const qint64 boundary = intervalOf(cutoff, kReducedIntervalMs) * kReducedIntervalMs;
    if (recent_.front().ms >= boundary)
        return;
    const auto end = std::partition_point(recent_.begin(), recent_.end(),
                                          [boundary](const Point &p) { return p.ms < boundary; });
    const std::vector<Point> old(recent_.begin(), end);
    appendMinMax(old, kReducedIntervalMs, reduced_);
    recent_.erase(recent_.begin(), end);
}

qint64 Curve::firstMs() const
{
    return reduced_.empty() ? (recent_.empty() ? 0 : recent_.front().ms) : reduced_.front().ms;
}

qint64 Curve::lastMs() const
{
    return recent_.empty() ? (reduced_.empty() ? 0 : reduced_.back().ms) : recent_.back().ms;
}

std::size_t Curve::bytes() const
{
    // A deque keeps its points in blocks of 512 bytes (libstdc++, libc++ 4096)
    // and a map of block pointers; counted here as blocks of 512 plus a map
    // entry each.
    constexpr std::size_t kBlock = 512;
    const std::size_t blocks = (recent_.size() * sizeof(Point) + kBlock - 1) / kBlock + 1;
    return reduced_.capacity() * sizeof(Point) + blocks * (kBlock + sizeof(void *));
}

std::vector<Point> Curve::span(qint64 fromMs, qint64 toMs) const
{
    const std::size_t n = pointCount();
    const auto at = [this](std::size_t i) -> const Point & {
        return i < reduced_.size() ? reduced_[i] : recent_[i - reduced_.size()];
    };
    // The first point at or after ms (after ms when after is set).
    const auto firstFrom = [&](qint64 ms, bool after) {
        std::size_t low = 0;
        std::size_t high = n;
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if (at(mid).ms < ms || (after && at(mid).ms == ms))
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    };
    const std::size_t begin = std::max<std::size_t>(firstFrom(fromMs, false), 1) - 1;
    const std::size_t end = std::min(firstFrom(toMs, true) + 1, n);
    std::vector<Point> points;
    points.reserve(end > begin ? end - begin : 0);
    for (std::size_t i = begin; i < end; ++i)
        points.push_back(at(i));
    return points;
}

std::vector<QList<QPointF>> Curve::runs(qint64 fromMs, qint64 toMs, int buckets) const
{
    std::vector<QList<QPointF>> result;
    if (isEmpty() || toMs < fromMs)
        return result;
    const std::vector<Point> points = span(fromMs, toMs);
    const qint64 bucketMs = std::max<qint64>(1, (toMs - fromMs) / std::max(1, buckets));
    std::vector<Point> reduced;
    std::size_t i = 0;
    while (i < points.size()) {
        std::size_t j = i;
        while (j < points.size() && !points[j].isGap())
            ++j;
        if (j > i) {
            const std::span<const Point> run(points.data() + i, j - i);
            QList<QPointF> line;
            if (run.size() > 2 * std::size_t(std::max(1, buckets))) {
                reduced.clear();
                appendMinMax(run, bucketMs, reduced);
                line.reserve(qsizetype(reduced.size()));
                std::transform(reduced.cbegin(), reduced.cend(), std::back_inserter(line), toChart);
            } else {
                line.reserve(qsizetype(run.size()));
                std::transform(run.begin(), run.end(), std::back_inserter(line), toChart);
            }
            result.push_back(std::move(line));
        }
        i = j + 1;
    }
    return result;
}

void PointStore::choose(std::span<const meter::Q> quantities)
{
    std::vector<meter::Q> chosen;
    std::vector<Curve> curves;
    for (const meter::Q q : quantities) {
        if (chosen.size() == kMaxQuantities)
            break;
        if (std::find(chosen.cbegin(), chosen.cend(), q) != chosen.cend())
            continue;
        const auto kept = std::find(chosen_.cbegin(), chosen_.cend(), q);
        chosen.push_back(q);
        curves.push_back(kept == chosen_.cend() ? Curve() : std::move(curves_[std::size_t(kept - chosen_.cbegin())]));
    }
    chosen_ = std::move(chosen);
    curves_ = std::move(curves);
}

bool PointStore::take(const meter::Reading &reading)
{
    bool added = false;
    for (std::size_t i = 0; i < chosen_.size(); ++i) {
        const std::optional<double> value = reading.value(chosen_[i]);
        if (!value)
            continue;
        if (curves_[i].add(reading.receivedAtMs[std::size_t(chosen_[i])], *value))
            added = true;
    }
    return added;
}

void PointStore::addGap(qint64 ms)
{
    for (Curve &curve : curves_)
        curve.addGap(ms);
}

void PointStore::clear()
{
    for (Curve &curve : curves_)
        curve = Curve();
}

const Curve *PointStore::curve(meter::Q quantity) const
{
    const auto found = std::find(chosen_.cbegin(), chosen_.cend(), quantity);
    return found == chosen_.cend() ? nullptr : &curves_[std::size_t(found - chosen_.cbegin())];
}

qint64 PointStore::firstMs() const
{
    qint64 first = 0;
    for (const Curve &curve : curves_)
        if (!curve.isEmpty() && (first == 0 || curve.firstMs() < first))
            first = curve.firstMs();
    return first;
}

qint64 PointStore::lastMs() const
{
    qint64 last = 0;
    for (const Curve &curve : curves_)
        if (!curve.isEmpty())
            last = std::max(last, curve.lastMs());
    return last;
}

std::size_t PointStore::bytes() const
{
    std::size_t total = curves_.capacity() * sizeof(Curve);
    for (const Curve &curve : curves_)
        total += curve.bytes();
    return total;
}

} // namespace trend
