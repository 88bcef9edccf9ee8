#pragma once

#include <QObject>

#include <functional>

class Messages;
class TcpLink;
namespace modbus {
class Transactions;
}

// Handlers of the socket's events. Arriving data are only counted here (the
// transactions read them); an error on an established connection is shown and
// changes nothing else. Errors while a connection is being set up belong to
// the connect button, which reports them in the user's language.
class SocketEvents : public QObject {
    Q_OBJECT
public:
    SocketEvents(TcpLink &tcp, modbus::Transactions &transactions, Messages &messages,
                 std::function<bool()> connecting, QObject *parent = nullptr);

    void Winsock_DataArrival(qint64 totalBytes);
    void Winsock_Error(int number, const QString &description);

private:
    modbus::Transactions &transactions_;
    Messages &messages_;
    std::function<bool()> connecting_;
};
