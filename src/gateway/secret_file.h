#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace gateway {

// The bytes of a credentials file (at most maxBytes). Nothing, with a
// one-line reason in error, when it is readable by every user of the
// machine (checked before it is read: a secret every user can read is no
// longer one), cannot be read or is larger.
std::optional<QByteArray> readSecretFile(const QString &path, qint64 maxBytes, QString *error);

} // namespace gateway
