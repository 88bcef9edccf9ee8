#include "gateway/mqtt_client.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <mosquitto.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <system_error>
#include <utility>

namespace gateway {

namespace {

constexpr int kFirstDelayMs = 1000;
constexpr int kLongestDelayMs = 60000;
// MQTT's largest packet holds a little less than this in its payload.
constexpr qsizetype kLongestPayload = 268435455 - 65536;
// How long the writer rests during a TLS handshake when no read comes.
constexpr int kWriterRestMs = 20;
// Reads in a row while TLS holds decrypted bytes the socket no longer signals.
constexpr int kPendingReads = 64;

// The library's set-up, once per process; its clean-up when the process ends.
void useLibrary()
{
    struct Library {
        Library()
        {
            mosquitto_lib_init();
            // TLS writes through OpenSSL, which gives no MSG_NOSIGNAL: a
            // broken connection would raise SIGPIPE, which by default ends
            // the process, where the client rather sees a write error.
            struct sigaction pipe {};
            if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
                std::signal(SIGPIPE, SIG_IGN);
        }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static const Library library;
}

// A library's sentence as part of a log line: without its full stop.
QString clause(const char *text)
{
    const QString sentence = QString::fromUtf8(text);
    return sentence.endsWith(QLatin1Char('.')) ? sentence.chopped(1) : sentence;
}

QString reasonText(int rc, int savedErrno)
{
    if (rc == MOSQ_ERR_ERRNO && savedErrno != 0)
        return QString::fromStdString(std::generic_category().message(savedErrno));
    return clause(mosquitto_strerror(rc));
}

// Empty as no text at all, as the library wants an absent setting.
const char *cString(const QByteArray &bytes) { return bytes.isEmpty() ? nullptr : bytes.constData(); }

} // namespace

MqttClient::MqttClient(MqttSettings settings, QObject *parent) : QObject(parent), settings_(std::move(settings))
{
    useLibrary();
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &MqttClient::tick);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MqttClient::lookUp);
    finishLimit_.setSingleShot(true);
    connect(&finishLimit_, &QTimer::timeout, this, [this] { endFinishing(false); });
}

MqttClient::~MqttClient()
{
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    dropHandle();
}

QString MqttClient::where() const
{
    const bool v6 = settings_.host.contains(QLatin1Char(':'));
    return (v6 ? QLatin1Char('[') + settings_.host + QLatin1Char(']') : settings_.host) + QLatin1Char(':')
           + QString::number(settings_.port) + (settings_.tls.enabled() ? QLatin1String(" (TLS)") : QLatin1String(""));
}

void MqttClient::start()
{
    if (state_ != State::Idle)
        return;
    backoffMs_ = kFirstDelayMs;
    nextAddress_ = 0;
    log(QStringLiteral("connecting to %1").arg(where()));
    lookUp();
}

void MqttClient::lookUp()
{
    state_ = State::Resolving;
    if (!QHostAddress(settings_.host).isNull()) {
        addresses_ = {settings_.host};
        connectTo(settings_.host);
        return;
    }
    lookupId_ = QHostInfo::lookupHost(settings_.host, this, &MqttClient::hostLookedUp);
}

void MqttClient::hostLookedUp(const QHostInfo &info)
{
    lookupId_ = -1;
    if (state_ != State::Resolving)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        attemptFailed(QStringLiteral("cannot look up the host: %1").arg(info.errorString()));
        return;
    }
    addresses_.clear();
    for (const QHostAddress &address : info.addresses())
        addresses_ << address.toString();
    // The library checks a broker's certificate against the name it is given.
    connectTo(settings_.tls.enabled() ? settings_.host
                                       : addresses_[nextAddress_ % int(addresses_.size())]);
}

