#include "link/port_map.h"

#include <QDir>
#include <QFileInfo>

namespace portmap {

QString deviceForPort(int number)
{
    if (number < kFirstPort || number > kLastPort)
        return {};

    const QString comDir = qEnvironmentVariable("AMPWRIGHT_COM_DIR");
    if (!comDir.isEmpty()) {
        const QString entry = QDir(comDir).filePath(QStringLiteral("COM%1").arg(number));
        if (QFileInfo(entry).exists())
            return entry;
    }

    if (number <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(number - 1);
    if (number <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(number - 9);
    return QStringLiteral("/dev/ttyS%1").arg(number - 13);
}

} // namespace portmap
