#include "links/meter_address.h"

#include "links/link_state.h"
#include "links/port_map.h"

namespace links {

QString MeterAddress::describeLine() const
{
    return rtu ? QStringLiteral("serial port %1 (%2)").arg(port).arg(links::deviceForPort(port))
               : QStringLiteral("%1:%2").arg(host).arg(tcpPort);
}

QString MeterAddress::describe() const { return QStringLiteral("%1, unit %2").arg(describeLine()).arg(unit); }

bool openMeterLink(LinkState &link, const MeterAddress &address, QString *why)
{
    link.RtuMode = address.rtu;
    link.SlaveAddress = address.unit;
    if (address.rtu) {
        // The port number of an open port cannot change: it is opened afresh.
        link.serial.close();
        return link.serial.setPortNumber(address.port, why)
               && link.serial.setSettings(QStringLiteral("%1,n,8,%2").arg(address.baud).arg(address.stopBits), why)
               && link.serial.open(why);
    }
    if (!link.tcp.setRemotePort(address.tcpPort)) {
        if (why)
            *why = QStringLiteral("TCP port %1 is not a port number (1 to 65535)").arg(address.tcpPort);
        return false;
    }
    link.tcp.setRemoteHost(address.host);
    if (!link.tcp.isConnected())
        link.tcp.connectToMeter();
    return true;
}

} // namespace links
