#pragma once

#include "link/link_state.h"
#include "link/meter_address.h"
#include "link/transaction_link.h"

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

    LinkState link;
    TransactionLink transactions{link};

    static constexpr int kConnectTimeoutMs = 5000;
    // Points the link at address (its port or host; the unit is each
    // session's), opens it (a TCP connection within kConnectTimeoutMs) and
    // goes online. False with a one-line reason (and, for a serial port the
    // user may not open, how to get access).
    bool open(const MeterAddress &address, QString *error);
    // Where the line goes, as open() was last given it.
    const MeterAddress &address() const { return address_; }

private:
    bool waitForTcp(QString *error);

    MeterAddress address_;
};

} // namespace session
