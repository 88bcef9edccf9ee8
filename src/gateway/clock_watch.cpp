#include "gateway/clock_watch.h"

#include <QDateTime>

#include <cmath>
#include <cstdlib>

namespace gateway {

std::optional<qint64> clockOffsetSeconds(const meter::Reading &reading)
{
    // The clock comes with the main block, whose values share its time of receipt.
    const qint64 receivedMs = reading.receivedAtMs[meter::VoltageLnA];
    if (!reading.identity || !reading.identity->clock || receivedMs <= 0)
        return std::nullopt;
    const std::optional<QDateTime> clock = reading.identity->clock->dateTime();
    if (!clock)
        return std::nullopt;
    return qint64(std::llround(double(clock->toMSecsSinceEpoch() - receivedMs) / 1000.0));
}

bool ClockSync::due(qint64 offsetS, qint64 nowMs) const
{
    return allowedS_ > 0 && std::llabs(offsetS) > allowedS_ && (!lastSetMs_ || nowMs - *lastSetMs_ >= kLeastBetweenMs);
}

} // namespace gateway
