#include "session/meter_line.h"

#include "links/port_map.h"

#include <QEventLoop>
#include <QTimer>

namespace session {

bool MeterLine::open(const links::MeterAddress &address, QString *error)
{
    address_ = address;
    transactions.transactions().setTcpPauseMs(address.tcpPauseMs);
    transactions.transactions().setAnswerWaitMs(address.answerWaitMs);
    transactions.transactions().setGapMs(address.gapMs);
    QString why;
    if (!links::openMeterLink(link, address, &why)) {
        if (!address.rtu) {
            *error = why;
            return false;
        }
        const QString device = links::deviceForPort(address.port);
        *error = QStringLiteral("cannot open serial port %1 (%2): %3").arg(address.port).arg(device, why);
        if (link.serial.openDenied())
            *error += QStringLiteral("; you may not use this device: ask to be added to its group "
                                     "(\"ls -l %1\" names it, usually dialout), for example with "
                                     "\"sudo usermod -aG dialout $USER\", then log in again")
                          .arg(device);
        return false;
    }
    if (!address.rtu && !waitForTcp(error))
        return false;
    link.setLinkOnline(true);
    return true;
}

bool MeterLine::waitForTcp(QString *error)
{
    QEventLoop loop;
    QString failure;
    links::TcpLink &tcp = link.tcp;
    QObject::connect(&tcp, &links::TcpLink::connected, &loop, &QEventLoop::quit);
    QObject::connect(&tcp, &links::TcpLink::socketError, &loop, [&](int, const QString &description) {
        failure = description;
        loop.quit();
    });
    QTimer::singleShot(kConnectTimeoutMs, &loop, [&] {
        failure = QStringLiteral("no connection within %1 s").arg(kConnectTimeoutMs / 1000);
        loop.quit();
    });
    if (!tcp.isConnected())
        loop.exec();
    if (tcp.isConnected())
        return true;
    tcp.close();
    *error = QStringLiteral("cannot connect to %1:%2: %3").arg(address_.host).arg(address_.tcpPort).arg(failure);
    return false;
}

} // namespace session
