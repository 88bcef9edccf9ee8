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

MqttClient::MqttClient(MqttSettings settings, QObject *parent) : QObject(parent), m_settings(std::move(settings))
{
    useLibrary();
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &MqttClient::tick);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::lookUp);
    m_finishLimit.setSingleShot(true);
    connect(&m_finishLimit, &QTimer::timeout, this, [this] { endFinishing(false); });
}

MqttClient::~MqttClient()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    dropHandle();
}

QString MqttClient::where() const
{
    const bool v6 = m_settings.host.contains(QLatin1Char(':'));
    return (v6 ? QLatin1Char('[') + m_settings.host + QLatin1Char(']') : m_settings.host) + QLatin1Char(':')
           + QString::number(m_settings.port) + (m_settings.tls.enabled() ? QLatin1String(" (TLS)") : QLatin1String(""));
}

void MqttClient::start()
{
    if (m_state != State::Idle)
        return;
    m_backoffMs = kFirstDelayMs;
    m_nextAddress = 0;
    log(QStringLiteral("connecting to %1").arg(where()));
    lookUp();
}

void MqttClient::lookUp()
{
    m_state = State::Resolving;
    if (!QHostAddress(m_settings.host).isNull()) {
        m_addresses = {m_settings.host};
        connectTo(m_settings.host);
        return;
    }
    m_lookupId = QHostInfo::lookupHost(m_settings.host, this, &MqttClient::hostLookedUp);
}

void MqttClient::hostLookedUp(const QHostInfo &info)
{
    m_lookupId = -1;
    if (m_state != State::Resolving)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        attemptFailed(QStringLiteral("cannot look up the host: %1").arg(info.errorString()));
        return;
    }
    m_addresses.clear();
    for (const QHostAddress &address : info.addresses())
        m_addresses << address.toString();
    // The library checks a broker's certificate against the name it is given.
    connectTo(m_settings.tls.enabled() ? m_settings.host
                                       : m_addresses[m_nextAddress % int(m_addresses.size())]);
}

void MqttClient::connectTo(const QString &address)
{
    const QByteArray id = m_settings.clientId.toUtf8();
    m_handle = mosquitto_new(cString(id), true, this);
    if (!m_handle) {
        attemptFailed(QStringLiteral("the MQTT library could not make a client"));
        return;
    }
    mosquitto_connect_callback_set(m_handle, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_handle, &MqttClient::onDisconnect);
    mosquitto_int_option(m_handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m_handle, MOSQ_OPT_TCP_NODELAY, 1);
    // No limit on QoS 1 messages awaiting their acknowledgement: the library
    // would otherwise hold back all but 20 of a burst (the discovery configs
    // after a reconnection), and a clean end drops what it still holds.
    mosquitto_max_inflight_messages_set(m_handle, 0);

    int rc = MOSQ_ERR_SUCCESS;
    QString failed;
    const MqttWill &will = m_settings.will;
    if (!will.topic.isEmpty()) {
        const QByteArray topic = will.topic.toUtf8();
        rc = mosquitto_will_set(m_handle, topic.constData(), int(will.payload.size()), will.payload.constData(), 1,
                                will.retained);
        failed = QStringLiteral("the last will");
    }
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.username.isEmpty()) {
        const QByteArray user = m_settings.username.toUtf8(), password = m_settings.password.toUtf8();
        rc = mosquitto_username_pw_set(m_handle, user.constData(), cString(password));
        failed = QStringLiteral("the user name");
    }
    if (rc == MOSQ_ERR_SUCCESS && m_settings.tls.enabled()) {
        const QByteArray ca = m_settings.tls.caFile.toLocal8Bit(), cert = m_settings.tls.certFile.toLocal8Bit(),
                         key = m_settings.tls.keyFile.toLocal8Bit();
        rc = mosquitto_tls_set(m_handle, ca.constData(), nullptr, cString(cert), cString(key), nullptr);
        failed = QStringLiteral("the TLS files (CA %1%2)")
                     .arg(m_settings.tls.caFile,
                          cert.isEmpty() ? QString() : QStringLiteral(", certificate %1, key %2")
                                                           .arg(m_settings.tls.certFile, m_settings.tls.keyFile));
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        dropHandle();
        attemptFailed(QStringLiteral("%1 not accepted: %2").arg(failed, reasonText(rc, 0)));
        return;
    }
    const QByteArray host = address.toUtf8();
    m_state = State::Connecting;
    m_attemptAge.start();
    m_tick.start();
    rc = mosquitto_connect_async(m_handle, host.constData(), m_settings.port, m_settings.keepAliveS);
    const int savedErrno = errno;
    afterLibraryCall(rc == MOSQ_ERR_CONN_PENDING ? MOSQ_ERR_SUCCESS : rc, savedErrno);
}

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    (rc == 0 ? client->m_accepted : client->m_refused) = true;
    client->m_connackCode = rc;
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    client->m_ended = true;
    client->m_endCode = rc;
    client->m_endErrno = errno;
}

