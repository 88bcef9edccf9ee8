#include "gateway/secret_file.h"

#include <QFile>
#include <QFileInfo>

namespace gateway {

std::optional<QByteArray> readSecretFile(const QString &path, qint64 maxBytes, QString *error)
{
    QFile file(path);
    if (QFileInfo::exists(path) && (file.permissions() & QFileDevice::ReadOther)) {
        *error = QStringLiteral("%1: the credentials file is readable by every user of the machine; "
                                "allow its owner and group only (chmod o-rwx %1)")
                     .arg(path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: the credentials file cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        *error = QStringLiteral("%1: larger than %2 KiB, not a credentials file").arg(path).arg(maxBytes / 1024);
        return std::nullopt;
    }
    return bytes;
}

} // namespace gateway
