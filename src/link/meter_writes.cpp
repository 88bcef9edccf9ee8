#include "link/meter_writes.h"

#include "link/link_state.h"
#include "modbus/float_codec.h"
#include "modbus/transactions.h"

#include <array>
#include <span>

void MeterWrites::registers(int start, std::initializer_list<std::uint16_t> values)
{
    write(start, values.begin(), values.size());
}

void MeterWrites::write(int start, const std::uint16_t *values, std::size_t count)
{
    transactions_.ModbusWriteRegisters(link_.SlaveAddress, start, static_cast<int>(count),
                                       std::span(values, count), link_.RtuMode);
}

void MeterWrites::floatValue(int start, double value)
{
    const std::array<std::uint8_t, 4> bytes = modbus::floatToRegisterBytes(value);
    transactions_.ModbusWriteBytes(link_.SlaveAddress, start, 4, bytes, link_.RtuMode);
}

