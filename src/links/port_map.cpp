#include "links/port_map.h"

#include <QDir>

namespace links {

QString deviceForPort(int number)
{
    if (number < kFirstPort || number > kLastPort)
        return {};

    // A folder of COM<n> entries replaces the table as a whole, so that the
    // ports a test or the demo sees do not depend on the machine's hardware.
    const QString comDir = qEnvironmentVariable("AMPWRIGHT_COM_DIR");
    if (!comDir.isEmpty())
        return QDir(comDir).filePath(QStringLiteral("COM%1").arg(number));

    if (number <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(number - 1);
    if (number <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(number - 9);
    return QStringLiteral("/dev/ttyS%1").arg(number - 13);
}

} // namespace links
