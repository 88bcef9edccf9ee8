#include "session/meter_access.h"

#include "links/link_state.h"

namespace session {

int MeterAccess::unit() const { return unit_ ? *unit_ : link_.SlaveAddress; }
bool MeterAccess::rtu() const { return link_.RtuMode; }
bool MeterAccess::online() const { return link_.LinkOnline(); }
std::uint64_t MeterAccess::connection() const { return link_.session(); }

modbus::TransactionResult MeterAccess::read(std::uint8_t function, int start, int count)
{
    return told(tx_.ModbusReadRegisters(unit(), function, start, count, rtu(), policy));
}

modbus::TransactionResult MeterAccess::write(int start, std::span<const std::uint16_t> values)
{
    return told(tx_.ModbusWriteRegisters(unit(), start, int(values.size()), values, rtu(), policy));
}

modbus::TransactionResult MeterAccess::writeBytes(int start, std::span<const std::uint8_t> bytes)
{
    return told(tx_.ModbusWriteBytes(unit(), start, int(bytes.size()), bytes, rtu(), policy));
}

} // namespace session