void MqttClient::connectTo(const QString &address)
{
    const QByteArray id = settings_.clientId.toUtf8();
    handle_ = mosquitto_new(cString(id), true, this);
    if (!handle_) {
        attemptFailed(QStringLiteral("the MQTT library could not make a client"));
        return;
    }
    mosquitto_connect_callback_set(handle_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(handle_, &MqttClient::onDisconnect);
    mosquitto_int_option(handle_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(handle_, MOSQ_OPT_TCP_NODELAY, 1);
    // No limit on QoS 1 messages awaiting their acknowledgement: the library
    // would otherwise hold back all but 20 of a burst (the discovery configs
    // after a reconnection), and a clean end drops what it still holds.
    mosquitto_max_inflight_messages_set(handle_, 0);

    int rc = MOSQ_ERR_SUCCESS;
    QString failed;
    const MqttWill &will = settings_.will;
    if (!will.topic.isEmpty()) {
        const QByteArray topic = will.topic.toUtf8();
        rc = mosquitto_will_set(handle_, topic.constData(), int(will.payload.size()), will.payload.constData(), 1,
                                will.retained);
        failed = QStringLiteral("the last will");
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.username.isEmpty()) {
        const QByteArray user = settings_.username.toUtf8(), password = settings_.password.toUtf8();
        rc = mosquitto_username_pw_set(handle_, user.constData(), cString(password));
        failed = QStringLiteral("the user name");
    }
    if (rc == MOSQ_ERR_SUCCESS && settings_.tls.enabled()) {
        const QByteArray ca = settings_.tls.caFile.toLocal8Bit(), cert = settings_.tls.certFile.toLocal8Bit(),
                         key = settings_.tls.keyFile.toLocal8Bit();
        rc = mosquitto_tls_set(handle_, ca.constData(), nullptr, cString(cert), cString(key), nullptr);
        failed = QStringLiteral("the TLS files (CA %1%2)")
                     .arg(settings_.tls.caFile,
                          cert.isEmpty() ? QString() : QStringLiteral(", certificate %1, key %2")
                                                           .arg(settings_.tls.certFile, settings_.tls.keyFile));
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        dropHandle();
        attemptFailed(QStringLiteral("%1 not accepted: %2").arg(failed, reasonText(rc, 0)));
        return;
    }
    const QByteArray host = address.toUtf8();
    state_ = State::Connecting;
    attemptAge_.start();
    tick_.start();
    rc = mosquitto_connect_async(handle_, host.constData(), settings_.port, settings_.keepAliveS);
    const int savedErrno = errno;
    afterLibraryCall(rc == MOSQ_ERR_CONN_PENDING ? MOSQ_ERR_SUCCESS : rc, savedErrno);
}

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    (rc == 0 ? client->accepted_ : client->refused_) = true;
    client->connackCode_ = rc;
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    client->ended_ = true;
    client->endCode_ = rc;
    client->endErrno_ = errno;
}

void MqttClient::afterLibraryCall(int rc, int savedErrno)
{
    const bool accepted = std::exchange(accepted_, false), refused = std::exchange(refused_, false),
               ended = std::exchange(ended_, false);
    if (state_ == State::Finishing) {
        if (ended || rc != MOSQ_ERR_SUCCESS)
            endFinishing(ended && endCode_ == MOSQ_ERR_SUCCESS);
        else
            followSocket();
        return;
    }
    if (refused) {
        dropHandle();
        attemptFailed(QStringLiteral("the broker refused the connection: %1")
                          .arg(clause(mosquitto_connack_string(connackCode_))));
        return;
    }
    if (accepted && state_ == State::Connecting) {
        state_ = State::Connected;
        backoffMs_ = kFirstDelayMs;
        nextAddress_ = 0;
        log(QStringLiteral("connected to %1").arg(where()));
        emit connected();
        if (state_ != State::Connected) // finished or lost in a slot
            return;
    }
    if (ended || rc != MOSQ_ERR_SUCCESS) {
        const QString reason = ended ? reasonText(endCode_, endErrno_) : reasonText(rc, savedErrno);
        const bool wasConnected = state_ == State::Connected;
        dropHandle();
        if (wasConnected)
            connectionLost(reason);
        else
            attemptFailed(reason);
        return;
    }
    followSocket();
}

void MqttClient::attemptFailed(const QString &reason)
{
    ++nextAddress_;
    retryLater(QStringLiteral("cannot connect to %1").arg(where()), reason);
}

void MqttClient::connectionLost(const QString &reason)
{
    retryLater(QStringLiteral("connection to %1 lost").arg(where()), reason);
    emit disconnected(reason);
}

void MqttClient::retryLater(const QString &what, const QString &reason)
{
    state_ = State::Waiting;
    log(QStringLiteral("%1: %2; next attempt in %3 s").arg(what, reason).arg(backoffMs_ / 1000));
    retry_.start(backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, kLongestDelayMs);
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retained)
{
    if (state_ != State::Connected || !handle_ || payload.size() > kLongestPayload)
        return false;
    const QByteArray name = topic.toUtf8();
    const int rc = mosquitto_publish(handle_, nullptr, name.constData(), int(payload.size()), payload.constData(), qos,
                                     retained);
    // A send that failed shows as a loss at the socket's next event.
    followSocket();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::finish(const QList<MqttMessage> &lastMessages, int timeoutMs)
{
    retry_.stop();
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    if (state_ == State::Finishing)
        return;
    if (state_ != State::Connected) {
        dropHandle();
        state_ = State::Idle;
        QMetaObject::invokeMethod(this, [this] { emit finished(false); }, Qt::QueuedConnection);
        return;
    }
    for (const MqttMessage &message : lastMessages)
        publish(message);
    state_ = State::Finishing;
    finishLimit_.start(timeoutMs);
    const int rc = mosquitto_disconnect(handle_);
    afterLibraryCall(rc, errno);
}

void MqttClient::endFinishing(bool delivered)
{
    if (state_ != State::Finishing)
        return;
    finishLimit_.stop();
    dropHandle();
    state_ = State::Idle;
    log(delivered ? QStringLiteral("disconnected from %1").arg(where())
                  : QStringLiteral("connection to %1 dropped before the last messages were sent").arg(where()));
    QMetaObject::invokeMethod(this, [this, delivered] { emit finished(delivered); }, Qt::QueuedConnection);
}

void MqttClient::readReady()
{
    if (!handle_)
        return;
    writerResting_ = false;
    int rc = mosquitto_loop_read(handle_, 1);
    // TLS may hold decrypted bytes of a record already taken from the socket,
    // which raise no further socket event.
    for (int i = 0; i < kPendingReads && rc == MOSQ_ERR_SUCCESS && !ended_; ++i) {
        const auto *ssl = static_cast<const SSL *>(mosquitto_ssl_get(handle_));
        if (!ssl || SSL_pending(ssl) <= 0)
            break;
        rc = mosquitto_loop_read(handle_, 1);
    }
    afterLibraryCall(rc, errno);
}

void MqttClient::writeReady()
{
    if (!handle_)
        return;
    const int rc = mosquitto_loop_write(handle_, 1);
    const int savedErrno = errno;
    // Handshaking, TLS may wait for the broker with the socket writable and
    // the CONNECT queued: the writer then rests, instead of waking at once.
    if (rc == MOSQ_ERR_SUCCESS && state_ == State::Connecting && settings_.tls.enabled()
        && mosquitto_want_write(handle_)) {
        writerResting_ = true;
        QTimer::singleShot(kWriterRestMs, this, [this] {
            writerResting_ = false;
            followSocket();
        });
    }
    afterLibraryCall(rc, savedErrno);
}

void MqttClient::tick()
{
    if (state_ == State::Connecting && attemptAge_.elapsed() > settings_.connectTimeoutMs) {
        dropHandle();
        attemptFailed(QStringLiteral("no answer within %1 s").arg(settings_.connectTimeoutMs / 1000));
        return;
    }
    if (handle_ && state_ != State::Connecting)
        afterLibraryCall(mosquitto_loop_misc(handle_), errno);
}

void MqttClient::dropNotifiers()
{
    for (QSocketNotifier *notifier : {reader_, writer_}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->deleteLater(); // it may be the one whose signal runs now
    }
    reader_ = writer_ = nullptr;
    socket_ = -1;
}

void MqttClient::dropHandle()
{
    tick_.stop();
    dropNotifiers();
    if (handle_)
        mosquitto_destroy(handle_);
    handle_ = nullptr;
    accepted_ = refused_ = ended_ = false;
}

void MqttClient::followSocket()
{
    const int socket = handle_ ? mosquitto_socket(handle_) : -1;
    if (socket != socket_) {
        dropNotifiers();
        socket_ = socket;
        if (socket >= 0) {
            reader_ = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            connect(reader_, &QSocketNotifier::activated, this, &MqttClient::readReady);
            writer_ = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            connect(writer_, &QSocketNotifier::activated, this, &MqttClient::writeReady);
            writerResting_ = false;
        }
    }
    if (writer_)
        writer_->setEnabled(!writerResting_ && mosquitto_want_write(handle_));
}

} // namespace gateway
