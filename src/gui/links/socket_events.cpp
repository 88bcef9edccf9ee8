#include "gui/links/socket_events.h"

#include "gui/ui/messages.h"
#include "links/tcp_link.h"

namespace links {

SocketEvents::SocketEvents(TcpLink &tcp, ui::Messages &messages, std::function<bool()> connecting,
                           QObject *parent)
    : QObject(parent), messages_(messages), connecting_(std::move(connecting))
{
    connect(&tcp, &TcpLink::socketError, this, &SocketEvents::Winsock_Error);
}

void SocketEvents::Winsock_Error(int number, const QString &description)
{
    if (connecting_ && connecting_())
        return;
    messages_.show(ui::MessageKind::Plain, QString(),
                   QStringLiteral("Number = %1, Description = %2").arg(number).arg(description));
}

} // namespace links
