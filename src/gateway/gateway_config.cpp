#include "gateway/gateway_config.h"

#include "archive/archive_location.h"
#include "gateway/discovery_config.h"
#include "gateway/meter_list.h"
#include "gateway/mqtt_credentials.h"
#include "gateway/mqtt_topics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <functional>

namespace gateway {

namespace {

constexpr qint64 kLargestFile = 1 << 20;

std::optional<int> parseWholeNumber(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= lowest && n <= highest ? std::optional(n) : std::nullopt;
}

// Labels of letters, digits and "-" (not at either end) between dots; a
// dot may end the name.
bool isHostName(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    QStringList labels = host.split(QLatin1Char('.'));
    if (labels.size() > 1 && labels.back().isEmpty())
        labels.removeLast();
    return std::all_of(labels.begin(), labels.end(), [](const QString &label) {
        const auto allowed = [](QChar c) { return c.isDigit() || (c.isLetter() && c.unicode() < 0x80) || c == u'-'; };
        return !label.isEmpty() && label.size() <= 63 && label.front() != u'-' && label.back() != u'-'
               && std::all_of(label.begin(), label.end(), allowed);
    });
}

// "homeassistant", "site/homeassistant": topic levels of topic words.
bool isTopicPrefix(const QString &text)
{
    const QStringList levels = text.split(QLatin1Char('/'));
    return text.size() <= 200 && std::all_of(levels.begin(), levels.end(), isTopicWord);
}

// What is wrong with word; the file, line and key are filled in by the caller.
ConfigError problem(const QString &word, const QString &message)
{
    ConfigError error;
    error.word = word;
    error.message = message;
    return error;
}

ConfigError badValue(const QString &value, const QString &message)
{
    return problem(value, QStringLiteral("\"%1\" is not %2").arg(value, message));
}

using Apply = std::function<std::optional<ConfigError>(const QString &value, GatewaySettings &)>;

std::optional<ConfigError> setText(QString GatewaySettings::*field, const QString &value, GatewaySettings &s)
{
    s.*field = value;
    return std::nullopt;
}

Apply path(QString GatewaySettings::*field)
{
    return [field](const QString &value, GatewaySettings &s) { return setText(field, value, s); };
}

Apply number(std::optional<int> GatewaySettings::*field, int lowest, int highest, const char *unit)
{
    return [=](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
        s.*field = parseWholeNumber(value, lowest, highest);
        if (s.*field)
            return std::nullopt;
        return badValue(value, QStringLiteral("a whole number of %1 from %2 to %3").arg(QLatin1String(unit)).arg(lowest).arg(highest));
    };
}

Apply hostPort(std::optional<HostPort> GatewaySettings::*field, bool needPort)
{
    return [=](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
        QString why;
        s.*field = parseHostPort(value, needPort, &why);
        if (s.*field)
            return std::nullopt;
        return badValue(value, why);
    };
}

struct Key {
    const char *name;
    Apply apply;
};

const std::vector<Key> &keys()
{
    static const std::vector<Key> all = {
        {"meters", path(&GatewaySettings::meters)},
        {"mqtt", hostPort(&GatewaySettings::mqtt, false)},
        {"mqtt-prefix",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             if (!isTopicPrefix(value))
                 return badValue(value, QStringLiteral("a topic prefix (levels of letters, digits, \"-\", \"_\", \".\" "
                                                       "between \"/\")"));
             return setText(&GatewaySettings::mqttPrefix, value, s);
         }},
        {"name",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             if (!isTopicWord(value))
                 return badValue(value, QStringLiteral("a name of 1 to 64 letters, digits, \"-\", \"_\" and \".\""));
             return setText(&GatewaySettings::name, value, s);
         }},
        {"mqtt-credentials", path(&GatewaySettings::mqttCredentials)},
        {"mqtt-ca", path(&GatewaySettings::mqttCa)},
        {"mqtt-cert", path(&GatewaySettings::mqttCert)},
        {"mqtt-key", path(&GatewaySettings::mqttKey)},
        {"metrics", hostPort(&GatewaySettings::metrics, true)},
        {"http",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             // A port alone listens on this machine only.
             static const QRegularExpression portOnly(QStringLiteral("^:?([0-9]{1,5})$"));
             const QRegularExpressionMatch port = portOnly.match(value);
             return hostPort(&GatewaySettings::http, true)(
                 port.hasMatch() ? QStringLiteral("127.0.0.1:") + port.captured(1) : value, s);
         }},
        {"http-credentials", path(&GatewaySettings::httpCredentials)},
        {"every", number(&GatewaySettings::everyS, 1, 86400, "seconds")},
        {"lp-every", number(&GatewaySettings::lpEveryMin, 0, 1440, "minutes")},
        {"clock-sync", number(&GatewaySettings::clockSyncS, 0, 86400, "seconds")},
        {"ha-discovery",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             if (value != QLatin1String("current") && value != QLatin1String("compat"))
                 return badValue(value, QStringLiteral("current or compat"));
             return setText(&GatewaySettings::haDiscovery, value, s);
         }},
        {"timeout", number(&GatewaySettings::timeoutMs, kTimeoutMs.first, kTimeoutMs.second, "milliseconds")},
        {"pause", number(&GatewaySettings::pauseMs, kPauseMs.first, kPauseMs.second, "milliseconds")},
        {"attempts", number(&GatewaySettings::attempts, kAttempts.first, kAttempts.second, "attempts")},
        {"tcp-pause-ms", number(&GatewaySettings::tcpPauseMs, 0, 10000, "milliseconds")},
        {"listen",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             QString why;
             if (!value.isEmpty() && !parseServedFile(QStringLiteral("listen=") + value, MeterJob{}, &why))
                 return problem(value, QStringLiteral("\"%1\": %2").arg(value, why.section(QStringLiteral(": "), 1, -1)));
             if (!value.isEmpty())
                 s.listen << value;
             return std::nullopt;
         }},
        {"store",
         [](const QString &value, GatewaySettings &s) -> std::optional<ConfigError> {
             QString why;
             if (!archive::parseArchiveLocation(value, &why))
                 return problem(value, QStringLiteral("\"%1\": %2").arg(value, why));
             return setText(&GatewaySettings::store, value, s);
         }},
    };
    return all;
}

