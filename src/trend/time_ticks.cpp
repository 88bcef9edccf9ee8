#include "trend/time_ticks.h"

#include <QDateTime>

#include <algorithm>
#include <iterator>

namespace trend {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kSteps[] = {kSecond,      2 * kSecond,  5 * kSecond,  10 * kSecond, 15 * kSecond,
                             30 * kSecond, kMinute,      2 * kMinute,  5 * kMinute,  10 * kMinute,
                             15 * kMinute, 30 * kMinute, kHour,        2 * kHour,    3 * kHour,
                             6 * kHour,    12 * kHour,   kDay};

// Round down, also for times before 1970.
qint64 floorTo(qint64 ms, qint64 step) { return ms / step * step - (ms % step < 0 ? step : 0); }

// The round times of the local clock, in ms since the epoch.
struct Rounding {
    qint64 step;
    qint64 offset;
    qint64 down(qint64 ms) const { return floorTo(ms + offset, step) - offset; }
    qint64 up(qint64 ms) const { return down(ms) == ms ? ms : down(ms) + step; }
    qint64 nearest(qint64 ms) const { return ms - down(ms) < up(ms) - ms ? down(ms) : up(ms); }
};

TimeTicks ticks(qint64 fromMs, qint64 toMs, qint64 step)
{
    toMs = std::max(toMs, fromMs + step);
    return {fromMs, toMs, int((toMs - fromMs) / step) + 1};
}

} // namespace

qint64 roundTimeStep(qint64 spanMs)
{
    for (const qint64 step : kSteps)
        if (spanMs <= kMaxTimeSteps * step)
            return step;
    // Beyond the list: whole days, as many as it takes.
    return (spanMs + kMaxTimeSteps * kDay - 1) / (kMaxTimeSteps * kDay) * kDay;
}

TimeTicks followedTicks(qint64 spanMs, qint64 lastMs, qint64 utcOffsetMs)
{
    const Rounding round{roundTimeStep(spanMs), utcOffsetMs};
    const qint64 end = round.down(lastMs) + round.step;
    return ticks(end - spanMs, end, round.step);
}

TimeTicks zoomedTicks(qint64 fromMs, qint64 toMs, qint64 wasSpanMs, qint64 utcOffsetMs)
{
    const Rounding round{roundTimeStep(toMs - fromMs), utcOffsetMs};
    qint64 from = round.nearest(fromMs);
    qint64 to = round.nearest(toMs);
    const bool zoomingIn = toMs - fromMs < wasSpanMs;
    if (zoomingIn && to - from >= wasSpanMs) {
        from = round.up(fromMs);
        to = round.down(toMs);
    } else if (!zoomingIn && to - from <= wasSpanMs) {
        from = round.down(fromMs);
        to = round.up(toMs);
    }
    return ticks(from, to, round.step);
}

qint64 localUtcOffsetMs(qint64 ms) { return qint64(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()) * 1000; }

} // namespace trend
