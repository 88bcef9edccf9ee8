#include "link/socket_events.h"

#include "link/tcp_link.h"
#include "ui/messages.h"

SocketEvents::SocketEvents(TcpLink &tcp, Messages &messages, std::function<bool()> connecting,
                           QObject *parent)
    : QObject(parent), messages_(messages), connecting_(std::move(connecting))
{
    connect(&tcp, &TcpLink::socketError, this, &SocketEvents::Winsock_Error);
}

void SocketEvents::Winsock_Error(int number, const QString &description)
{
    if (connecting_ && connecting_())
        return;
    messages_.show(MessageKind::Plain, QString(),
                   QStringLiteral("Number = %1, Description = %2").arg(number).arg(description));
}
