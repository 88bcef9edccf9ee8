#pragma once

#include "gateway/mqtt_settings.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>


struct mosquitto;
class QHostInfo;
class QSocketNotifier;

namespace gateway {

// One message to publish.
struct MqttMessage {
    QString topic;
    QByteArray payload;
    int qos = 0;
    bool retained = false;
};

// An MQTT client that publishes to one broker, driven by the event loop of
// the thread it lives on: socket notifiers on the connection and a timer of
// one second for the keep-alive. Nothing here blocks: the host name is
// looked up in the background, the connect is non-blocking, publishing
// hands the message to the socket and returns.
//
// Use a client only from the thread it lives on; one client per thread (the
// library's own set-up runs once per process, the first time a client is
// made; it also ignores SIGPIPE, if nothing else handles it, since a TLS
// write to a broken connection raises it).
//
// start() connects and keeps the connection: after a loss, or an attempt
// that fails, the client tries again by itself after 1 s, then 2, 4 ... up
// to 60 s between attempts, back to 1 s once a connection is accepted. Each
// event is one line on logLine() (attempts, connections, losses with their
// reason, the next attempt's delay); no line holds the password.
//
// While not connected, publish() refuses: the client keeps no queue, and
// messages in flight when a connection ends are gone with it. So the caller
// publishes its current state (and, for the gateway, the discovery configs
// and its availability) again on every connected().
//
// For a plain connection the client connects to an address of the looked-up
// host, taking the next address after each failed attempt. With TLS it
// gives the library the host name, which checks the broker's certificate
// against it; the library then looks the name up once more itself, which
// holds the thread only as long as the name server takes to answer again.
class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(MqttSettings settings, QObject *parent = nullptr);
    // A client destroyed while connected drops the connection without a
    // DISCONNECT, as a process that dies would: the broker then publishes
    // the last will. finish() first for a clean end.
    ~MqttClient() override;

    const MqttSettings &settings() const { return settings_; }

    // Begins connecting (again, after finish()); reconnects by itself until finish().
    void start();
    bool isConnected() const { return state_ == State::Connected; }

    // Hands the message to the connection. False, and nothing sent, when not
    // connected, or for a topic or payload MQTT does not allow.
    bool publish(const QString &topic, const QByteArray &payload, int qos = 0, bool retained = false);
    bool publish(const MqttMessage &message)
    {
        return publish(message.topic, message.payload, message.qos, message.retained);
    }

    // Ends the connection cleanly: publishes lastMessages (the caller's
    // "offline"), then a DISCONNECT, so the broker sends no last will, and
    // stops reconnecting. finished(true) once all of it was handed to the
    // socket; finished(false) when the client was not connected or timeoutMs
    // passed first (the connection is then dropped). finished() always comes
    // after finish() returns; a finish() while one runs changes nothing.
    void finish(const QList<MqttMessage> &lastMessages = {}, int timeoutMs = 1000);

signals:
    void connected();
    // After connected() only: the connection ended (not by finish()).
    void disconnected(const QString &reason);
    void finished(bool delivered);
    void logLine(const QString &line);

private:
    enum class State { Idle, Resolving, Connecting, Connected, Waiting, Finishing };

    void lookUp();
    void hostLookedUp(const QHostInfo &info);
    void connectTo(const QString &address);
    void attemptFailed(const QString &reason);
    void connectionLost(const QString &reason);
    void retryLater(const QString &what, const QString &reason);
    void endFinishing(bool delivered);
    void dropHandle();
    void dropNotifiers();

    // Library callbacks, noted while the library runs and acted on by
    // afterLibraryCall() once it has returned.
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    void afterLibraryCall(int rc, int savedErrno);
    void readReady();
    void writeReady();
    void tick();
    void followSocket();

    QString where() const;
    void log(const QString &line) { emit logLine(QStringLiteral("MQTT: ") + line); }

    MqttSettings settings_;
    State state_ = State::Idle;
    mosquitto *handle_ = nullptr;
    int socket_ = -1;
    QSocketNotifier *reader_ = nullptr;
    QSocketNotifier *writer_ = nullptr;
    // During a TLS handshake the socket stays writable while the library
    // waits to read: the writer then rests until the next read.
    bool writerResting_ = false;
    QTimer tick_;       // keep-alive and the connect time-out
    QTimer retry_;      // back-off between attempts
    QTimer finishLimit_;
    QElapsedTimer attemptAge_;
    int lookupId_ = -1;
    QStringList addresses_;
    int nextAddress_ = 0;
    int backoffMs_ = 1000;

    // Noted by the callbacks.
    bool accepted_ = false, refused_ = false, ended_ = false;
    int connackCode_ = 0;
    int endCode_ = 0;
    int endErrno_ = 0;
};

} // namespace gateway
