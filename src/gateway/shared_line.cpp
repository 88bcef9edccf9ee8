#include "gateway/shared_line.h"

#include "meter/register_map.h"
#include "modbus/exception_codes.h"
#include "session/meter_line.h"

#include <utility>

namespace gateway {

SharedLine::SharedLine(session::MeterLine &line, int attempts, qint64 pointerQuietMs)
    : line_(line), attempts_(attempts), pointerQuietMs_(pointerQuietMs)
{
    clock_.start();
}

void SharedLine::enqueue(MasterRequest request)
{
    request.arrivedMs = clock_.elapsed();
    queue_.push_back(std::move(request));
    if (wake)
        wake();
}

std::optional<qint64> SharedLine::sincePointerMovedMs(int unit) const
{
    const auto at = pointerMovedMs_.find(unit);
    if (at == pointerMovedMs_.end())
        return std::nullopt;
    return clock_.elapsed() - at->second;
}

void SharedLine::beforeTransaction(int) { serveOne(); }

bool SharedLine::holdRecordPointer(int unit)
{
    if (const auto since = sincePointerMovedMs(unit); since && *since < pointerQuietMs_)
        return false;
    held_.insert(unit);
    return true;
}

void SharedLine::releaseRecordPointer(int unit)
{
    held_.erase(unit);
    // What waited for the pointer has its turn now, while the line is free;
    // the rest at the gateway's next transaction.
    serveOne();
}

void SharedLine::serveWaiting(const std::function<bool()> &gatewayDue)
{
    for (std::size_t now = queue_.size(); now > 0 && !(gatewayDue && gatewayDue()) && serveOne(); --now) {
    }
}

bool SharedLine::serveOne()
{
    // A request served inside another's waits would put two on the line.
    if (serving_)
        return false;
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (held_.count(it->unit))
            continue;
        MasterRequest request = std::move(*it);
        queue_.erase(it);
        serving_ = true;
        serve(std::move(request));
        serving_ = false;
        return true;
    }
    return false;
}

void SharedLine::serve(MasterRequest request)
{
    const auto answer = [&](const std::vector<std::uint8_t> &pdu, bool answered) {
        if (request.served)
            request.served(double(clock_.elapsed() - request.arrivedMs) / 1000.0, answered);
        if (request.answer)
            request.answer(pdu);
    };
    const std::uint8_t function = request.shape.function;
    if (!line_.link.LinkOnline() && !(openLine && openLine())) {
        answer(modbus::exceptionPdu(function, modbus::exception::kGatewayPathUnavailable), false);
        return;
    }
    const modbus::TransactionResult result = line_.transactions.transactions().PassOnPdu(
        request.unit, request.pdu, request.shape.answerLength, line_.link.RtuMode, {attempts_, false});
    if (result.failure == modbus::Failure::Exception) {
        answer(modbus::exceptionPdu(function, result.exceptionCode), true);
        return;
    }
    if (!result.ok() || result.data.empty()) {
        answer(modbus::exceptionPdu(function, modbus::exception::kGatewayTargetFailed), false);
        return;
    }
    // A master that moved a meter's record pointer reads records at it next:
    // the gateway's own round leaves that meter alone for a while.
    if (request.shape.write() && request.shape.covers(meter::registers::kRecordPointer))
        pointerMovedMs_[request.unit] = clock_.elapsed();
    answer(result.data, true);
}

} // namespace gateway
