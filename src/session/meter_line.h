#pragma once

#include "link/link_state.h"
#include "link/transaction_link.h"

#include <QObject>

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
};

} // namespace session
