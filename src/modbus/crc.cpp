#include "crc.h"

namespace modbus {

void Crc16::CrcTableSetup()
{
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t entry = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            entry = (entry & 1u) ? static_cast<std::uint16_t>((entry >> 1) ^ 0xA001u)
                                 : static_cast<std::uint16_t>(entry >> 1);
        CrcTableA[i] = static_cast<std::uint8_t>(entry & 0xFFu);
        CrcTableB[i] = static_cast<std::uint8_t>(entry >> 8);
    }
    tablesReady_ = true;
    CrcReset();
}

void Crc16::CrcReset()
{
    CrcLo = 0xFF;
    CrcHi = 0xFF;
}

void Crc16::CrcUpdate(std::uint8_t b)
{
    const std::uint8_t index = b ^ CrcLo;
    CrcLo = CrcTableA[index] ^ CrcHi;
    CrcHi = CrcTableB[index];
}

void Crc16::compute(std::span<const std::uint8_t> bytes)
{
    CrcReset();
    for (std::uint8_t b : bytes)
        CrcUpdate(b);
}

} // namespace modbus
