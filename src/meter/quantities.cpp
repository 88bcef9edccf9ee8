#include "meter/quantities.h"

#include "meter/firmware_layout.h"

#include <QHash>

#include <vector>

namespace meter {

namespace {

using G = QuantityGroup;

// A kind of value on the phases (and their total or average): its ids are
// prefix + suffix.
struct Kind {
    const char *prefix;
    const char *unit;
    G group;
    int decimals;
    const char *key; // section left1midini
    std::vector<const char *> suffixes;
};

struct Part {
    const char *section = nullptr;
    const char *key = nullptr;
    int number = -1;
};

// The caption keys of the phases, pairs of phases, averages and totals, by
// the end of the id.
Part phasePart(const QString &suffix)
{
    const struct {
        const char *suffix;
        Part part;
    } parts[] = {{"a", {"left1midini", "left1mid_La2_48"}},   {"b", {"left1midini", "left1mid_La2_1"}},
                 {"c", {"left1midini", "left1mid_La2_49"}},   {"ab", {"left1midini", "left1mid_PhaseAB"}},
                 {"bc", {"left1midini", "left1mid_PhaseBC"}}, {"ca", {"left1midini", "left1mid_PhaseCA"}},
                 {"avg", {"lpviewerini", "lpviewer_Average"}}, {"total", {"left1midini", "left1mid_Total"}}};
    for (const auto &p : parts)
        if (suffix == QLatin1String(p.suffix))
            return p.part;
    return {};
}

std::vector<Quantity> build()
{
    std::vector<Quantity> all;
    const auto add = [&all](QString id, const char *unit, G group, ReadBy readBy, int decimals,
                            const char *section, const char *key, Part part = {}) {
        all.push_back({std::move(id), QString::fromUtf8(unit), group, readBy, decimals, section, key, part.section,
                       part.key, part.number});
    };
    const std::vector<const char *> phasesAvg{"a", "b", "c", "avg"};
    const std::vector<const char *> phasesTotal{"a", "b", "c", "total"};
    const Kind kinds[] = {
        {"voltage_ln_", "V", G::Voltage, 5, "left1mid_La2_56", phasesAvg},
        {"voltage_ll_", "V", G::Voltage, 5, "left1mid_La2_55", {"ab", "bc", "ca", "avg"}},
        {"current_", "A", G::Current, 5, "left1mid_La2_46", phasesAvg},
        {"kw_", "kW", G::Power, 7, "left1mid_La2_45", phasesTotal},
        {"kvar_", "kvar", G::Power, 7, "left1mid_La2_44", phasesTotal},
        {"kva_", "kVA", G::Power, 7, "left1mid_La2_43", phasesTotal},
        {"pf_", "", G::PowerFactor, 5, "left1mid_La2_42", phasesAvg},
        {"angle_v_", "\u00B0", G::Angle, 5, "left1mid_La2_54", {"a", "b", "c"}},
        {"angle_i_", "\u00B0", G::Angle, 5, "left1mid_La2_53", {"a", "b", "c"}},
    };
    for (const Kind &kind : kinds)
        for (const char *suffix : kind.suffixes)
            add(QLatin1String(kind.prefix) + QLatin1String(suffix), kind.unit, kind.group, ReadBy::Every,
                kind.decimals, "left1midini", kind.key, phasePart(QLatin1String(suffix)));
    add(QStringLiteral("frequency"), "Hz", G::Frequency, ReadBy::Every, 2, "left1midini", "left1mid_La113");

    struct Energy {
        const char *id, *unit, *key;
    };
    const Energy energies[] = {{"kwh_delivered", "kWh", "left1mid_kWhDelivered"},
                               {"kwh_received", "kWh", "left1mid_kWhReceived"},
                               {"kvarh_lagging", "kvarh", "left1mid_kvarhLagging"},
                               {"kvarh_leading", "kvarh", "left1mid_kvarhLeading"},
                               {"kvah", "kVAh", "left1mid_kVAh"}};
    // The totals, then phases a, b and c.
    const struct {
        const char *suffix, *phase;
    } energyPhases[] = {{"", "total"}, {"_a", "a"}, {"_b", "b"}, {"_c", "c"}};
    for (const auto &phase : energyPhases)
        for (const Energy &e : energies)
            add(QLatin1String(e.id) + QLatin1String(phase.suffix), e.unit, G::Energy, ReadBy::Every, 4,
                "left1midini", e.key, phasePart(QLatin1String(phase.phase)));

    add(QStringLiteral("demand_time_left"), "s", G::Demand, ReadBy::Every, -1, "rightdownini", "rightdown_La12_153");
    add(QStringLiteral("demand_kw"), "kW", G::Demand, ReadBy::Every, 5, "rightdownini", "rightdown_La12_149");
    add(QStringLiteral("demand_max_kw"), "kW", G::Demand, ReadBy::Every, 5, "rightdownini", "rightdown_La12_152");
    add(QStringLiteral("pt_ratio"), "", G::Ratio, ReadBy::Every, 1, "rightmidini", "rightmi_La2_2");
    add(QStringLiteral("ct_ratio"), "", G::Ratio, ReadBy::Every, 1, "rightmidini", "rightmi_La2_3");
    add(QStringLiteral("pt_ratio_float"), "", G::Ratio, ReadBy::Every, 4, "rightmidini", "rightmi_La2_2");
    add(QStringLiteral("ct_ratio_float"), "", G::Ratio, ReadBy::Every, 4, "rightmidini", "rightmi_La2_3");
    add(QStringLiteral("co2_emission"), "kg", G::CO2, ReadBy::CO2Firmware, 4, "co2", "rightmi_La18");
    add(QStringLiteral("co2_factor"), "kg/kWh", G::CO2, ReadBy::CO2Firmware, 6, "co2", "rightmi_La19");
    const char *thdKeys[] = {"left1mid_THDGroup1", "left1mid_THDGroup2", "left1mid_THDGroup3"};
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 6; ++k)
            add(QStringLiteral("thd_%1_%2").arg(g + 1).arg(k + 1), "%", G::Thd, ReadBy::OlderFirmware, 5,
                "left1midini", thdKeys[g], {nullptr, nullptr, k + 1});
    return all;
}

const std::vector<Quantity> &catalogue()
{
    static const std::vector<Quantity> all = build();
    Q_ASSERT(all.size() == std::size_t(kQuantityCount));
    return all;
}

} // namespace

std::span<const Quantity> quantities() { return catalogue(); }

const Quantity &quantity(Q q) { return catalogue()[std::size_t(q)]; }

std::optional<Q> findQuantity(const QString &id)
{
    static const QHash<QString, int> byId = [] {
        QHash<QString, int> ids;
        for (int q = 0; q < kQuantityCount; ++q)
            ids.insert(catalogue()[std::size_t(q)].id, q);
        return ids;
    }();
    const auto found = byId.constFind(id);
    return found == byId.cend() ? std::nullopt : std::optional(Q(*found));
}

bool readsQuantity(Q q, int firmwareNumber, int displayBase)
{
    switch (quantity(q).readBy) {
    case ReadBy::Every:
        return true;
    case ReadBy::OlderFirmware:
        return displayBase == 0 && firmwareNumber < kFirstFirmwareWithoutHarmonics;
    case ReadBy::CO2Firmware:
        return displayBase == 0 && firmwareHasCO2(firmwareNumber);
    }
    return false;
}

} // namespace meter
