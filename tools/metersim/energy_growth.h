#pragma once

#include "register_bank.h"

#include <array>
#include <optional>

namespace metersim {

// While the measured values vary, the energy counters grow as a real
// meter's do: each by the power that feeds it times the time that passed
// (kWh delivered by kW when positive, received by -kW; kvarh lagging by kvar
// when positive, leading by -kvar; kVAh by kVA), per phase from that phase's
// stored power and in total from the sum of the phases. The growth is kept
// apart from the stored counters, in double precision, so that tiny steps
// are not lost in a float's rounding.
class EnergyGrowth {
public:
    static constexpr int kCounters = 20; // 5 totals, then 5 per phase a, b, c

    // The counter whose float starts at reg, if it is one.
    static std::optional<int> counterAt(quint16 reg);
    static bool isEnergyRegister(quint32 reg);

    // Adds the energy of the time since the last call (nothing at the first).
    void advance(const RegisterBank &bank, qint64 nowNs);
    double grown(int counter) const { return grownKwh_[std::size_t(counter)]; }
    // The counters were zeroed: growth starts again from nothing.
    void restart() { grownKwh_.fill(0.0); }

private:
    std::array<double, kCounters> grownKwh_{};
    std::optional<qint64> lastNs_;
};

} // namespace metersim
