#pragma once

#include <QObject>

#include <functional>

namespace ui {
class Messages;
}

namespace links {

class TcpLink;

// The socket's error event. An error on an established connection is shown
// and changes nothing else; errors while a connection is being set up belong
// to the connect button, which reports them in the user's language. (Arriving
// data are counted for the transactions by TransactionLink.)
class SocketEvents : public QObject {
    Q_OBJECT
public:
    SocketEvents(TcpLink &tcp, ui::Messages &messages, std::function<bool()> connecting,
                 QObject *parent = nullptr);

    void Winsock_Error(int number, const QString &description);

private:
    ui::Messages &messages_;
    std::function<bool()> connecting_;
};

} // namespace links
