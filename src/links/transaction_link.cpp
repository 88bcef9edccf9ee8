#include "links/transaction_link.h"

#include "links/link_state.h"

namespace links {

TransactionLink::TransactionLink(LinkState &link, QObject *parent)
    : QObject(parent), link_(link), waits_(link),
      transactions_(*this, waits_, link.serial, link.tcp)
{
    connect(&link_, &LinkState::linkOnlineChanged, this, &TransactionLink::resetReceive);
    connect(&link_.tcp, &TcpLink::dataArrival, this,
            [this](qint64 total) { transactions_.Winsock_DataArrival(total); });
    connect(&link_.serial, &SerialLink::portLost, this, &TransactionLink::serialPortLost);
}

void TransactionLink::serialPortLost()
{
    // Left online, every transaction would find the port closed and return
    // without a word. A waiting one ends when the link goes offline and
    // leaves this text in place.
    if (!link_.RtuMode || !link_.LinkOnline())
        return;
    setStatusText("Communication Error! Serial port lost!");
    takeLinkOffline();
}

void TransactionLink::resetReceive()
{
    if (!link_.RtuMode)
        return;
    link_.serial.takeInput();
    transactions_.CrcTableSetup();
}

bool TransactionLink::linkOnline() const { return link_.LinkOnline(); }

std::uint64_t TransactionLink::linkSession() const { return link_.session(); }

void TransactionLink::setStatusText(const std::string &text)
{
    emit statusText(QString::fromStdString(text));
}

void TransactionLink::takeLinkOffline()
{
    // Only an online link can be taken offline.
    if (link_.LinkOnline())
        link_.closeAndGoOffline();
}

} // namespace links
