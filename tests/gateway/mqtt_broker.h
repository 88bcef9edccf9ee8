#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A mosquitto broker of the test's own on loopback ports: a plain listener
// on 127.0.0.1 and a TLS listener on localhost that wants a client
// certificate. The certificates are made with openssl in the broker's
// folder: a CA, the broker's (for localhost and 127.0.0.1), a client's, and
// a second CA that signed none of them.
class MqttBroker {
public:
    MqttBroker();
    ~MqttBroker();

    // Writes the certificates and the configuration, then start(); false
    // with the reason in error.
    bool create(QString *error);
    // Starts the broker and waits until it listens; the same ports again after stop().
    bool start(QString *error);
    void stop();

    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    bool makeCertificates(QString *error);
    bool run(const QStringList &arguments, QString *error);

    QTemporaryDir m_dir;
    QProcess m_broker;
    int m_port = 0;
    int m_tlsPort = 0;
};

// mosquitto_sub on the broker's plain port: collects "retained topic payload"
// lines of the messages it receives. start() waits until it has subscribed.
class MqttSubscriber {
public:
    MqttSubscriber(int port, const QString &topicFilter);
    ~MqttSubscriber();
    bool start(QString *error);
    // The messages so far, as "R TOPIC PAYLOAD" (R: 1 retained, 0 not).
    QStringList messages();

private:
    QProcess m_process;
    QStringList m_arguments;
    QByteArray m_output;
};
