#pragma once

#include "links/event_loop_waits.h"
#include "modbus/transactions.h"

#include <QObject>
#include <QString>

namespace links {

class LinkState;

// The transactions over the window's link. It is their host: the online
// state, the meter address, the status texts (handed on as statusText), and
// taking a link that failed all attempts offline. It counts the socket's
// unread bytes for them, and gives them a fresh receive state (empty serial
// input, CRC tables rebuilt) whenever the link goes online or offline. A
// serial port whose device went away takes the link offline at once.
class TransactionLink : public QObject, public modbus::TransactionHost {
    Q_OBJECT
public:
    explicit TransactionLink(LinkState &link, QObject *parent = nullptr);

    modbus::Transactions &transactions() { return transactions_; }

    // modbus::TransactionHost
    bool linkOnline() const override;
    std::uint64_t linkSession() const override;
    void setStatusText(const std::string &text) override;
    void takeLinkOffline() override;

signals:
    // A text for the window's status line ("CRC Error", ...).
    void statusText(const QString &text);

private:
    void resetReceive();
    void serialPortLost();

    LinkState &link_;
    EventLoopWaits waits_;
    modbus::Transactions transactions_;
};

} // namespace links