bool isPathKey(const QString &key)
{
    static const QStringList paths = {QStringLiteral("meters"), QStringLiteral("mqtt-credentials"),
                                      QStringLiteral("mqtt-ca"), QStringLiteral("mqtt-cert"), QStringLiteral("mqtt-key"),
                                      QStringLiteral("http-credentials")};
    return paths.contains(key);
}

// The line without its comment, if any.
QString withoutComment(const QString &line)
{
    static const QRegularExpression comment(QStringLiteral("(^|\\s)#.*$"));
    QString text = line;
    return text.remove(comment).trimmed();
}

} // namespace

QString ConfigError::text() const
{
    if (file.isEmpty())
        return QStringLiteral("--%1: %2").arg(key, message);
    if (line == 0)
        return file + QLatin1String(": ") + message;
    return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message);
}

QStringList gatewaySettingKeys()
{
    QStringList names;
    for (const Key &key : keys())
        names << QLatin1String(key.name);
    return names;
}

std::optional<ConfigError> applyGatewaySetting(const QString &key, const QString &value, GatewaySettings &settings)
{
    const auto found = std::find_if(keys().begin(), keys().end(),
                                    [&key](const Key &k) { return key == QLatin1String(k.name); });
    std::optional<ConfigError> wrong;
    if (found == keys().end())
        wrong = problem(key, QStringLiteral("unknown key \"%1\"").arg(key));
    else if (value.isEmpty())
        wrong = problem(key, QStringLiteral("\"%1\" needs a value").arg(key));
    else
        wrong = found->apply(value, settings);
    if (wrong)
        wrong->key = key;
    return wrong;
}

