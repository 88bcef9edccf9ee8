#include "gateway/mqtt_credentials.h"

#include "gateway/secret_file.h"

#include <QStringList>

namespace gateway {

namespace {

constexpr qint64 kLargestFile = 64 * 1024;

bool readFile(const QString &path, MqttCredentials &credentials, QString *error)
{
    const auto bytes = readSecretFile(path, kLargestFile, error);
    if (!bytes)
        return false;
    QStringList lines = QString::fromUtf8(*bytes).split(QLatin1Char('\n'));
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    credentials.username = lines.value(0).trimmed();
    credentials.password = lines.value(1);
    if (credentials.username.isEmpty()) {
        *error = QStringLiteral("%1: the first line must hold the user name").arg(path);
        return false;
    }
    return true;
}

} // namespace

std::optional<MqttCredentials> loadMqttCredentials(const QString &file, const QProcessEnvironment &env,
                                                   QString *error)
{
    MqttCredentials credentials;
    if (!file.isEmpty() && !readFile(file, credentials, error))
        return std::nullopt;
    if (env.contains(QStringLiteral("AMPWRIGHT_MQTT_USERNAME")))
        credentials.username = env.value(QStringLiteral("AMPWRIGHT_MQTT_USERNAME"));
    if (env.contains(QStringLiteral("AMPWRIGHT_MQTT_PASSWORD")))
        credentials.password = env.value(QStringLiteral("AMPWRIGHT_MQTT_PASSWORD"));
    if (credentials.username.isEmpty() && !credentials.password.isEmpty()) {
        *error = QStringLiteral("a password needs a user name (AMPWRIGHT_MQTT_USERNAME, or the first line of "
                                "the credentials file)");
        return std::nullopt;
    }
    return credentials;
}

} // namespace gateway
