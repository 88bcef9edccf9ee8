#include "gateway/metrics_catalogue.h"

#include <QString>

#include <optional>
#include <stdexcept>
#include <vector>

namespace gateway {

namespace {

constexpr double kKilo = 1000.0;
constexpr double kKiloHourToSeconds = 3.6e6; // k...h in ... x seconds

// A kind of per-phase value: the quantity ids are prefix + suffix.
struct PhaseKind {
    const char *prefix;
    const char *name;
    const char *unit;
    double scale;
    const char *help;
};

const PhaseKind kPhaseKinds[] = {
    {"voltage_ln_", "voltage_ln", "volts", 1.0, "Voltage line to neutral"},
    {"voltage_ll_", "voltage_ll", "volts", 1.0, "Voltage line to line"},
    {"current_", "current", "amperes", 1.0, "Current"},
    {"kw_", "active_power", "watts", kKilo, "Active power"},
    {"kvar_", "reactive_power", "vars", kKilo, "Reactive power"},
    {"kva_", "apparent_power", "volt_amperes", kKilo, "Apparent power"},
    {"pf_", "power_factor", "ratio", 1.0, "Power factor"},
    {"angle_v_", "voltage_angle", "degrees", 1.0, "Phase angle of the voltage"},
    {"angle_i_", "current_angle", "degrees", 1.0, "Phase angle of the current"},
};

struct EnergyKind {
    const char *id;
    const char *name;
    const char *unit;
    const char *help;
};

const EnergyKind kEnergyKinds[] = {
    {"kwh_delivered", "active_energy_delivered", "joules", "Active energy delivered"},
    {"kwh_received", "active_energy_received", "joules", "Active energy received"},
    {"kvarh_lagging", "reactive_energy_lagging", "var_seconds", "Reactive energy, lagging"},
    {"kvarh_leading", "reactive_energy_leading", "var_seconds", "Reactive energy, leading"},
    {"kvah", "apparent_energy", "volt_ampere_seconds", "Apparent energy"},
};

// Quantities of their own: id, name, scale, help, type.
struct Single {
    const char *id;
    const char *name;
    double scale;
    const char *help;
    MetricType type = MetricType::Gauge;
};

constexpr double kKiloPerKiloWattHourToGramsPerJoule = 1000.0 / 3.6e6; // kg/kWh in g/J

const Single kSingles[] = {
    {"frequency", "frequency_hertz", 1.0, "Frequency"},
    {"demand_time_left", "demand_time_left_seconds", 1.0, "Time left in the demand period"},
    {"demand_kw", "demand_active_power_watts", kKilo, "Active power demand"},
    {"demand_max_kw", "demand_max_active_power_watts", kKilo, "Maximum active power demand"},
    // The transformers' settings are multipliers (primary per secondary),
    // without a unit and not fractions of 1.
    {"pt_ratio", "pt_multiplier", 1.0, "PT ratio setting, primary per secondary voltage"},
    {"ct_ratio", "ct_multiplier", 1.0, "CT ratio setting, primary per secondary current"},
    {"pt_ratio_float", "pt_float_multiplier", 1.0, "PT ratio setting in float form, primary per secondary voltage"},
    {"ct_ratio_float", "ct_float_multiplier", 1.0, "CT ratio setting in float form, primary per secondary current"},
    {"co2_emission", "co2_emission_grams_total", kKilo, "CO2 emission of the energy delivered (grams)",
     MetricType::Counter},
    {"co2_factor", "co2_factor_grams_per_joule", kKiloPerKiloWattHourToGramsPerJoule,
     "CO2 emission factor, grams per joule of energy delivered"},
};

std::string prefixed(const std::string &name)
{
    return "ampwright_" + name;
}

// The metric of a per-phase kind for one suffix: a phase, avg or total.
QuantityMetric phaseMetric(const PhaseKind &kind, const std::string &suffix)
{
    QuantityMetric m;
    m.scale = kind.scale;
    if (suffix == "avg") {
        m.name = prefixed(std::string(kind.name) + "_average_" + kind.unit);
        m.help = std::string(kind.help) + ", average of the phases";
    } else if (suffix == "total") {
        m.name = prefixed(std::string(kind.name) + "_three_phase_" + kind.unit);
        m.help = std::string(kind.help) + ", three-phase total";
    } else {
        m.name = prefixed(std::string(kind.name) + "_" + kind.unit);
        m.help = std::string(kind.help) + " per phase";
        m.labels = {{"phase", suffix}};
    }
    m.help += std::string(" (") + kind.unit + ")";
    return m;
}

std::optional<QuantityMetric> energyMetric(const std::string &id)
{
    for (const EnergyKind &kind : kEnergyKinds) {
        const std::string base = kind.id;
        if (id.rfind(base, 0) != 0)
            continue;
        const std::string rest = id.substr(base.size());
        QuantityMetric m;
        m.type = MetricType::Counter;
        m.scale = kKiloHourToSeconds;
        if (rest.empty()) {
            m.name = prefixed(std::string(kind.name) + "_three_phase_" + kind.unit + "_total");
            m.help = std::string(kind.help) + ", three-phase total";
        } else if (rest.size() == 2 && rest[0] == '_') {
            m.name = prefixed(std::string(kind.name) + "_" + kind.unit + "_total");
            m.help = std::string(kind.help) + " per phase";
            m.labels = {{"phase", rest.substr(1)}};
        } else {
            continue;
        }
        m.help += std::string(" (") + kind.unit + ")";
        return m;
    }
    return std::nullopt;
}

QuantityMetric metricFor(const std::string &id)
{
    for (const Single &s : kSingles) {
        if (id == s.id)
            return {prefixed(s.name), s.help, s.type, s.scale, false, {}};
    }
    if (auto energy = energyMetric(id))
        return *energy;
    // thd_<group>_<channel>, in percent.
    if (id.size() == 7 && id.rfind("thd_", 0) == 0 && id[5] == '_')
        return {prefixed("thd_ratio"), "Total harmonic distortion (ratio)", MetricType::Gauge, 1.0, true,
                {{"group", id.substr(4, 1)}, {"channel", id.substr(6, 1)}}};
    for (const PhaseKind &kind : kPhaseKinds) {
        if (id.rfind(kind.prefix, 0) == 0)
            return phaseMetric(kind, id.substr(std::string(kind.prefix).size()));
    }
    // A quantity added to the catalogue needs its metric here.
    throw std::logic_error("no metric for the quantity " + id);
}

const std::vector<QuantityMetric> &metrics()
{
    static const std::vector<QuantityMetric> all = [] {
        std::vector<QuantityMetric> built;
        for (const meter::Quantity &q : meter::quantities())
            built.push_back(metricFor(q.id.toStdString()));
        return built;
    }();
    return all;
}

} // namespace

const QuantityMetric &quantityMetric(meter::Q q)
{
    return metrics()[std::size_t(q)];
}

} // namespace gateway
