#pragma once

#include "link/serial_link.h"
#include "link/tcp_link.h"

#include <QObject>

// The meter link of the main window: the connection mode, the online flag,
// the meter's Modbus address, and the serial port and TCP socket themselves.
class LinkState : public QObject {
    Q_OBJECT
public:
    explicit LinkState(QObject *parent = nullptr) : QObject(parent) {}

    // True: serial Modbus RTU; false: Modbus TCP.
    bool RtuMode = true;
    // Address of the meter every transaction talks to.
    int SlaveAddress = 15;

    bool LinkOnline() const { return linkOnline_; }
    void setLinkOnline(bool online)
    {
        if (online == linkOnline_)
            return;
        linkOnline_ = online;
        emit linkOnlineChanged(online);
    }

    SerialLink serial;
    TcpLink tcp;

signals:
    void linkOnlineChanged(bool online);

private:
    bool linkOnline_ = false;
};
