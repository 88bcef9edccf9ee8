#pragma once

#include <QByteArray>
#include <QString>

// What an MQTT client needs to reach its broker. The caller fills it (the
// gateway from its configuration, see gateway_config.h); nothing here reads
// a file.
namespace gateway {

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;

// A message the broker publishes for the client when the client's
// connection ends without a DISCONNECT (the process died, the network went).
struct MqttWill {
    QString topic; // empty: no last will
    QByteArray payload;
    bool retained = true;
};

// TLS to the broker: on when caFile is set. The broker's certificate must
// chain to the CA file and name the host the client connects to.
struct MqttTls {
    QString caFile;
    QString certFile; // a client certificate, with keyFile; both or neither
    QString keyFile;
    bool enabled() const { return !caFile.isEmpty(); }
};

struct MqttSettings {
    QString host;
    int port = kMqttPort;
    QString clientId;     // empty: the library makes one up
    int keepAliveS = 30;  // 5..65535
    int connectTimeoutMs = 10000; // a TCP connect, TLS handshake and CONNACK together
    MqttWill will;
    // Given by the caller (file or environment); never logged.
    QString username;     // empty: none
    QString password;
    MqttTls tls;
};

} // namespace gateway
