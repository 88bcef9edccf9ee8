#pragma once

#include <cstdint>

namespace modbus {

// The exception codes a Modbus server answers with.
namespace exception {
inline constexpr std::uint8_t kIllegalFunction = 0x01;
inline constexpr std::uint8_t kIllegalDataAddress = 0x02;
inline constexpr std::uint8_t kIllegalDataValue = 0x03;
inline constexpr std::uint8_t kServerDeviceFailure = 0x04;
inline constexpr std::uint8_t kAcknowledge = 0x05;
inline constexpr std::uint8_t kServerDeviceBusy = 0x06;
inline constexpr std::uint8_t kGatewayPathUnavailable = 0x0A;
inline constexpr std::uint8_t kGatewayTargetFailed = 0x0B;
} // namespace exception

// What an exception code means, in a few words ("illegal data address");
// nullptr for a code the protocol does not define.
const char *exceptionName(std::uint8_t code);

} // namespace modbus
