#pragma once

#include "meter/reading.h"

#include <QtGlobal>

#include <optional>

// The meter's clock against the gateway's, and when the gateway sets it.
namespace gateway {

// How far the meter's clock is ahead of the gateway's (behind: negative), in
// whole seconds, as the main block of the reading gave it when it came in;
// nothing without a clock that forms a date. The meter counts whole seconds
// in its local time, as the gateway's local time is written to it.
std::optional<qint64> clockOffsetSeconds(const meter::Reading &reading);

// Whether a meter's clock is due to be set to the gateway's: when it is off
// by more than the allowed seconds, and at most once a day, so that a meter
// that does not keep the time it is given is not written to all day.
class ClockSync {
public:
    static constexpr qint64 kLeastBetweenMs = 24 * 3600 * 1000;

    // allowedS 0: never.
    explicit ClockSync(int allowedS = 0) : allowedS_(allowedS) {}
    int allowedS() const { return allowedS_; }
    // At nowMs on a steady clock.
    bool due(qint64 offsetS, qint64 nowMs) const;
    void setAt(qint64 nowMs) { lastSetMs_ = nowMs; }

private:
    int allowedS_;
    std::optional<qint64> lastSetMs_;
};

} // namespace gateway
