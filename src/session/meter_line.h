#pragma once

#include "links/link_state.h"
#include "links/meter_address.h"
#include "links/transaction_link.h"

#include <QObject>
#include <QString>

namespace session {

// One line to meters: a serial port or a TCP connection, and the
// transactions over it. One meter session uses a line of its own; several
// meters on one RS-485 line, or behind one Modbus TCP gateway, share one.
class MeterLine : public QObject {
    Q_OBJECT
public:
    explicit MeterLine(QObject *parent = nullptr) : QObject(parent) {}

    links::LinkState link;
    links::TransactionLink transactions{link};

    static constexpr int kConnectTimeoutMs = 5000;
    // Points the link at address (its port or host; the unit is each
    // session's), opens it (a TCP connection within kConnectTimeoutMs) and
    // goes online. False with a one-line reason (and, for a serial port the
    // user may not open, how to get access).
    bool open(const links::MeterAddress &address, QString *error);
    // Where the line goes, as open() was last given it.
    const links::MeterAddress &address() const { return address_; }

private:
    bool waitForTcp(QString *error);

    links::MeterAddress address_;
};

} // namespace session
