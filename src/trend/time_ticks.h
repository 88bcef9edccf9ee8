#pragma once

#include <QtGlobal>

// Where the labels of the trend's time axis stand. The axis spaces its
// labels evenly from one end to the other, so both ends lie on round times
// of one step: 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6,
// 12 h, or whole days. Round means round on the local clock: each function
// takes the local time's offset from UTC (localUtcOffsetMs).
namespace trend {

struct TimeTicks {
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int count = 0; // labels from fromMs to toMs, one a step, both ends included
};

// No more steps than this across a span.
inline constexpr int kMaxTimeSteps = 10;

// The smallest round step that splits spanMs into at most kMaxTimeSteps steps.
qint64 roundTimeStep(qint64 spanMs);

// A followed span that shows lastMs: it ends at the first round time after
// lastMs, so that its labels stand still between steps.
TimeTicks followedTicks(qint64 spanMs, qint64 lastMs, qint64 utcOffsetMs);

// The span the user zoomed to (from one of wasSpanMs): each end at the
// nearest round time of the span's step. When that would undo the zoom, the
// ends move inwards (zooming in) or outwards (zooming out) instead, so every
// turn of the wheel still zooms. At least one step long.
TimeTicks zoomedTicks(qint64 fromMs, qint64 toMs, qint64 wasSpanMs, qint64 utcOffsetMs);

// The offset of the local time from UTC at that moment.
qint64 localUtcOffsetMs(qint64 ms);

} // namespace trend
