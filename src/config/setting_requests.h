#pragma once

#include "session/meter_request.h"

#include <QDateTime>

#include <cstdint>
#include <functional>

// The meter settings as requests a meter session writes: each with its
// value, taken when the user asked for it.
namespace config {

// The PC's clock, as now() tells it when the request is served.
session::MeterRequest clockRequest(std::function<QDateTime()> now);
// A new Modbus address 1..250; the connection follows it.
session::MeterRequest addressRequest(int address);
// The baud-rate and stop-bit lists' positions (9600, 19200, 38400; 1, 2);
// the connection follows.
session::MeterRequest baudRateRequest(int listPosition);
session::MeterRequest stopBitsRequest(int listPosition);
session::MeterRequest wiringRequest(int wiringCode);
session::MeterRequest ptRatioRequest(std::uint16_t tenths);
session::MeterRequest ctRatioRequest(std::uint16_t ratio);
session::MeterRequest ptRatioFloatRequest(double ratio);
session::MeterRequest ctRatioFloatRequest(double ratio);
session::MeterRequest co2FactorRequest(double factor);
session::MeterRequest clearEnergyRequest();
session::MeterRequest scrollTimeRequest(std::uint16_t value);
// The item code at a sequence position 0..49 of the meter's display.
session::MeterRequest displayItemRequest(int position, std::uint16_t code);

} // namespace config
