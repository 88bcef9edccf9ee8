#include "wire_codec.h"

#include <bit>

namespace metersim {

quint16 crc16Update(quint16 crc, quint8 byte)
{
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1U) ? static_cast<quint16>((crc >> 1) ^ 0xA001U) : static_cast<quint16>(crc >> 1);
    return crc;
}

quint16 crc16(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (const char c : bytes)
        crc = crc16Update(crc, static_cast<quint8>(c));
    return crc;
}

void appendCrc(QByteArray &frame)
{
    const quint16 crc = crc16(frame);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
}

bool crcMatches(QByteArrayView frame)
{
    if (frame.size() < 3)
        return false;
    const quint16 crc = crc16(frame.first(frame.size() - 2));
    return static_cast<quint8>(frame[frame.size() - 2]) == (crc & 0xFF)
        && static_cast<quint8>(frame[frame.size() - 1]) == (crc >> 8);
}

quint16 u16At(QByteArrayView bytes, qsizetype pos)
{
    return static_cast<quint16>((static_cast<quint8>(bytes[pos]) << 8)
                                | static_cast<quint8>(bytes[pos + 1]));
}

void appendU16(QByteArray &bytes, quint16 value)
{
    bytes.append(static_cast<char>(value >> 8));
    bytes.append(static_cast<char>(value & 0xFF));
}

std::array<quint16, 2> floatToRegisters(float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<quint16>(bits & 0xFFFFU), static_cast<quint16>(bits >> 16)};
}

float registersToFloat(quint16 lowWord, quint16 highWord)
{
    return std::bit_cast<float>((static_cast<std::uint32_t>(highWord) << 16) | lowWord);
}

} // namespace metersim
