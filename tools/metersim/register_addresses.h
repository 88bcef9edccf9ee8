#pragma once

#include <QtGlobal>

// Register numbers of the meter (zero-based wire addresses).
//
// The simulator keeps its own list on purpose: it is the meter's side of the
// line, and the tests check the program's register map against it. It must
// never include the program's map (src/meter/register_map.h), or a wrong
// address there would be served back by the simulator and pass unseen.
namespace metersim::reg {

// Holding registers.
inline constexpr quint16 kPtRatioFloat = 0x0000;  // float
inline constexpr quint16 kCtRatioFloat = 0x0002;  // float
inline constexpr quint16 kSettingsFirst = 0x1000;
inline constexpr quint16 kUnitAddress = 0x1000;
inline constexpr quint16 kBaudCode = 0x1001;      // 1 = 9600, 2 = 19200
inline constexpr quint16 kStopBits = 0x1002;
inline constexpr quint16 kWiring = 0x1004;
inline constexpr quint16 kClearEnergy = 0x1012;   // command: 0x0055 zeroes the energy counters
inline constexpr quint16 kClearEnergyValue = 0x0055;
inline constexpr quint16 kPtRatioTenths = 0x1021;
inline constexpr quint16 kCtRatio = 0x1022;
inline constexpr quint16 kClockFirst = 0x1023;    // year-2000, month, day, hour, minute, second, weekday
inline constexpr int kClockFields = 7;
inline constexpr quint16 kLpClearGroup1 = 0x1033; // command: 51 clears the records of group 1
inline constexpr quint16 kLpSettingsGroup1 = 0x1034; // count, interval, 12 channel codes
inline constexpr quint16 kCo2Factor = 0x1040;     // float; also group 1 channel codes 11 and 12
inline constexpr quint16 kLpClearGroup2 = 0x1042;
inline constexpr quint16 kLpSettingsGroup2 = 0x1043; // count, interval, 8 channel codes
inline constexpr quint16 kLpClearValue = 51;
inline constexpr quint16 kLpRecordPointer = 0x104D;
inline constexpr quint16 kScrollTime = 0x1050;
inline constexpr quint16 kDisplayItemsFirst = 0x1052;
inline constexpr int kDisplayItems = 50;
inline constexpr quint16 kSettingsLast = 0x1095;

// Input registers.
inline constexpr quint16 kCo2First = 0x044C;      // 4 floats: factor, delivered, received, delivered / 1000
inline constexpr quint16 kCo2Last = 0x0453;
inline constexpr quint16 kInfoFirst = 0x1000;
inline constexpr quint16 kSerialNumber = 0x100C;  // 16 characters
inline constexpr quint16 kInfoLast = 0x1013;
inline constexpr quint16 kFirmwareText = 0x1018;  // 8 characters
inline constexpr quint16 kFirmwareLast = 0x101B;
inline constexpr quint16 kFrequency = 0x107E;
inline constexpr quint16 kPhaseVoltage = 0x1080;  // a, b, c, average
inline constexpr quint16 kLineVoltage = 0x1088;
inline constexpr quint16 kCurrent = 0x1090;
inline constexpr quint16 kActivePower = 0x1098;   // kW a, b, c, total
inline constexpr quint16 kReactivePower = 0x10A0;
inline constexpr quint16 kApparentPower = 0x10A8;
inline constexpr quint16 kPowerFactor = 0x10B0;
inline constexpr quint16 kVoltageAngle = 0x10B8;  // a, b, c
inline constexpr quint16 kCurrentAngle = 0x10BE;
inline constexpr quint16 kWiringCode = 0x10C4;
inline constexpr quint16 kPhaseSequence = 0x10C5;
inline constexpr quint16 kEnergyTotals = 0x10C6;  // kWh del, kWh rec, kvarh lag, kvarh lead, kVAh
inline constexpr quint16 kEnergyTotalsLast = 0x10CF;
inline constexpr quint16 kPhaseEnergy = 0x10D4;   // quantity q of phase p at + 6q + 2p
inline constexpr quint16 kPhaseEnergyLast = 0x10F1;
inline constexpr quint16 kLpValidCount = 0x1190;  // + group
inline constexpr quint16 kLpCountsLast = 0x1193;
inline constexpr quint16 kDemandFirst = 0x11A1;   // u16, then two floats
inline constexpr quint16 kDemandLast = 0x11A5;
inline constexpr quint16 kThd = 0x1400;           // 24 floats
inline constexpr quint16 kHarmonics = 0x1430;     // + 0x40 per channel, 32 floats each
inline constexpr quint16 kHarmonicsLast = 0x15AF;
inline constexpr quint16 kLpWindow = 0x2000;      // + 0x100 per group
inline constexpr quint16 kLpWindowStride = 0x100;
inline constexpr quint16 kLpWindowSize = 125;

} // namespace metersim::reg