std::optional<GatewaySettings> parseGatewayConfig(const QString &text, const QString &fileName, ConfigError *error)
{
    const QDir folder = QFileInfo(fileName).absoluteDir();
    GatewaySettings settings;
    QHash<QString, int> seenOn;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto fail = [&](int line, ConfigError e) {
        e.file = fileName;
        e.line = line;
        *error = e;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = withoutComment(lines[i]);
        if (line.isEmpty())
            continue;
        const auto control = std::find_if(line.begin(), line.end(), [](QChar c) { return c < u' ' && c != u'\t'; });
        if (control != line.end())
            return fail(number, problem(line, QStringLiteral("\"%1\" holds a control character").arg(line)));
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            const QString word = line.section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
            return fail(number, problem(word, QStringLiteral("\"%1\" is not \"key = value\"").arg(word)));
        }
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        // A gateway shares as many lines as it likes.
        if (const auto first = seenOn.constFind(key); first != seenOn.cend() && key != QLatin1String("listen"))
            return fail(number, problem(key, QStringLiteral("\"%1\" is given twice (first on line %2)").arg(key).arg(*first)));
        seenOn.insert(key, number);
        if (isPathKey(key) && !value.isEmpty())
            value = QDir::cleanPath(folder.absoluteFilePath(value));
        if (auto wrong = applyGatewaySetting(key, value, settings))
            return fail(number, *wrong);
    }
    return settings;
}

std::optional<GatewaySettings> readGatewayConfig(const QString &path, ConfigError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = problem(path, QStringLiteral("cannot be read: %1").arg(file.errorString()));
        error->file = path;
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kLargestFile + 1);
    if (bytes.size() > kLargestFile) {
        *error = problem(path, QStringLiteral("is larger than 1 MiB: not a configuration file"));
        error->file = path;
        return std::nullopt;
    }
    return parseGatewayConfig(QString::fromUtf8(bytes), path, error);
}

GatewaySettings mergeSettings(const GatewaySettings &file, const GatewaySettings &flags)
{
    const auto text = [](const QString &fromFile, const QString &fromFlag) {
        return fromFlag.isEmpty() ? fromFile : fromFlag;
    };
    GatewaySettings merged;
    merged.meters = text(file.meters, flags.meters);
    merged.mqtt = flags.mqtt ? flags.mqtt : file.mqtt;
    merged.mqttPrefix = text(file.mqttPrefix, flags.mqttPrefix);
    merged.name = text(file.name, flags.name);
    merged.mqttCredentials = text(file.mqttCredentials, flags.mqttCredentials);
    merged.mqttCa = text(file.mqttCa, flags.mqttCa);
    merged.mqttCert = text(file.mqttCert, flags.mqttCert);
    merged.mqttKey = text(file.mqttKey, flags.mqttKey);
    merged.metrics = flags.metrics ? flags.metrics : file.metrics;
    merged.http = flags.http ? flags.http : file.http;
    merged.httpCredentials = text(file.httpCredentials, flags.httpCredentials);
    merged.everyS = flags.everyS ? flags.everyS : file.everyS;
    merged.lpEveryMin = flags.lpEveryMin ? flags.lpEveryMin : file.lpEveryMin;
    merged.store = text(file.store, flags.store);
    merged.clockSyncS = flags.clockSyncS ? flags.clockSyncS : file.clockSyncS;
    merged.haDiscovery = text(file.haDiscovery, flags.haDiscovery);
    merged.listen = file.listen + flags.listen;
    for (auto field : {&GatewaySettings::timeoutMs, &GatewaySettings::pauseMs, &GatewaySettings::attempts,
                       &GatewaySettings::tcpPauseMs})
        merged.*field = flags.*field ? flags.*field : file.*field;
    return merged;
}

