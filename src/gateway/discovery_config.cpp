#include "gateway/discovery_config.h"

#include "gateway/discovery_classes.h"
#include "gateway/mqtt_topics.h"
#include "meter/live_values.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace gateway {

namespace {

QString deviceId(const QString &serial) { return QLatin1String("ampwright_") + meterId(serial); }

} // namespace

QString discoveryTopic(const QString &prefix, const QString &serial, meter::Q q)
{
    return prefix + QLatin1String("/sensor/") + deviceId(serial) + QLatin1Char('/') + meter::quantity(q).id
           + QLatin1String("/config");
}

DiscoveryConfig discoveryConfig(const QString &prefix, const DiscoveryMeter &meter, meter::Q q,
                                const DiscoveryOptions &options)
{
    const QString &id = meter::quantity(q).id;
    const SensorKind kind = sensorKind(q);
    const QString serial = meter.serial.trimmed();

    QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{deviceId(meter.serial)}},
                       {QStringLiteral("name"), QStringLiteral("Meter %1").arg(serial)},
                       {QStringLiteral("serial_number"), serial}};
    if (!meter.firmware.isEmpty())
        device.insert(QStringLiteral("sw_version"), meter.firmware);

    // "online" and "offline" are Home Assistant's default payloads.
    QJsonArray availability{QJsonObject{{QStringLiteral("topic"), availabilityTopic(meter.serial)}}};
    if (!options.gatewayName.isEmpty())
        availability.append(QJsonObject{{QStringLiteral("topic"), gatewayAvailabilityTopic(options.gatewayName)}});

    QJsonObject config{
        {QStringLiteral("unique_id"), deviceId(meter.serial) + QLatin1Char('_') + id},
        {QStringLiteral("name"), sensorName(q)},
        {QStringLiteral("state_topic"), stateTopic(meter.serial)},
        {QStringLiteral("value_template"),
         kind.scale == 1 ? QStringLiteral("{{ value_json.%1 }}").arg(id)
                         : QStringLiteral("{{ value_json.%1 * %2 }}").arg(id).arg(kind.scale)},
        {QStringLiteral("state_class"), kind.stateClass},
        {QStringLiteral("suggested_display_precision"), kind.precision},
        {QStringLiteral("availability"), availability},
        {QStringLiteral("availability_mode"), QStringLiteral("all")},
        {QStringLiteral("device"), device},
    };
    if (!kind.unit.isEmpty())
        config.insert(QStringLiteral("unit_of_measurement"), kind.unit);
    if (!kind.deviceClass.isEmpty())
        config.insert(QStringLiteral("device_class"), kind.deviceClass);
    return {discoveryTopic(prefix, meter.serial, q), QJsonDocument(config).toJson(QJsonDocument::Compact)};
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

} // namespace gateway
