#include "gateway/discovery_config.h"

#include "gateway/discovery_classes.h"
#include "gateway/mqtt_topics.h"
#include "meter/live_values.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace gateway {

namespace {

QString deviceId(const QString &serial) { return QLatin1String("ampwright_") + meterId(serial); }

QString configTopic(const QString &prefix, const QString &serial, const QString &id)
{
    return prefix + QLatin1String("/sensor/") + deviceId(serial) + QLatin1Char('/') + id + QLatin1String("/config");
}

// Classes that Home Assistant releases before 2025 refuse, and what such a
// release takes in their place.
SensorKind forReleasesBefore2025(SensorKind kind)
{
    if (kind.deviceClass == QLatin1String("reactive_energy"))
        kind.deviceClass.clear();
    if (kind.stateClass == QLatin1String("measurement_angle"))
        kind.stateClass = QStringLiteral("measurement");
    return kind;
}

// The config of a sensor whose value is the state's member id.
DiscoveryConfig sensorConfig(const QString &prefix, const DiscoveryMeter &meter, const DiscoveryOptions &options,
                             const QString &id, const QString &name, SensorKind kind, bool diagnostic)
{
    if (options.compat)
        kind = forReleasesBefore2025(kind);
    const QString serial = meter.serial.trimmed();

    QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{deviceId(meter.serial)}},
                       {QStringLiteral("name"), QStringLiteral("Meter %1").arg(serial)},
                       {QStringLiteral("serial_number"), serial}};
    if (!meter.firmware.isEmpty())
        device.insert(QStringLiteral("sw_version"), meter.firmware);
    // Who announced it, for Home Assistant's log.
    QJsonObject origin{{QStringLiteral("name"), QStringLiteral("Ampwright")}};
    if (!QCoreApplication::applicationVersion().isEmpty())
        origin.insert(QStringLiteral("sw_version"), QCoreApplication::applicationVersion());

    // "online" and "offline" are Home Assistant's default payloads.
    QJsonArray availability{QJsonObject{{QStringLiteral("topic"), availabilityTopic(meter.serial)}}};
    if (!options.gatewayName.isEmpty())
        availability.append(QJsonObject{{QStringLiteral("topic"), gatewayAvailabilityTopic(options.gatewayName)}});

    QJsonObject config{
        {QStringLiteral("unique_id"), deviceId(meter.serial) + QLatin1Char('_') + id},
        {QStringLiteral("name"), name},
        {QStringLiteral("state_topic"), stateTopic(meter.serial)},
        {QStringLiteral("value_template"),
         kind.scale == 1 ? QStringLiteral("{{ value_json.%1 }}").arg(id)
                         : QStringLiteral("{{ value_json.%1 * %2 }}").arg(id).arg(kind.scale)},
        {QStringLiteral("state_class"), kind.stateClass},
        {QStringLiteral("suggested_display_precision"), kind.precision},
        {QStringLiteral("availability"), availability},
        {QStringLiteral("availability_mode"), QStringLiteral("all")},
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), origin},
    };
    if (!kind.unit.isEmpty())
        config.insert(QStringLiteral("unit_of_measurement"), kind.unit);
    if (!kind.deviceClass.isEmpty())
        config.insert(QStringLiteral("device_class"), kind.deviceClass);
    if (diagnostic)
        config.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    return {configTopic(prefix, meter.serial, id), QJsonDocument(config).toJson(QJsonDocument::Compact)};
}

} // namespace

QString discoveryTopic(const QString &prefix, const QString &serial, meter::Q q)
{
    return configTopic(prefix, serial, meter::quantity(q).id);
}

DiscoveryConfig discoveryConfig(const QString &prefix, const DiscoveryMeter &meter, meter::Q q,
                                const DiscoveryOptions &options)
{
    const QString &id = meter::quantity(q).id;
    return sensorConfig(prefix, meter, options, id, sensorName(q), sensorKind(q), false);
}

std::vector<DiscoveryConfig> discoveryConfigs(const QString &prefix, const DiscoveryMeter &meter, int firmwareNumber,
                                              int displayBase, const QStringList &stateIds,
                                              const DiscoveryOptions &options)
{
    std::vector<DiscoveryConfig> configs;
    for (const QString &id : stateIds.isEmpty() ? meter::defaultQuantityIds() : stateIds) {
        const std::optional<meter::Q> q = meter::findQuantity(id);
        if (q && meter::readsQuantity(*q, firmwareNumber, displayBase))
            configs.push_back(discoveryConfig(prefix, meter, *q, options));
    }
    return configs;
}

std::vector<DiscoveryConfig> diagnosticConfigs(const QString &prefix, const DiscoveryMeter &meter,
                                               const DiscoveryOptions &options)
{
    SensorKind offset{QStringLiteral("duration"), QStringLiteral("measurement"), QStringLiteral("s"), 1, 0};
    SensorKind failures{{}, QStringLiteral("total_increasing"), {}, 1, 0};
    return {sensorConfig(prefix, meter, options, kClockOffsetId, QStringLiteral("Clock offset"), offset, true),
            sensorConfig(prefix, meter, options, kRequestFailuresId, QStringLiteral("Failed requests"), failures, true)};
}

} // namespace gateway