void MqttClient::afterLibraryCall(int rc, int savedErrno)
{
    const bool accepted = std::exchange(m_accepted, false), refused = std::exchange(m_refused, false),
               ended = std::exchange(m_ended, false);
    if (m_state == State::Finishing) {
        if (ended || rc != MOSQ_ERR_SUCCESS)
            endFinishing(ended && m_endCode == MOSQ_ERR_SUCCESS);
        else
            followSocket();
        return;
    }
    if (refused) {
        dropHandle();
        attemptFailed(QStringLiteral("the broker refused the connection: %1")
                          .arg(clause(mosquitto_connack_string(m_connackCode))));
        return;
    }
    if (accepted && m_state == State::Connecting) {
        m_state = State::Connected;
        m_backoffMs = kFirstDelayMs;
        m_nextAddress = 0;
        log(QStringLiteral("connected to %1").arg(where()));
        emit connected();
        if (m_state != State::Connected) // finished or lost in a slot
            return;
    }
    if (ended || rc != MOSQ_ERR_SUCCESS) {
        const QString reason = ended ? reasonText(m_endCode, m_endErrno) : reasonText(rc, savedErrno);
        const bool wasConnected = m_state == State::Connected;
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
    ++m_nextAddress;
    retryLater(QStringLiteral("cannot connect to %1").arg(where()), reason);
}

void MqttClient::connectionLost(const QString &reason)
{
    retryLater(QStringLiteral("connection to %1 lost").arg(where()), reason);
    emit disconnected(reason);
}

void MqttClient::retryLater(const QString &what, const QString &reason)
{
    m_state = State::Waiting;
    log(QStringLiteral("%1: %2; next attempt in %3 s").arg(what, reason).arg(m_backoffMs / 1000));
    m_retry.start(m_backoffMs);
    m_backoffMs = std::min(m_backoffMs * 2, kLongestDelayMs);
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retained)
{
    if (m_state != State::Connected || !m_handle || payload.size() > kLongestPayload)
        return false;
    const QByteArray name = topic.toUtf8();
    const int rc = mosquitto_publish(m_handle, nullptr, name.constData(), int(payload.size()), payload.constData(), qos,
                                     retained);
    // A send that failed shows as a loss at the socket's next event.
    followSocket();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::finish(const QList<MqttMessage> &lastMessages, int timeoutMs)
{
    m_retry.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (m_state == State::Finishing)
        return;
    if (m_state != State::Connected) {
        dropHandle();
        m_state = State::Idle;
        QMetaObject::invokeMethod(this, [this] { emit finished(false); }, Qt::QueuedConnection);
        return;
    }
    for (const MqttMessage &message : lastMessages)
        publish(message);
    m_state = State::Finishing;
    m_finishLimit.start(timeoutMs);
    const int rc = mosquitto_disconnect(m_handle);
    afterLibraryCall(rc, errno);
}

void MqttClient::endFinishing(bool delivered)
{
    if (m_state != State::Finishing)
        return;
    m_finishLimit.stop();
    dropHandle();
    m_state = State::Idle;
    log(delivered ? QStringLiteral("disconnected from %1").arg(where())
                  : QStringLiteral("connection to %1 dropped before the last messages were sent").arg(where()));
    QMetaObject::invokeMethod(this, [this, delivered] { emit finished(delivered); }, Qt::QueuedConnection);
}

void MqttClient::readReady()
{
    if (!m_handle)
        return;
    m_writerResting = false;
    int rc = mosquitto_loop_read(m_handle, 1);
    // TLS may hold decrypted bytes of a record already taken from the socket,
    // which raise no further socket event.
    for (int i = 0; i < kPendingReads && rc == MOSQ_ERR_SUCCESS && !m_ended; ++i) {
        const auto *ssl = static_cast<const SSL *>(mosquitto_ssl_get(m_handle));
        if (!ssl || SSL_pending(ssl) <= 0)
            break;
        rc = mosquitto_loop_read(m_handle, 1);
    }
    afterLibraryCall(rc, errno);
}

void MqttClient::writeReady()
{
    if (!m_handle)
        return;
    const int rc = mosquitto_loop_write(m_handle, 1);
    const int savedErrno = errno;
    // Handshaking, TLS may wait for the broker with the socket writable and
    // the CONNECT queued: the writer then rests, instead of waking at once.
    if (rc == MOSQ_ERR_SUCCESS && m_state == State::Connecting && m_settings.tls.enabled()
        && mosquitto_want_write(m_handle)) {
        m_writerResting = true;
        QTimer::singleShot(kWriterRestMs, this, [this] {
            m_writerResting = false;
            followSocket();
        });
    }
    afterLibraryCall(rc, savedErrno);
}

void MqttClient::tick()
{
    if (m_state == State::Connecting && m_attemptAge.elapsed() > m_settings.connectTimeoutMs) {
        dropHandle();
        attemptFailed(QStringLiteral("no answer within %1 s").arg(m_settings.connectTimeoutMs / 1000));
        return;
    }
    if (m_handle && m_state != State::Connecting)
        afterLibraryCall(mosquitto_loop_misc(m_handle), errno);
}

void MqttClient::dropNotifiers()
{
    for (QSocketNotifier *notifier : {m_reader, m_writer}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->deleteLater(); // it may be the one whose signal runs now
    }
    m_reader = m_writer = nullptr;
    m_socket = -1;
}

void MqttClient::dropHandle()
{
    m_tick.stop();
    dropNotifiers();
    if (m_handle)
        mosquitto_destroy(m_handle);
    m_handle = nullptr;
    m_accepted = m_refused = m_ended = false;
}

void MqttClient::followSocket()
{
    const int socket = m_handle ? mosquitto_socket(m_handle) : -1;
    if (socket != m_socket) {
        dropNotifiers();
        m_socket = socket;
        if (socket >= 0) {
            m_reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            connect(m_reader, &QSocketNotifier::activated, this, &MqttClient::readReady);
            m_writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            connect(m_writer, &QSocketNotifier::activated, this, &MqttClient::writeReady);
            m_writerResting = false;
        }
    }
    if (m_writer)
        m_writer->setEnabled(!m_writerResting && mosquitto_want_write(m_handle));
}

} // namespace gateway
