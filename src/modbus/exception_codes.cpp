#include "exception_codes.h"

namespace modbus {

const char *exceptionName(std::uint8_t code)
{
    switch (code) {
    case exception::kIllegalFunction: return "illegal function";
    case exception::kIllegalDataAddress: return "illegal data address";
    case exception::kIllegalDataValue: return "illegal data value";
    case exception::kServerDeviceFailure: return "server device failure";
    case exception::kAcknowledge: return "acknowledge";
    case exception::kServerDeviceBusy: return "server device busy";
    case 0x08: return "memory parity error";
    case exception::kGatewayPathUnavailable: return "gateway path unavailable";
    case exception::kGatewayTargetFailed: return "gateway target device failed to respond";
    default: return nullptr;
    }
}

} // namespace modbus
