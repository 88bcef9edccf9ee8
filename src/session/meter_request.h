#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace session {

// The settings a meter session writes, in the order its poll cycle serves
// them (the CO2 factor apart: it is written before the CO2 values are read).
enum class RequestKind {
    Clock = 1,
    ModbusAddress,
    BaudRate,
    StopBits,
    CtRatio,
    PtRatio,
    ScrollTime,
    DisplayItem,
    GroupSetting1,
    GroupSetting2,
    ClearGroup1,
    ClearGroup2,
    ClearEnergy,
    Wiring,
    PtRatioFloat,
    CtRatioFloat,
    CO2Factor,
};

// Registers from start on, one value each.
struct RegisterWrite {
    int start = 0;
    std::vector<std::uint16_t> values;
};

// What the connection does once a write has been answered: the meter
// answers at its new address, rate or stop bits from then on.
struct ConnectionChange {
    enum class Kind { None, Unit, Baud, StopBits };
    Kind kind = Kind::None;
    int value = 0;
};

// A setting with its value, as the meter takes it: the writes that carry it,
// one transaction each, in order.
struct MeterRequest {
    RequestKind kind = RequestKind::Clock;
    std::vector<RegisterWrite> writes;
    ConnectionChange follow;
    // When given, makes the writes at the moment the request is served
    // instead (the clock takes the time of that moment).
    std::function<std::vector<RegisterWrite>()> writesWhenServed;
};

struct RequestResult {
    enum class Outcome {
        Done,      // every write answered
        Exception, // the meter refused a write (exceptionCode)
        NoAnswer,  // a write got no usable answer
        LinkGone,  // the link went away before the request was done
    };
    Outcome outcome = Outcome::Done;
    std::uint8_t exceptionCode = 0;

    // The language key (section, key) of the message the user is to see;
    // empty for none (a setting done shows in the next read-back).
    const char *messageSection() const;
    const char *messageKey() const;
};

} // namespace session
