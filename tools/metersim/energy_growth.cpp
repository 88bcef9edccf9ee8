#include "energy_growth.h"

#include "register_addresses.h"

#include <cmath>

namespace metersim {

namespace {

constexpr auto I = RegisterKind::Input;

// Counter q (of the five kinds) gets the part of the phase's powers that feeds it.
double feed(int q, double kw, double kvar, double kva)
{
    switch (q) {
    case 0: return qMax(kw, 0.0);
    case 1: return qMax(-kw, 0.0);
    case 2: return qMax(kvar, 0.0);
    case 3: return qMax(-kvar, 0.0);
    default: return qMax(kva, 0.0);
    }
}

} // namespace

std::optional<int> EnergyGrowth::counterAt(quint16 r)
{
    if (r >= reg::kEnergyTotals && r <= reg::kEnergyTotalsLast && (r - reg::kEnergyTotals) % 2 == 0)
        return (r - reg::kEnergyTotals) / 2;
    if (r >= reg::kPhaseEnergy && r <= reg::kPhaseEnergyLast && (r - reg::kPhaseEnergy) % 2 == 0) {
        // Quantity q of phase p sits at + 6q + 2p.
        const int offset = (r - reg::kPhaseEnergy) / 2;
        const int q = offset / 3;
        const int p = offset % 3;
        return 5 + 5 * p + q;
    }
    return std::nullopt;
}

bool EnergyGrowth::isEnergyRegister(quint32 r)
{
    return (r >= reg::kEnergyTotals && r <= reg::kEnergyTotalsLast)
        || (r >= reg::kPhaseEnergy && r <= reg::kPhaseEnergyLast);
}

void EnergyGrowth::advance(const RegisterBank &bank, qint64 nowNs)
{
    const double hours = lastNs_ ? double(nowNs - *lastNs_) / 3.6e12 : 0.0;
    lastNs_ = nowNs;
    if (hours <= 0.0)
        return;
    for (int p = 0; p < 3; ++p) {
        const auto at = [p, &bank](quint16 first) {
            return double(bank.floatValue(I, static_cast<quint16>(first + 2 * p)));
        };
        const double kw = at(reg::kActivePower);
        const double kvar = at(reg::kReactivePower);
        const double kva = at(reg::kApparentPower);
        for (int q = 0; q < 5; ++q) {
            const double kwh = feed(q, kw, kvar, kva) * hours;
            if (!std::isfinite(kwh))
                continue; // a planted NaN or infinity feeds nothing
            grownKwh_[std::size_t(5 + 5 * p + q)] += kwh;
            grownKwh_[std::size_t(q)] += kwh;
        }
    }
}

} // namespace metersim
