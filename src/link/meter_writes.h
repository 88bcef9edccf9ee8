#pragma once

#include <span>
#include <cstdint>
#include <initializer_list>

class LinkState;
namespace modbus {
class Transactions;
}

// One write transaction to the meter the link talks to, at its address and
// in its framing at the moment of the call.
class MeterWrites {
public:
    MeterWrites(modbus::Transactions &transactions, const LinkState &link)
        : transactions_(transactions), link_(link)
    {
    }

    // Registers from start on, one value each.
    void registers(int start, std::initializer_list<std::uint16_t> values);
    void registers(int start, std::span<const std::uint16_t> values)
    {
        write(start, values.data(), values.size());
    }
    // A single-precision float in the register pair from start, low-order
    // word first.
    void floatValue(int start, double value);

private:
    void write(int start, const std::uint16_t *values, std::size_t count);

    modbus::Transactions &transactions_;
    const LinkState &link_;
};

