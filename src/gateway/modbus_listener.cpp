#include "gateway/modbus_listener.h"

#include "gateway/listener_metrics.h"
#include "gateway/shared_line.h"
#include "meter/register_map.h"
#include "modbus/exception_codes.h"
#include "modbus/mbap.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace gateway {

namespace {

// What one master's bytes may fill before its requests are taken out: two
// of the longest frames.
constexpr qint64 kBufferBytes = 2 * qint64(modbus::kMaxTcpFrame);

QString peerName(const QTcpSocket &socket)
{
    const QHostAddress address = socket.peerAddress();
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    const QString host = mapped ? QHostAddress(v4).toString() : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(socket.peerPort());
}

QString registersText(const modbus::PduShape &shape)
{
    const auto hex = [](int r) { return QStringLiteral("0x%1").arg(r, 4, 16, QLatin1Char('0')).toUpper().replace("0X", "0x"); };
    return shape.count == 1 ? QStringLiteral("register %1").arg(hex(shape.start))
                            : QStringLiteral("registers %1-%2").arg(hex(shape.start), hex(shape.start + shape.count - 1));
}

} // namespace

struct ModbusListener::Master {
    QTcpSocket *socket = nullptr;
    QString name;
    std::vector<std::uint8_t> buffer;
    QTimer *halfRequest = nullptr; // the socket's, so that it goes with it
    int waiting = 0;

    void send(const std::vector<std::uint8_t> &frame)
    {
        socket->write(reinterpret_cast<const char *>(frame.data()), qint64(frame.size()));
    }
};

ModbusListener::ModbusListener(ListenerSettings settings, SharedLine &line, ListenerMetrics *metrics, QObject *parent)
    : QObject(parent), settings_(std::move(settings)), line_(line), metrics_(metrics), server_(new QTcpServer(this))
{
    server_->setMaxPendingConnections(settings_.maxMasters + 8);
    connect(server_, &QTcpServer::newConnection, this, &ModbusListener::accept);
}

ModbusListener::~ModbusListener()
{
    for (auto &[id, master] : masters_)
        master->socket->disconnect(this);
}

bool ModbusListener::listen(QString *error)
{
    const QHostAddress address(settings_.host);
    bool listening = false;
    if (!address.isNull())
        listening = server_->listen(address, quint16(settings_.port));
    else
        *error = QStringLiteral("\"%1\" is no IP address to listen on").arg(settings_.host);
    if (!listening && !address.isNull()) {
        *error = server_->errorString();
        if (settings_.port < 1024 && server_->serverError() == QAbstractSocket::SocketAccessError)
            *error += QStringLiteral(" (a port below 1024 needs the capability CAP_NET_BIND_SERVICE)");
    }
    if (listening && metrics_)
        metrics_->setMasters(settings_.name(), 0);
    return listening;
}

quint16 ModbusListener::port() const { return server_->serverPort(); }

QStringList ModbusListener::masters() const
{
    QStringList names;
    for (const auto &[id, master] : masters_)
        names << master->name;
    return names;
}

void ModbusListener::tell(const QString &text) { emit logLine(QStringLiteral("listener %1: %2").arg(settings_.name(), text)); }

void ModbusListener::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        const QString name = peerName(*socket);
        QString refused;
        if (!settings_.mayConnect(socket->peerAddress()))
            refused = QStringLiteral("master %1 refused: not among the listener's clients").arg(name);
        else if (int(masters_.size()) >= settings_.maxMasters)
            refused = QStringLiteral("master %1 refused: %2 masters are connected already").arg(name).arg(settings_.maxMasters);
        if (!refused.isEmpty()) {
            tell(refused);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const quint64 id = nextId_++;
        auto master = std::make_unique<Master>();
        master->socket = socket;
        master->name = name;
        socket->setParent(this);
        socket->setReadBufferSize(kBufferBytes);
        master->halfRequest = new QTimer(socket);
        master->halfRequest->setSingleShot(true);
        master->halfRequest->setInterval(kHalfRequestMs);
        connect(master->halfRequest, &QTimer::timeout, this,
                [this, id] { close(id, QStringLiteral("a request did not arrive whole within %1 s").arg(kHalfRequestMs / 1000)); });
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { left(id); });
        masters_.emplace(id, std::move(master));
        tell(QStringLiteral("master %1 connected (%2 of %3)").arg(name).arg(masters_.size()).arg(settings_.maxMasters));
        if (metrics_)
            metrics_->setMasters(settings_.name(), int(masters_.size()));
        emit mastersChanged(masters());
        readFrom(id);
    }
}

