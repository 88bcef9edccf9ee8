#pragma once

#include "meter/reading.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

// Keeps one meter's cumulative quantities (the energy totals, per phase
// too, and the CO2 emission) from running backwards on their way out. Home
// Assistant takes a total that falls by more than a tenth as a new meter
// and Prometheus a counter that falls as a reset, so a read gone wrong (a
// glitch after a power dip, a half-written register) must not pass.
//
// A total that reads lower than the value last let through (by more than
// the float's rounding), zero, negative or not a number is held back: left
// out of the reading, so that the state and the metrics leave it out. Three
// polls in a row at the new level (each not below the one before) confirm
// it: the third is let through and taken as the meter's reset. A value back
// at or above the last one is let through at once. A value below the last
// one by no more than the rounding is let through as the last one, so that
// it never falls. A reset the gateway wrote to the meter itself
// (expectReset) is taken from the next read at once.
namespace gateway {

class TotalGuard {
public:
    // Polls in a row at a lower level that make it the meter's own.
    static constexpr int kConfirmingPolls = 3;

    struct Event {
        enum class Kind {
            Held,      // the first poll of a drop: held back
            Confirmed, // the drop was confirmed: let through as a reset
        };
        Kind kind = Kind::Held;
        meter::Q quantity = meter::Q(0);
        double value = 0;                // as read
        std::optional<double> last;      // the value last let through
        // "kwh_delivered read as 0 (last 1234.5): held back until 3 polls confirm it"
        QString text() const;
    };

    // Whether q is guarded: a total that only grows.
    static bool guards(meter::Q q);

    // Applies the guard to one poll's reading: withdraws what is held back,
    // lowers nothing. What is worth a log line, once for each drop.
    std::vector<Event> apply(meter::Reading &reading);

    // The gateway wrote the energy reset: the next read of each total is
    // taken as it is (when it is a number at all).
    void expectReset();

private:
    struct Total {
        std::optional<double> last;  // let through last
        std::optional<double> level; // the lower level held back
        int polls = 0;               // polls in a row at that level
        bool holding = false;        // held back since the last let through
    };
    std::array<Total, meter::kQuantityCount> totals_{};
    bool resetExpected_ = false;
};

} // namespace gateway
