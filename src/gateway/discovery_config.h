#pragma once

#include "meter/quantities.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Home Assistant's MQTT discovery: one retained config message per meter
// and quantity tells it of a sensor, its state topic and how to pick the
// value from the state's JSON object (the same object as
// `ampwright-cli read --format json`, see meter/live_values.h).
namespace gateway {

inline const QString kDefaultDiscoveryPrefix = QStringLiteral("homeassistant");

// Who the meter is, as its reading tells.
struct DiscoveryMeter {
    QString serial;   // as the meter gives it (see meterId in mqtt_topics.h)
    QString firmware; // the firmware text, shown as the software version
};

// How the gateway announces its meters.
struct DiscoveryOptions {
    // The gateway's name: its availability topic (whose last will says
    // "offline" when the gateway dies) joins each meter's own, and a sensor
    // is available only while both say "online". Empty: the meter's alone.
    QString gatewayName;
    // Only the classes Home Assistant releases before 2025 take: kvarh
    // totals without the reactive_energy device class, angles with the
    // state class measurement instead of measurement_angle.
    bool compat = false;
};

// The gateway's own members of a meter's state (beside the quantities'):
// how far its clock is ahead of the gateway's, in seconds, and its failed
// requests since the gateway started.
inline const QString kClockOffsetId = QStringLiteral("clock_offset_s");
inline const QString kRequestFailuresId = QStringLiteral("request_failures");

struct DiscoveryConfig {
    QString topic;
    QByteArray payload; // compact JSON; publish retained
};

// <prefix>/sensor/ampwright_<meter id>/<quantity id>/config
QString discoveryTopic(const QString &prefix, const QString &serial, meter::Q q);

// unique_id ampwright_<meter id>_<quantity id>, name, state_topic,
// value_template ("{{ value_json.voltage_ln_a }}"), unit_of_measurement,
// device_class, state_class, suggested_display_precision, availability
// (the meter's topic and the gateway's) with availability_mode "all", the
// device (identifiers, name, serial_number, sw_version) and the origin (this
// program's name and version).
DiscoveryConfig discoveryConfig(const QString &prefix, const DiscoveryMeter &meter, meter::Q q,
                                const DiscoveryOptions &options = {});

// The configs of the quantities a state holds (stateIds, catalogue ids; by
// default those of a read, defaultQuantityIds()) that a meter of that
// firmware number and panel (its DisplayBase) reads, in stateIds' order.
std::vector<DiscoveryConfig> discoveryConfigs(const QString &prefix, const DiscoveryMeter &meter, int firmwareNumber,
                                              int displayBase, const QStringList &stateIds = {},
                                              const DiscoveryOptions &options = {});

// The meter's diagnostic sensors (entity_category diagnostic): its clock
// offset (device class duration, s) and its failed requests.
std::vector<DiscoveryConfig> diagnosticConfigs(const QString &prefix, const DiscoveryMeter &meter,
                                               const DiscoveryOptions &options = {});

} // namespace gateway
