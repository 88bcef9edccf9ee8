#include "session/request_queue.h"

#include "session/meter_access.h"

#include <algorithm>

namespace session {

const char *RequestResult::messageSection() const { return outcome == Outcome::Done ? "" : "strmsgboxini"; }

const char *RequestResult::messageKey() const
{
    switch (outcome) {
    case Outcome::Done: return "";
    case Outcome::Exception: return "rightdown_RequestRefused";
    case Outcome::NoAnswer: return "rightdown_RequestNoAnswer";
    case Outcome::LinkGone: return "rightdown_RequestLinkGone";
    }
    return "";
}

void RequestQueue::add(MeterRequest request)
{
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const MeterRequest &r) { return r.kind == request.kind; });
    if (same != waiting_.end()) {
        *same = std::move(request);
        return;
    }
    const auto after = std::upper_bound(waiting_.begin(), waiting_.end(), request.kind,
                                        [](RequestKind kind, const MeterRequest &r) { return kind < r.kind; });
    waiting_.insert(after, std::move(request));
}

bool RequestQueue::pending(RequestKind kind) const
{
    return std::any_of(waiting_.begin(), waiting_.end(), [&](const MeterRequest &r) { return r.kind == kind; });
}

modbus::TransactionResult RequestQueue::run(MeterAccess &meter, const MeterRequest &request)
{
    RequestResult result;
    modbus::TransactionResult last;
    const std::vector<RegisterWrite> writes = request.writesWhenServed ? request.writesWhenServed() : request.writes;
    for (const RegisterWrite &write : writes) {
        last = meter.write(write.start, write.values);
        if (last.ok())
            continue;
        using F = modbus::Failure;
        using O = RequestResult::Outcome;
        result.outcome = last.failure == F::Exception                               ? O::Exception
                         : last.failure == F::NoAnswer || last.failure == F::BadAnswer
                                 || last.failure == F::WrongUnit                    ? O::NoAnswer
                                                                                    : O::LinkGone;
        result.exceptionCode = last.exceptionCode;
        break;
    }
    done_(request, result);
    return last;
}

std::optional<MeterRequest> RequestQueue::take(bool co2)
{
    const auto next = std::find_if(waiting_.begin(), waiting_.end(),
                                   [co2](const MeterRequest &r) { return (r.kind == RequestKind::CO2Factor) == co2; });
    if (next == waiting_.end())
        return std::nullopt;
    MeterRequest request = std::move(*next);
    waiting_.erase(next);
    return request;
}

std::optional<MeterRequest> RequestQueue::takeNext() { return take(false); }
std::optional<MeterRequest> RequestQueue::takeCO2() { return take(true); }

} // namespace session