QString checkGatewaySettings(const GatewaySettings &s)
{
    if (s.meters.isEmpty())
        return QStringLiteral("no meters file: give meters (--meters FILE)");
    if (s.mqttCert.isEmpty() != s.mqttKey.isEmpty())
        return QStringLiteral("a client certificate needs its key: give mqtt-cert and mqtt-key together");
    if (!s.mqttCert.isEmpty() && s.mqttCa.isEmpty())
        return QStringLiteral("a client certificate is for TLS, which mqtt-ca turns on: give mqtt-ca too");
    if (!s.mqtt && (!s.mqttCa.isEmpty() || !s.mqttCredentials.isEmpty()))
        return QStringLiteral("mqtt-ca and mqtt-credentials are for a broker: give mqtt (--mqtt HOST[:PORT])");
    if (s.http && s.metrics && !(*s.http == *s.metrics))
        return QStringLiteral("http and metrics name the gateway's one HTTP server: \"%1:%2\" and \"%3:%4\" differ; "
                              "give one of them, or the same address")
            .arg(s.http->host).arg(s.http->port.value_or(0)).arg(s.metrics->host).arg(s.metrics->port.value_or(0));
    if (!s.httpCredentials.isEmpty() && !httpAddress(s))
        return QStringLiteral("http-credentials are for the HTTP server: give http (--http HOST:PORT)");
    return QString();
}

std::optional<HostPort> httpAddress(const GatewaySettings &settings)
{
    return settings.http ? settings.http : settings.metrics;
}

QString gatewayName(const GatewaySettings &settings)
{
    if (!settings.name.isEmpty())
        return settings.name;
    QString name = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0).left(64);
    for (QChar &c : name)
        if (!isTopicWord(QString(c)))
            c = u'-';
    return name.isEmpty() ? QStringLiteral("gateway") : name;
}

QString discoveryPrefix(const GatewaySettings &settings)
{
    return settings.mqttPrefix.isEmpty() ? kDefaultDiscoveryPrefix : settings.mqttPrefix;
}

std::optional<HostPort> parseHostPort(const QString &text, bool needPort, QString *why)
{
    HostPort out;
    QString portText;
    bool portGiven = false;
    if (text.startsWith(QLatin1Char('['))) { // [IPv6] or [IPv6]:PORT
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        out.host = text.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || QHostAddress(out.host).protocol() != QAbstractSocket::IPv6Protocol
            || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))) {
            *why = QStringLiteral("an address as [IPv6]:PORT");
            return std::nullopt;
        }
        portGiven = !rest.isEmpty();
        portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        out.host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
        portGiven = true;
    } else {
        out.host = text;
    }
    const bool address = !QHostAddress(out.host).isNull();
    if (!address && !isHostName(out.host)) {
        *why = needPort ? QStringLiteral("HOST:PORT (an IPv6 address as [ADDRESS]:PORT)")
                        : QStringLiteral("HOST or HOST:PORT (an IPv6 address as [ADDRESS]:PORT)");
        return std::nullopt;
    }
    if (portGiven || needPort) {
        out.port = parseWholeNumber(portText, 1, 65535);
        if (!out.port) {
            *why = QStringLiteral("HOST:PORT with a port from 1 to 65535");
            return std::nullopt;
        }
    }
    return out;
}

MqttSettings gatewayMqttSettings(const GatewaySettings &settings, const MqttCredentials &credentials)
{
    MqttSettings mqtt;
    mqtt.tls = {settings.mqttCa, settings.mqttCert, settings.mqttKey};
    if (settings.mqtt) {
        mqtt.host = settings.mqtt->host;
        mqtt.port = settings.mqtt->port.value_or(mqtt.tls.enabled() ? kMqttTlsPort : kMqttPort);
    }
    const QString name = gatewayName(settings);
    mqtt.clientId = QLatin1String("ampwright-gateway-") + name;
    mqtt.will = {gatewayAvailabilityTopic(name), kOffline, true};
    mqtt.username = credentials.username;
    mqtt.password = credentials.password;
    return mqtt;
}

} // namespace gateway
