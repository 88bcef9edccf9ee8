#include "cli/meter_connection.h"

#include "link/port_map.h"
#include "link/traffic_log.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <mutex>

void StderrTraffic::traffic(const modbus::TrafficEvent &event)
{
    static std::mutex lock;
    const QByteArray line = (prefix_ + trafficText(event, QTime::currentTime())).toLocal8Bit();
    const std::lock_guard<std::mutex> hold(lock);
    std::fprintf(stderr, "%s\n", line.constData());
}

MeterConnection::MeterConnection(const MeterAddress &address, modbus::TrafficObserver *log)
    : address_(address)
{
    transactions().setTrafficObserver(log);
    transactions().setTcpPauseMs(address_.tcpPauseMs);
    poll_.initialise();
    QObject::connect(&transactionLink_, &TransactionLink::statusText,
                     [this](const QString &text) { status_ = text; });
}

MeterConnection::~MeterConnection()
{
    poll_.pause();
    link_.closeAndGoOffline();
}

QString MeterConnection::noAnswer() const
{
    return QStringLiteral("no answer from the meter at %1%2")
        .arg(address_.describe(), status_.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(status_));
}

bool MeterConnection::open(QString *error)
{
    QString why;
    if (!openMeterLink(link_, address_, &why)) {
        if (!address_.rtu) {
            *error = why;
            return false;
        }
        const QString device = portmap::deviceForPort(address_.port);
        *error = QStringLiteral("cannot open serial port %1 (%2): %3").arg(address_.port).arg(device, why);
        if (link_.serial.openDenied())
            *error += QStringLiteral("; you may not use this device: ask to be added to its group "
                                     "(\"ls -l %1\" names it, usually dialout), for example with "
                                     "\"sudo usermod -aG dialout $USER\", then log in again")
                          .arg(device);
        return false;
    }
    if (!address_.rtu && !waitForTcp(error))
        return false;
    link_.setLinkOnline(true);
    // The poll runs when asked, not on the window's timer.
    poll_.pause();
    return true;
}

bool MeterConnection::waitForTcp(QString *error)
{
    QEventLoop loop;
    QString failure;
    QObject::connect(&link_.tcp, &TcpLink::connected, &loop, &QEventLoop::quit);
    QObject::connect(&link_.tcp, &TcpLink::socketError, &loop, [&](int, const QString &description) {
        failure = description;
        loop.quit();
    });
    QTimer::singleShot(kConnectTimeoutMs, &loop, [&] {
        failure = QStringLiteral("no connection within %1 s").arg(kConnectTimeoutMs / 1000);
        loop.quit();
    });
    if (!link_.tcp.isConnected())
        loop.exec();
    if (link_.tcp.isConnected())
        return true;
    link_.tcp.close();
    *error = QStringLiteral("cannot connect to %1:%2: %3").arg(address_.host).arg(address_.tcpPort).arg(failure);
    return false;
}

bool MeterConnection::poll(QString *error)
{
    if (!link_.LinkOnline()) {
        *error = noAnswer();
        return false;
    }
    poll_.Timer1Sec_Timer();
    if (link_.LinkOnline() && transactions().LastTransOK && !poll_.firmwareReadPending())
        return true;
    *error = noAnswer();
    return false;
}
