#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace session {

// A read the meter refused with a Modbus exception: the meter is there and
// answers, but not this. It counts as refused until the same read is
// answered.
struct RefusedRead {
    std::uint8_t function = 0; // 3: holding registers, 4: input registers
    int start = 0;
    int count = 0;
    std::uint8_t code = 0;     // the meter's exception code
    bool inCycle = true;       // a read of the poll cycle (or one on its own: a spectrum of the tool's)

    bool sameRead(const RefusedRead &other) const
    {
        return function == other.function && start == other.start && count == other.count;
    }
    bool operator==(const RefusedRead &) const = default;
};

// "input registers 0x1064-0x1095"
QString registersText(const RefusedRead &read);
// "exception 02 (illegal data address)"
QString exceptionText(std::uint8_t code);
// What changed from one list to the next, a line each, for a log or
// standard error after the meter's name: "refuses the read of ...: its
// values are left out", "answers the read of ... again".
QStringList refusalChanges(const std::vector<RefusedRead> &before, const std::vector<RefusedRead> &after);

} // namespace session
