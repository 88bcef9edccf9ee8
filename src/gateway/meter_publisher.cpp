#include "gateway/meter_publisher.h"

#include "gateway/discovery_config.h"
#include "gateway/mqtt_topics.h"
#include "meter/live_values.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace gateway {

QByteArray meterStateJson(const MeterState &state)
{
    QJsonObject object = QJsonDocument::fromJson(
        meter::jsonLine(meter::liveValues(state.reading, {}), state.reading).toUtf8()).object();
    if (state.clockOffsetS)
        object.insert(kClockOffsetId, double(*state.clockOffsetS));
    object.insert(kRequestFailuresId, double(state.requestFailures));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

MeterPublisher::MeterPublisher(MqttClient *client, QString discoveryPrefix, QString gatewayName, bool compat)
    : client_(client), prefix_(std::move(discoveryPrefix)), name_(std::move(gatewayName)), compat_(compat)
{
}

bool MeterPublisher::publish(const QString &topic, const QByteArray &payload, bool retained)
{
    // QoS 1 for what is retained: the broker keeps it for every later
    // subscriber, so it must arrive once at least.
    return client_ && client_->isConnected() && client_->publish(topic, payload, retained ? 1 : 0, retained);
}

void MeterPublisher::publishDiscovery(const MeterState &state)
{
    for (const DiscoveryConfig &config :
         discoveryConfigs(prefix_, {state.serial, state.firmware}, state.firmwareNumber, state.displayBase, {},
                          {name_, compat_}))
        publish(config.topic, config.payload, true);
    for (const DiscoveryConfig &config : diagnosticConfigs(prefix_, {state.serial, state.firmware}, {name_, compat_}))
        publish(config.topic, config.payload, true);
}

void MeterPublisher::publishAvailability(const Meter &meter)
{
    if (meter.state)
        publish(availabilityTopic(meter.state->serial), meter.online ? kOnline : kOffline, true);
}

void MeterPublisher::meterRead(int meter, const MeterState &state)
{
    Meter &m = meters_[meter];
    const bool known = m.state && m.state->serial == state.serial && m.state->firmware == state.firmware
                       && m.state->displayBase == state.displayBase;
    if (m.state && m.state->serial != state.serial && m.told) {
        // Another meter answers at this place now: the old one is gone.
        publish(availabilityTopic(m.state->serial), kOffline, true);
        m.told = false;
    }
    m.state = state;
    m.stateJson = meterStateJson(state);
    if (!known)
        publishDiscovery(state);
    if (!m.told || !m.online) {
        m.online = true;
        m.told = true;
        publishAvailability(m);
    }
    publish(stateTopic(state.serial), m.stateJson, false);
}

void MeterPublisher::meterAvailable(int meter, bool online)
{
    Meter &m = meters_[meter];
    if (m.online == online && m.told)
        return;
    m.online = online;
    m.told = m.state.has_value();
    publishAvailability(m);
}

void MeterPublisher::connected()
{
    publish(gatewayAvailabilityTopic(name_), kOnline, true);
    for (auto &[index, m] : meters_) {
        if (!m.state)
            continue;
        publishDiscovery(*m.state);
        publishAvailability(m);
        if (m.online)
            publish(stateTopic(m.state->serial), m.stateJson, false);
    }
}

QList<MqttMessage> MeterPublisher::lastMessages() const
{
    // QoS 0: written at once, ahead of the DISCONNECT on the same
    // connection, whatever QoS 1 messages still wait for acknowledgement.
    QList<MqttMessage> messages;
    for (const auto &[index, m] : meters_)
        if (m.state)
            messages.append({availabilityTopic(m.state->serial), kOffline, 0, true});
    messages.append({gatewayAvailabilityTopic(name_), kOffline, 0, true});
    return messages;
}

} // namespace gateway
