#include "session/meter_access.h"

#include "links/link_state.h"

namespace session {

int MeterAccess::unit() const { return unit_ ? *unit_ : link_.SlaveAddress; }
bool MeterAccess::rtu() const { return link_.RtuMode; }
bool MeterAccess::online() const { return link_.LinkOnline(); }
std::uint64_t MeterAccess::connection() const { return link_.session(); }

modbus::TransactionPolicy MeterAccess::policyNow() const
{
    modbus::TransactionPolicy now = policy;
    if (retryOnlyWhileAnswering && !answering_)
        now.attempts = 1;
    return now;
}

modbus::TransactionResult MeterAccess::told(modbus::TransactionResult result)
{
    using modbus::Failure;
    switch (result.failure) {
    case Failure::None:
    case Failure::Exception:
        answering_ = true;
        break;
    case Failure::NoAnswer:
    case Failure::BadAnswer:
    case Failure::WrongUnit:
        answering_ = false;
        break;
    case Failure::Abandoned:
    case Failure::LinkGone:
    case Failure::Refused:
        // Says nothing of the meter.
        break;
    }
    if (onResult)
        onResult(result);
    return result;
}

MeterAccess::RecordPointerHold::RecordPointerHold(MeterAccess &meter) : turns_(meter.turns), unit_(meter.unit())
{
    if (!turns_)
        return;
    // The others' turn first: what waits for this meter goes before the pointer is taken.
    turns_->beforeTransaction(unit_);
    granted_ = turns_->holdRecordPointer(unit_);
}

MeterAccess::RecordPointerHold::~RecordPointerHold()
{
    if (turns_ && granted_)
        turns_->releaseRecordPointer(unit_);
}

void MeterAccess::giveTurn()
{
    if (turns)
        turns->beforeTransaction(unit());
}

modbus::TransactionResult MeterAccess::read(std::uint8_t function, int start, int count)
{
    giveTurn();
    return told(tx_.ModbusReadRegisters(unit(), function, start, count, rtu(), policyNow()));
}

modbus::TransactionResult MeterAccess::write(int start, std::span<const std::uint16_t> values)
{
    giveTurn();
    return told(tx_.ModbusWriteRegisters(unit(), start, int(values.size()), values, rtu(), policyNow()));
}

modbus::TransactionResult MeterAccess::writeBytes(int start, std::span<const std::uint8_t> bytes)
{
    giveTurn();
    return told(tx_.ModbusWriteBytes(unit(), start, int(bytes.size()), bytes, rtu(), policyNow()));
}

} // namespace session
