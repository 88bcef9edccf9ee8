#pragma once

#include "meter/quantities.h"

#include <QString>

// How Home Assistant is told of a quantity of the catalogue: its device
// class, state class, unit and name, in the classes and units Home Assistant
// accepts. Reactive and apparent power go out as var and VA (the state
// holds kvar and kVA; the value template multiplies by 1000): every Home
// Assistant release takes those units for its reactive_power and
// apparent_power classes. kvarh totals are reactive_energy, angles take the
// state class measurement_angle (Home Assistant 2025 on; see
// DiscoveryOptions::compat for older releases). Angles, ratios, demand
// time, CO2, kVAh and THD have no device class.
namespace gateway {

struct SensorKind {
    QString deviceClass;  // empty: none
    QString stateClass;   // "measurement"; "total_increasing" for totals; "measurement_angle"
    QString unit;         // empty: none (power factor, ratios)
    int scale = 1;        // the state's number times scale is the value in unit
    int precision = 0;    // decimals to show
};

SensorKind sensorKind(meter::Q q);

// A name to show: "Voltage L-N A", "Energy delivered B", "THD 1-2".
QString sensorName(meter::Q q);

} // namespace gateway
