#include "config/setting_requests.h"

#include "config/setting_values.h"
#include "meter/register_map.h"
#include "modbus/float_codec.h"

#include <array>

namespace config {

namespace reg = meter::registers;

namespace {

using session::ConnectionChange;
using session::MeterRequest;
using session::RequestKind;

constexpr int kBaudRates[] = {9600, 19200, 38400};

MeterRequest single(RequestKind kind, int start, std::vector<std::uint16_t> values, ConnectionChange follow = {})
{
    MeterRequest request;
    request.kind = kind;
    request.writes.push_back({start, std::move(values)});
    request.follow = follow;
    return request;
}

// A single-precision float in the register pair from start, low-order word first.
MeterRequest floatRequest(RequestKind kind, int start, double value)
{
    const std::array<std::uint8_t, 4> bytes = modbus::floatToRegisterBytes(value);
    return single(kind, start, {std::uint16_t(bytes[0] << 8 | bytes[1]), std::uint16_t(bytes[2] << 8 | bytes[3])});
}

} // namespace

MeterRequest clockRequest(std::function<QDateTime()> now)
{
    MeterRequest request;
    request.kind = RequestKind::Clock;
    request.writesWhenServed = [now = std::move(now)] {
        const auto values = meterClockValues(now());
        return std::vector<session::RegisterWrite>{{reg::kClock, {values.begin(), values.end()}}};
    };
    return request;
}

MeterRequest addressRequest(int address)
{
    return single(RequestKind::ModbusAddress, reg::kAddress, {std::uint16_t(address)},
                  {ConnectionChange::Kind::Unit, address});
}

MeterRequest baudRateRequest(int listPosition)
{
    const int baud = listPosition >= 0 && listPosition < int(std::size(kBaudRates)) ? kBaudRates[listPosition] : 0;
    return single(RequestKind::BaudRate, reg::kBaudRate, {std::uint16_t(listPosition + 1)},
                  baud ? ConnectionChange{ConnectionChange::Kind::Baud, baud} : ConnectionChange{});
}

MeterRequest stopBitsRequest(int listPosition)
{
    return single(RequestKind::StopBits, reg::kStopBit, {std::uint16_t(listPosition + 1)},
                  {ConnectionChange::Kind::StopBits, listPosition + 1});
}

MeterRequest wiringRequest(int wiringCode)
{
    return single(RequestKind::Wiring, reg::kWiring, {std::uint16_t(wiringCode)});
}

MeterRequest ptRatioRequest(std::uint16_t tenths) { return single(RequestKind::PtRatio, reg::kPTRatio, {tenths}); }
MeterRequest ctRatioRequest(std::uint16_t ratio) { return single(RequestKind::CtRatio, reg::kCTRatio, {ratio}); }

MeterRequest ptRatioFloatRequest(double ratio)
{
    return floatRequest(RequestKind::PtRatioFloat, reg::kPTRatioFloat, ratio);
}

MeterRequest ctRatioFloatRequest(double ratio)
{
    return floatRequest(RequestKind::CtRatioFloat, reg::kCTRatioFloat, ratio);
}

MeterRequest co2FactorRequest(double factor) { return floatRequest(RequestKind::CO2Factor, reg::kCO2Factor, factor); }

MeterRequest clearEnergyRequest()
{
    return single(RequestKind::ClearEnergy, reg::kClearEnergy, {reg::kClearEnergyCommand});
}

MeterRequest scrollTimeRequest(std::uint16_t value)
{
    return single(RequestKind::ScrollTime, reg::kScrollTime, {value});
}

MeterRequest displayItemRequest(int position, std::uint16_t code)
{
    return single(RequestKind::DisplayItem, reg::kFirstDisplayItem + position, {code});
}

} // namespace config
