#pragma once

#include "meter/lp_group.h"
#include "meter/quantities.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The typed reading of the meter: what the decoders make of the bytes the
// poll cycle reads. The window's texts, the phasor window, the command-line
// tool, the trend and the archive all read it; nothing reads a number back
// out of a text.
namespace meter {

// Values of one block, as decoded: numbers by quantity.
struct Sample {
    Q quantity;
    double value;
    bool operator==(const Sample &) const = default;
};
using Samples = std::vector<Sample>;

// The meter's clock as its six registers give it (year - 2000, month, day,
// hour, minute, second), shown as they come even when they form no date.
struct MeterClock {
    std::array<unsigned, 6> fields{};
    // The clock as a date and time (the meter's local time); nothing when
    // the fields form none.
    std::optional<QDateTime> dateTime() const;
    bool operator==(const MeterClock &) const = default;
};

// Who the meter is and how it is wired, from the main block, and its clock
// (nothing once a read of the main block was refused: it is no longer the
// clock of the moment).
struct MeterIdentity {
    QString serial;
    std::optional<MeterClock> clock;
    unsigned wiringCode = 0;
    unsigned phaseSequenceCode = 0;
    bool operator==(const MeterIdentity &) const = default;
};

// One load-profile group's settings and counters.
struct LPGroupStatus {
    unsigned channels = 0;
    unsigned intervalCode = 0; // minutes, or 230 for 30 seconds
    std::array<unsigned, 12> codes{};
    std::optional<int> capacity;            // records the group can hold
    std::optional<unsigned> validRecords;   // read from firmware that reports it
    bool operator==(const LPGroupStatus &) const = default;
};

// What changed in the reading at a step of the poll cycle.
enum ReadingPart : unsigned {
    Measurements = 1u << 0, // the main block's values
    Identity = 1u << 1,     // serial, clock, wiring, phase sequence
    Firmware = 1u << 2,
    LoadProfile = 1u << 3,  // the groups' settings and capacities
    Demand = 1u << 4,
    FrequencyPart = 1u << 5,
    PhaseEnergy = 1u << 6,
    Ratios = 1u << 7,
    ThdPart = 1u << 8,
    Harmonics = 1u << 9,
    CO2 = 1u << 10,
    DisplayItems = 1u << 11, // the display sequence (read again after it was written)
    ValidCounts = 1u << 12,  // the groups' valid-record counts
};

// What a read the meter refused would have filled: its quantities, and the
// parts of the reading that are no plain values (Identity, LoadProfile for
// the groups' settings, ValidCounts, DisplayItems, Harmonics, Firmware).
// Nothing an earlier read gave is left looking current.
struct Withdrawn {
    std::vector<Q> quantities;
    unsigned parts = 0;
    bool operator==(const Withdrawn &) const = default;
};
// The quantities first, first + 1, ... first + count - 1.
std::vector<Q> quantityRun(Q first, int count);

struct Reading {
    // The last value of each quantity, nothing for one not read (yet, or by
    // this firmware), and when its block was received (ms since the epoch).
    std::array<std::optional<double>, kQuantityCount> values{};
    std::array<qint64, kQuantityCount> receivedAtMs{};
    // Nothing until the main block has been read.
    std::optional<MeterIdentity> identity;
    QString firmwareText;
    int firmwareNumber = 0;
    std::array<LPGroupStatus, LpGroup::kCount> lpGroups{};
    // The whole THD block (8 values a group, of which 6 are shown) and the
    // spectrum of the chosen harmonic channel.
    std::array<double, 24> thd{};
    std::array<double, 32> harmonics{};
    int harmonicChannel = -1; // whose spectrum harmonics is (0..5 for Va..Ic); -1: none read
    // The meter's display sequence (codes of positions 1..50).
    std::optional<std::array<unsigned, 50>> displayItems;

    std::optional<double> value(Q q) const { return values[std::size_t(q)]; }
    const LPGroupStatus &group(LpGroup g) const { return lpGroups[g.index()]; }
    LPGroupStatus &group(LpGroup g) { return lpGroups[g.index()]; }
    // Stores a block's samples, received at receivedAtMs.
    void store(const Samples &samples, qint64 receivedAtMs);
    // Forgets the values of these quantities (a block the meter no longer gives).
    void forget(std::initializer_list<Q> quantities);
    // Forgets what a refused read would have filled. The meter's serial,
    // wiring and the groups' settings stay: they are who the meter is and
    // how it is set up, which the downloads of this connection go by, not
    // values of the moment.
    void withdraw(const Withdrawn &withdrawn);
};

} // namespace meter
