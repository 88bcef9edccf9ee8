#pragma once

#include "gateway/mqtt_client.h"
#include "meter/reading.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace gateway {

// What a line's poll of one meter gave, as the gateway publishes it.
struct MeterState {
    QString serial;
    QString firmware;       // the firmware's text
    int firmwareNumber = 0;
    int displayBase = 0;    // its measurement panel (0 or 100)
    meter::Reading reading;
    // Diagnostics beside the values: how far the meter's clock is ahead of
    // the gateway's (clock_offset_s), its failed requests since the gateway
    // started (request_failures).
    std::optional<qint64> clockOffsetS;
    quint64 requestFailures = 0;
};

// The state as published: the same object as `read --format json`, and the
// gateway's diagnostics (clock_offset_s, request_failures). Compact JSON.
QByteArray meterStateJson(const MeterState &state);

// The gateway's messages for its broker: for each meter its discovery
// configs (retained, sent again when the meter's serial or firmware
// changes), its state, and its availability (retained); the gateway's own
// availability. The client keeps no queue while the broker is away, so on
// every connected() all of it is published again: the broker then holds the
// current state, whatever it missed.
//
// Meters are told apart by an index of the caller's (the meters file's line
// order); a meter has topics once its serial is known.
class MeterPublisher {
public:
    // client: nothing when no broker is set; the publisher then only keeps
    // the states (nothing is sent).
    // compat: discovery for Home Assistant releases before 2025
    // (DiscoveryOptions::compat).
    MeterPublisher(MqttClient *client, QString discoveryPrefix, QString gatewayName, bool compat = false);

    void meterRead(int meter, const MeterState &state);
    void meterAvailable(int meter, bool online);
    // Everything again, after a (re)connection.
    void connected();
    // The last messages of a clean end: every meter and the gateway offline.
    QList<MqttMessage> lastMessages() const;

private:
    struct Meter {
        std::optional<MeterState> state;
        QByteArray stateJson; // the state as published: the same object as `read --format json`
        bool online = false;
        bool told = false; // its availability was published at least once
    };
    void publishDiscovery(const MeterState &state);
    void publishAvailability(const Meter &meter);
    bool publish(const QString &topic, const QByteArray &payload, bool retained);

    MqttClient *client_;
    QString prefix_;
    QString name_;
    bool compat_;
    std::map<int, Meter> meters_;
};

} // namespace gateway
