#include "gateway/discovery_classes.h"

#include <QStringList>

#include <algorithm>

namespace gateway {

namespace {

// Names of the kinds of quantity, by the start of their ids; the longest
// start that fits wins.
struct KindName {
    const char *idStart;
    const char *name;
};
constexpr KindName kKindNames[] = {
    {"voltage_ln", "Voltage L-N"},     {"voltage_ll", "Voltage L-L"},
    {"current", "Current"},            {"kw", "Active power"},
    {"kvar", "Reactive power"},        {"kva", "Apparent power"},
    {"pf", "Power factor"},            {"angle_v", "Voltage angle"},
    {"angle_i", "Current angle"},      {"frequency", "Frequency"},
    {"kwh_delivered", "Energy delivered"}, {"kwh_received", "Energy received"},
    {"kvarh_lagging", "Reactive energy lagging"}, {"kvarh_leading", "Reactive energy leading"},
    {"kvah", "Apparent energy"},       {"demand_time_left", "Demand time left"},
    {"demand_kw", "Demand"},           {"demand_max_kw", "Maximum demand"},
    {"pt_ratio", "PT ratio"},          {"ct_ratio", "CT ratio"},
    {"pt_ratio_float", "PT ratio primary/secondary"}, {"ct_ratio_float", "CT ratio primary/secondary"},
    {"co2_emission", "CO2 emission"},  {"co2_factor", "CO2 factor"},
    {"thd", "THD"},
};

QString partName(const QString &part)
{
    if (part == QLatin1String("avg"))
        return QStringLiteral("average");
    if (part == QLatin1String("total"))
        return part;
    if (part.size() == 2 && part.front().isLetter()) // a pair of phases: "ab"
        return part.left(1).toUpper() + QLatin1Char('-') + part.mid(1).toUpper();
    return part.toUpper();
}

} // namespace

SensorKind sensorKind(meter::Q q)
{
    const meter::Quantity &quantity = meter::quantity(q);
    SensorKind kind;
    kind.unit = quantity.unit;
    kind.precision = std::max(0, quantity.decimals);
    // Totals that only grow (the gateway holds back a read that falls).
    const bool total = quantity.group == meter::QuantityGroup::Energy || q == meter::Co2Emission;
    kind.stateClass = total ? QStringLiteral("total_increasing") : QStringLiteral("measurement");
    if (quantity.group == meter::QuantityGroup::Angle)
        kind.stateClass = QStringLiteral("measurement_angle"); // in degrees

    const QString &unit = quantity.unit;
    const auto scaled = [&kind](const char *deviceClass, const char *unit) {
        kind.deviceClass = QLatin1String(deviceClass);
        kind.unit = QLatin1String(unit);
        kind.scale = 1000;
        kind.precision = std::max(0, kind.precision - 3);
    };
    if (quantity.group == meter::QuantityGroup::PowerFactor)
        kind.deviceClass = QStringLiteral("power_factor");
    else if (unit == QLatin1String("V"))
        kind.deviceClass = QStringLiteral("voltage");
    else if (unit == QLatin1String("A"))
        kind.deviceClass = QStringLiteral("current");
    else if (unit == QLatin1String("kW"))
        kind.deviceClass = QStringLiteral("power");
    else if (unit == QLatin1String("kvar"))
        scaled("reactive_power", "var");
    else if (unit == QLatin1String("kVA"))
        scaled("apparent_power", "VA");
    else if (unit == QLatin1String("Hz"))
        kind.deviceClass = QStringLiteral("frequency");
    else if (unit == QLatin1String("kWh"))
        kind.deviceClass = QStringLiteral("energy");
    else if (unit == QLatin1String("kvarh"))
        kind.deviceClass = QStringLiteral("reactive_energy");
    return kind;
}

QString sensorName(meter::Q q)
{
    const QString &id = meter::quantity(q).id;
    const KindName *best = nullptr;
    qsizetype bestLength = 0;
    for (const KindName &kind : kKindNames) {
        const QLatin1String start(kind.idStart);
        const bool fits = id == start || id.startsWith(start + QLatin1Char('_'));
        if (fits && start.size() > bestLength) {
            best = &kind;
            bestLength = start.size();
        }
    }
    if (!best)
        return id;
    QStringList parts;
    for (const QString &part : id.mid(bestLength).split(QLatin1Char('_'), Qt::SkipEmptyParts))
        parts << partName(part);
    const QString name = QLatin1String(best->name);
    return parts.isEmpty() ? name : name + QLatin1Char(' ') + parts.join(QLatin1Char('-'));
}

} // namespace gateway
