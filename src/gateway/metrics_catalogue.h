#pragma once

#include "meter/quantities.h"

#include <map>
#include <string>

// How each quantity of the catalogue is published to Prometheus: its metric
// name (prefixed ampwright_, base units in the name), its type, the factor
// from the reading's unit to the base unit and the labels that tell it from
// its siblings of one name (the phase; the THD group and channel).
//
// Per-phase values share one name with a phase label; the three-phase total
// and the average of a kind have names of their own (_three_phase_,
// _average_), so that summing a metric over its labels stays meaningful.
// Energy counters are counters in the base unit of their power times
// seconds: joules for kWh, var-seconds for kvarh, volt-ampere-seconds for
// kVAh (1 kWh = 3.6e6 J). CO2 emission is a counter in grams, the CO2
// factor a gauge in grams per joule. The transformers' ratio settings are
// multipliers (_multiplier, no unit): _ratio is kept for fractions of 1.
namespace gateway {

enum class MetricType { Gauge, Counter };

struct QuantityMetric {
    std::string name;
    std::string help;
    MetricType type = MetricType::Gauge;
    double scale = 1.0; // the reading's value times scale is the metric's
    bool percent = false; // the reading's value is in percent: divided by 100 (then scaled)
    std::map<std::string, std::string> labels; // besides meter="<serial>"
};

const QuantityMetric &quantityMetric(meter::Q q);

} // namespace gateway
