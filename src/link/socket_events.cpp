#include "link/socket_events.h"

#include "app/messages.h"
#include "link/tcp_link.h"
#include "modbus/transactions.h"

SocketEvents::SocketEvents(TcpLink &tcp, modbus::Transactions &transactions, Messages &messages,
                           std::function<bool()> connecting, QObject *parent)
    : QObject(parent), transactions_(transactions), messages_(messages),
      connecting_(std::move(connecting))
{
    connect(&tcp, &TcpLink::dataArrival, this, &SocketEvents::Winsock_DataArrival);
    connect(&tcp, &TcpLink::socketError, this, &SocketEvents::Winsock_Error);
}

void SocketEvents::Winsock_DataArrival(qint64 totalBytes)
{
    transactions_.Winsock_DataArrival(totalBytes);
}

void SocketEvents::Winsock_Error(int number, const QString &description)
{
    if (connecting_ && connecting_())
        return;
    messages_.show(MessageKind::Plain, QString(),
                   QStringLiteral("Number = %1, Description = %2").arg(number).arg(description));
}
