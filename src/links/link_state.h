#pragma once

#include "links/serial_link.h"
#include "links/tcp_link.h"

#include <QObject>

#include <cstdint>

namespace links {

// A meter link (the window's, the tool's, a gateway line's): the connection mode, the online flag,
// the meter's Modbus address, and the serial port and TCP socket themselves.
//
// Going online or offline is a broadcast: every subsystem listens to
// linkOnlineChanged and reacts itself (starts or stops its timers, enables
// or disables its own controls). Nothing else tells them.
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
        if (online)
            ++session_;
        emit linkOnlineChanged(online);
    }

    // Closes the port and the socket, then goes offline.
    void closeAndGoOffline()
    {
        serial.close();
        tcp.close();
        setLinkOnline(false);
    }

    // Counts the connections: each time the link goes online a new one
    // begins. Work that began on one connection (a poll tick, a transaction)
    // ends when it finds another one, even if the link is online again.
    std::uint64_t session() const { return session_; }

    SerialLink serial;
    TcpLink tcp;

signals:
    void linkOnlineChanged(bool online);

private:
    bool linkOnline_ = false;
    std::uint64_t session_ = 0;
};

} // namespace links
