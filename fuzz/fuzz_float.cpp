// Decodes arbitrary register pairs; every decoded value must be finite and,
// for values a single can hold, encode back to bytes that decode to it again.
#include "modbus/float_codec.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::span<const std::uint8_t, 4> received(data, 4);
    const double value = modbus::Trans_4Bytes_to_Float(received);
    if (!std::isfinite(value))
        __builtin_trap();

    const modbus::FloatBytes f = modbus::Trans_Float_to_4Bytes(value);
    const std::uint8_t again[4] = {f[2], f[3], f[0], f[1]};
    const double roundTrip = modbus::Trans_4Bytes_to_Float(again);
    // Only the largest exponent decodes to a value that does not encode back.
    const bool largestExponent = (received[2] & 0x7F) == 0x7F && (received[3] & 0x80);
    if (!largestExponent && roundTrip != value)
        __builtin_trap();
    return 0;
}
