#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

class LinkState;
namespace modbus {
class Transactions;
}

namespace config {

// One write transaction to the meter the link talks to, at the moment of the
// call (its address and framing then).
class MeterWrites {
public:
    MeterWrites(modbus::Transactions &transactions, const LinkState &link)
        : transactions_(transactions), link_(link)
    {
    }

    // Registers from start on, one value each.
    void registers(int start, std::initializer_list<std::uint16_t> values);
    template <std::size_t N>
    void registers(int start, const std::array<std::uint16_t, N> &values)
    {
        write(start, values.data(), N);
    }
    // A single-precision float in the register pair from start, low-order
    // word first.
    void floatValue(int start, double value);

private:
    void write(int start, const std::uint16_t *values, std::size_t count);

    modbus::Transactions &transactions_;
    const LinkState &link_;
};

} // namespace config
