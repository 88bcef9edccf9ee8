#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace modbus {

// CRC-16/MODBUS (reflected polynomial 0xA001, start 0xFFFF, no final XOR),
// computed byte-wise with the two 256-entry tables of the Modbus serial-line
// method. CrcLo is the low byte of the CRC and goes on the wire first.
class Crc16 {
public:
    // Fills both tables and resets the register.
    void CrcTableSetup();
    // CRC register := 0xFFFF.
    void CrcReset();
    // Folds one byte into the register. Needs the tables.
    void CrcUpdate(std::uint8_t b);
    // Reset, then fold every byte of the range.
    void compute(std::span<const std::uint8_t> bytes);

    bool tablesReady() const { return tablesReady_; }

    std::uint8_t CrcLo = 0;
    std::uint8_t CrcHi = 0;
    // Combined with CrcHi: the low bytes of the 16-bit table entries.
    std::array<std::uint8_t, 256> CrcTableA{};
    // Becomes the new CrcHi: the high bytes of the 16-bit table entries.
    std::array<std::uint8_t, 256> CrcTableB{};

private:
    bool tablesReady_ = false;
};

} // namespace modbus
