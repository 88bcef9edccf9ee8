#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

namespace gateway {

// When each meter of one line is polled next. The line polls one meter at a
// time; of the meters that are due, the one after the last polled goes next
// (round robin), so a meter that takes long never starves the others. A
// meter is due every period after its last poll began, or as soon as the
// line gets to it when the line is slower than that. A meter that did not
// answer is tried again after the period, then after twice the period, four
// times ..., at most once every kLongestBackoffMs: a silent meter costs its
// line one attempt per try and holds up the others for no longer.
//
// Times are milliseconds of one monotonic clock (QElapsedTimer's).
class MeterSchedule {
public:
    static constexpr qint64 kLongestBackoffMs = 60000;
    // Failed polls in a row after which a meter counts as offline: one lost
    // answer on a noisy line does not flip it.
    static constexpr int kFailuresOffline = 2;

    MeterSchedule(int meters, qint64 periodMs, qint64 nowMs);

    // The meter to poll now, or nothing when none is due.
    std::optional<int> next(qint64 nowMs);
    // When the next meter falls due.
    qint64 nextDueMs() const;
    // The meter's poll that began at startedMs answered, or did not.
    void polled(int meter, bool answered, qint64 startedMs);

    int failures(int meter) const { return meters_[std::size_t(meter)].failures; }
    // Answered at its last poll, or failed fewer than kFailuresOffline times
    // in a row since it last answered; never answered: offline.
    bool online(int meter) const;

    // The delay before the next try after failures polls in a row failed.
    static qint64 retryDelayMs(int failures, qint64 periodMs);

private:
    struct Meter {
        qint64 dueMs = 0;
        int failures = 0;
        bool answered = false; // answered at least once
    };
    std::vector<Meter> meters_;
    qint64 periodMs_;
    int last_ = -1;
};

} // namespace gateway
