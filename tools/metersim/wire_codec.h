#pragma once

// Byte-level helpers of the Modbus wire format, written for the simulated meter
// alone: a bit-wise CRC-16 and IEEE-754 singles by bit_cast. They deliberately
// share no code with the program's codec, so that the simulator can catch
// mistakes there instead of repeating them.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace metersim {

// CRC-16 as used by Modbus RTU: reflected polynomial 0xA001, initial 0xFFFF.
quint16 crc16(QByteArrayView bytes);
// Folds one more byte into a running CRC (start from 0xFFFF).
quint16 crc16Update(quint16 crc, quint8 byte);

// Appends the CRC of the whole frame, low byte first.
void appendCrc(QByteArray &frame);

// True when the last two bytes of frame are the CRC of the bytes before them.
bool crcMatches(QByteArrayView frame);

// Big-endian 16-bit value at pos; the caller has checked that pos + 1 is inside.
quint16 u16At(QByteArrayView bytes, qsizetype pos);
void appendU16(QByteArray &bytes, quint16 value);

// A float as two registers: element 0 (the lower address) holds the low-order
// 16 bits of the single, element 1 the sign, exponent and high mantissa bits.
std::array<quint16, 2> floatToRegisters(float value);
float registersToFloat(quint16 lowWord, quint16 highWord);

} // namespace metersim
