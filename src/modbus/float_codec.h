#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace modbus {

// The four bytes of an IEEE-754 single in plain big-endian order:
// [0] sign and exponent bits 7..1, [1] exponent bit 0 and mantissa 22..16,
// [2] mantissa 15..8, [3] mantissa 7..0.
using FloatBytes = std::array<std::uint8_t, 4>;

// Decodes the four data bytes of a register pair in received order (low-order
// register first, each register high byte first). Arithmetic, byte by byte:
// the largest exponent gives 1.0 (all mantissa bits clear) or 0.0, never an
// infinity or a NaN; the result is exact for every finite single.
double Trans_4Bytes_to_Float(std::span<const std::uint8_t, 4> b);

// Encodes x as a single with a truncated (not rounded) mantissa. Magnitudes
// too large for a single give the infinity pattern; a NaN gives 0.
FloatBytes Trans_Float_to_4Bytes(double x);

// The data bytes of a float written to a register pair: FloatBytes 2, 3, 0, 1
// (low-order register first).
std::array<std::uint8_t, 4> floatToRegisterBytes(double x);

} // namespace modbus
