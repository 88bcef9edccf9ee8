#pragma once

#include "gateway/listener_settings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace gateway {

class ListenerMetrics;
class SharedLine;

// Modbus TCP masters on a line of the gateway: their requests checked here
// and passed to the line (SharedLine) in arrival order, each answer sent back
// with the master's own transaction and unit. Functions 3 and 4 pass; 6 and
// 16 as the listener's writes allow (a refused write is logged with the
// master's address); anything else gets exception 1. Unit 0 and units above
// 247 get exception 0x0A.
//
// What a peer can do to it is bounded: a frame that is no Modbus TCP (a
// wrong protocol identifier, a length over 260 bytes) closes the connection,
// so does a request that is not whole kHalfRequestMs after its first byte;
// a master has at most kWaitingPerMaster requests waiting (the rest stay
// unread in its socket); the master one beyond maxMasters, or from an
// address outside clients, is closed at once. The answer of a master that
// left is dropped.
//
// Lives on its line's thread.
class ModbusListener : public QObject {
    Q_OBJECT
public:
    static constexpr int kHalfRequestMs = 3000;
    static constexpr int kWaitingPerMaster = 4;

    ModbusListener(ListenerSettings settings, SharedLine &line, ListenerMetrics *metrics, QObject *parent = nullptr);
    ~ModbusListener() override;

    bool listen(QString *error);
    quint16 port() const;
    const ListenerSettings &settings() const { return settings_; }
    // The masters connected now, "ADDRESS:PORT" each, in the order they came.
    QStringList masters() const;

signals:
    void logLine(const QString &line);
    // A master came or left: those connected now.
    void mastersChanged(const QStringList &masters);

private:
    struct Master;
    void accept();
    void readFrom(quint64 id);
    void handle(quint64 id, Master &master, std::uint16_t transaction, std::uint8_t unit, std::vector<std::uint8_t> pdu);
    void answer(quint64 id, std::uint16_t transaction, std::uint8_t unit, const std::vector<std::uint8_t> &pdu);
    void close(quint64 id, const QString &why);
    void left(quint64 id);
    // Takes the master out, its socket closed; told by close() or left().
    void forget(quint64 id);
    void tell(const QString &text);
    void counted(bool passed, bool refused);

    ListenerSettings settings_;
    SharedLine &line_;
    ListenerMetrics *metrics_;
    QTcpServer *server_;
    std::map<quint64, std::unique_ptr<Master>> masters_;
    quint64 nextId_ = 1;
};

} // namespace gateway
