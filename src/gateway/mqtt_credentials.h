#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

// The user name and password for the broker, never given on a command line
// (every user of the machine sees it there) and never logged.
namespace gateway {

struct MqttCredentials {
    QString username; // empty: none
    QString password;
};

// From the credentials file, if one is named: its first line the user name,
// its second the password (taken as it is, blanks included); then
// AMPWRIGHT_MQTT_USERNAME and AMPWRIGHT_MQTT_PASSWORD of env, each over the
// file's. Nothing, with a one-line reason in error, when the file cannot be
// read, is readable by every user, or a password comes without a user name.
std::optional<MqttCredentials> loadMqttCredentials(const QString &file, const QProcessEnvironment &env,
                                                   QString *error);

} // namespace gateway
