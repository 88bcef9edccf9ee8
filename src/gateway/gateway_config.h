#pragma once

#include "gateway/mqtt_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

// The settings of the gateway (`ampwright-cli serve`), from its
// configuration file and from the command line, whose long options carry
// the same names as the file's keys.
//
// The file holds one "key = value" a line. A line whose first character
// other than blanks is "#" is a comment, and so is the rest of a line from a
// "#" that follows a blank. Relative paths in the file are taken from the
// file's own folder. Keys:
//   meters            the meters file (one meter a line, as `lp --meters`)
//   mqtt              the broker, HOST[:PORT] ([IPv6]:PORT); 1883, or 8883 with TLS
//   mqtt-prefix       the discovery prefix, default "homeassistant"
//   name              the gateway's name in its topics, default the host name
//   mqtt-credentials  a file: a user name line, a password line; not readable by all
//   mqtt-ca           the CA file that turns TLS on
//   mqtt-cert         a client certificate, with mqtt-key
//   mqtt-key          its key
//   metrics           where to serve metrics, HOST:PORT (the one HTTP server's
//                     address, as http names it)
//   http              the HTTP server of the gateway's page, its API and /metrics,
//                     HOST:PORT or PORT (on 127.0.0.1)
//   http-credentials  a file of one line USER:HASH (a crypt(3) hash, "$6$..."):
//                     every request then needs them; not readable by all
//   every             seconds between polls of a meter, 1 to 86400
//   lp-every          minutes between load-profile downloads, 0 (never) to 1440
//   store             the archive, sqlite:PATH or postgresql://USER@HOST[:PORT]/DB
//   ha-discovery      current (the default) or compat: only the classes Home
//                     Assistant releases before 2025 take
//   clock-sync        seconds a meter's clock may be off before the gateway sets
//                     it (at most once a day); 0 or none: never (a meter's own
//                     clock-sync in the meters file wins)
//   timeout           ms each attempt waits for an answer, 50 to 60000 (1100)
//   pause             ms between an answer and the next request, 0 to 10000
//   attempts          attempts a request gets from a meter that answers, 1 to 5 (3)
//   tcp-pause-ms      a fixed pause after each TCP request, 0 to 10000 (none)
//   listen            HOST[:PORT] and a line's words, as a meters file's
//                     listen= line: masters share that line (may be given
//                     more than once)
// The timing keys are defaults for every line; a line of the meters file
// sets its own with the words timeout=, pause= and attempts=.
namespace gateway {

struct HostPort {
    QString host;
    std::optional<int> port;
    bool operator==(const HostPort &) const = default;
};

// A setting not given is empty (or nothing).
struct GatewaySettings {
    QString meters;
    std::optional<HostPort> mqtt;
    QString mqttPrefix;
    QString name;
    QString mqttCredentials;
    QString mqttCa, mqttCert, mqttKey;
    std::optional<HostPort> metrics;
    std::optional<HostPort> http;
    QString httpCredentials;
    std::optional<int> everyS;
    std::optional<int> lpEveryMin;
    QString store;
    std::optional<int> clockSyncS;
    QString haDiscovery; // "current", "compat"; empty: current
    std::optional<int> timeoutMs, pauseMs, attempts, tcpPauseMs;
    QStringList listen; // listeners, each as the text after a meters file's "listen="
};

// What is wrong with a setting: in which file (empty for the command
// line), on which line, which word.
struct ConfigError {
    QString file;
    int line = 0;
    QString word;
    QString message; // names the word
    QString key;     // the setting's key, when the line has one
    // "FILE:LINE: message" ("FILE: message" for the whole file), or
    // "--key: message" for the command line.
    QString text() const;
};

// Every key, as the file and the command line's long options name them.
QStringList gatewaySettingKeys();

// Applies one setting, a line of the file or a command-line option, to
// settings; nothing when it fits, else what is wrong (without file and line).
std::optional<ConfigError> applyGatewaySetting(const QString &key, const QString &value, GatewaySettings &settings);

// The configuration file's text; fileName names it in errors and gives the
// folder of relative paths. A key given twice is an error too.
std::optional<GatewaySettings> parseGatewayConfig(const QString &text, const QString &fileName, ConfigError *error);
// The same from the file at path (at most 1 MiB).
std::optional<GatewaySettings> readGatewayConfig(const QString &path, ConfigError *error);

// The file's settings with those given on the command line over them.
GatewaySettings mergeSettings(const GatewaySettings &file, const GatewaySettings &flags);

// What the settings lack or combine wrongly once merged (a meters file;
// a client certificate and its key together; TLS and credentials only
// with a broker; http and metrics naming one address; http-credentials only
// with a server); empty when nothing.
QString checkGatewaySettings(const GatewaySettings &settings);

// Where the one HTTP server listens: http, else metrics; nothing when neither
// is given.
std::optional<HostPort> httpAddress(const GatewaySettings &settings);

// The gateway's name: the name setting, or the host name in a form its
// topic takes ("gateway" when there is none).
QString gatewayName(const GatewaySettings &settings);
QString discoveryPrefix(const GatewaySettings &settings);

// "HOST[:PORT]" ("[IPv6]:PORT"); with needPort, the port must be there.
std::optional<HostPort> parseHostPort(const QString &text, bool needPort, QString *why);

struct MqttCredentials;
// The client's settings for the broker of settings.mqtt: the port (1883, or
// 8883 with TLS), client id "ampwright-gateway-<name>", the last will
// "offline" (retained) on the gateway's availability topic, TLS files and
// the credentials.
MqttSettings gatewayMqttSettings(const GatewaySettings &settings, const MqttCredentials &credentials);

} // namespace gateway