void ModbusListener::readFrom(quint64 id)
{
    const auto found = masters_.find(id);
    if (found == masters_.end())
        return;
    Master &m = *found->second;
    for (;;) {
        if (m.buffer.size() < std::size_t(kBufferBytes) && m.socket->bytesAvailable() > 0) {
            const QByteArray more = m.socket->read(kBufferBytes - qint64(m.buffer.size()));
            m.buffer.insert(m.buffer.end(), more.begin(), more.end());
        }
        if (m.buffer.empty()) {
            m.halfRequest->stop();
            return;
        }
        // Its later requests wait in its socket until earlier ones are answered.
        if (m.waiting >= kWaitingPerMaster)
            return;
        modbus::MbapTake take = modbus::takeMbapRequest(m.buffer);
        if (take.state == modbus::MbapTake::State::Bad) {
            close(id, QString::fromStdString(take.why));
            return;
        }
        if (take.state == modbus::MbapTake::State::NeedMore) {
            if (!m.halfRequest->isActive())
                m.halfRequest->start();
            if (m.socket->bytesAvailable() > 0 && m.buffer.size() < std::size_t(kBufferBytes))
                continue;
            return;
        }
        m.halfRequest->stop();
        m.buffer.erase(m.buffer.begin(), m.buffer.begin() + std::ptrdiff_t(take.consumed));
        handle(id, m, take.request.transaction, take.request.unit, std::move(take.request.pdu));
        // handle() may answer at once; the master is still there.
    }
}

void ModbusListener::counted(bool passed, bool refused)
{
    if (metrics_)
        metrics_->count(settings_.name(), passed    ? ListenerMetrics::Outcome::Passed
                                      : refused ? ListenerMetrics::Outcome::Refused
                                                : ListenerMetrics::Outcome::Failed);
}

void ModbusListener::handle(quint64 id, Master &master, std::uint16_t transaction, std::uint8_t unit, std::vector<std::uint8_t> pdu)
{
    const modbus::PduCheck check = modbus::checkRequestPdu(pdu);
    const std::uint8_t function = pdu.empty() ? 0 : pdu[0];
    const auto refuse = [&](std::uint8_t code) {
        counted(false, true);
        master.send(modbus::mbapFrame(transaction, unit, modbus::exceptionPdu(function, code)));
    };
    if (!check.ok) {
        refuse(check.exceptionCode);
        return;
    }
    if (unit == 0 || unit > 247) {
        refuse(modbus::exception::kGatewayPathUnavailable);
        return;
    }
    const modbus::PduShape &shape = check.shape;
    if (shape.write()) {
        const bool pointerOnly = shape.start == meter::registers::kRecordPointer && shape.count == 1;
        const bool allowed = settings_.writes == MasterWrites::Allowed
                             || (settings_.writes == MasterWrites::RecordPointer && pointerOnly);
        if (!allowed) {
            tell(QStringLiteral("master %1: write of %2 of unit %3 (function %4) refused: writes=%5")
                     .arg(master.name, registersText(shape)).arg(unit).arg(function).arg(writesWord(settings_.writes)));
            refuse(modbus::exception::kIllegalFunction);
            return;
        }
    }
    ++master.waiting;
    MasterRequest request;
    request.unit = unit;
    request.pdu = std::move(pdu);
    request.shape = shape;
    request.answer = [self = QPointer<ModbusListener>(this), id, transaction, unit](const std::vector<std::uint8_t> &answer) {
        if (self)
            self->answer(id, transaction, unit, answer);
    };
    request.served = [self = QPointer<ModbusListener>(this)](double waitedS, bool answered) {
        if (!self)
            return;
        self->counted(answered, false);
        if (self->metrics_)
            self->metrics_->observeWait(self->settings_.name(), waitedS);
    };
    line_.enqueue(std::move(request));
}

void ModbusListener::answer(quint64 id, std::uint16_t transaction, std::uint8_t unit, const std::vector<std::uint8_t> &pdu)
{
    const auto found = masters_.find(id);
    if (found == masters_.end())
        return; // it left: the answer is dropped
    Master &m = *found->second;
    --m.waiting;
    m.send(modbus::mbapFrame(transaction, unit, pdu));
    // Requests it sent meanwhile, read once the line is free again.
    QMetaObject::invokeMethod(this, [this, id] { readFrom(id); }, Qt::QueuedConnection);
}

void ModbusListener::close(quint64 id, const QString &why)
{
    const auto found = masters_.find(id);
    if (found == masters_.end())
        return;
    // Told once: forget() closes the socket without a "left" line.
    tell(QStringLiteral("master %1 closed: %2").arg(found->second->name, why));
    forget(id);
}

void ModbusListener::left(quint64 id)
{
    const auto found = masters_.find(id);
    if (found == masters_.end())
        return;
    tell(QStringLiteral("master %1 left").arg(found->second->name));
    forget(id);
}

void ModbusListener::forget(quint64 id)
{
    const auto found = masters_.find(id);
    std::unique_ptr<Master> master = std::move(found->second);
    masters_.erase(found);
    if (metrics_)
        metrics_->setMasters(settings_.name(), int(masters_.size()));
    emit mastersChanged(masters());
    master->socket->disconnect(this);
    master->socket->abort();
    master->socket->deleteLater();
}

} // namespace gateway
