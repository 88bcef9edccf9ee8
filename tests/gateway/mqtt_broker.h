#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A mosquitto broker of the test's own: a plain listener on 127.0.0.1 and a
// TLS listener on localhost that wants a client certificate. Certificates
// made with openssl in its folder: ca, localhost (the broker's), client, and
// other-ca, which signed none of them.
class MqttBroker {
public:
    MqttBroker() { m_broker.setProcessChannelMode(QProcess::MergedChannels); }
    ~MqttBroker() { stop(); }
    // The certificates and configuration, then start().
    bool create(QString *error);
    // Starts and waits until it listens: the same ports again after stop().
    bool start(QString *error);
    void stop();
    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    bool makeCertificate(const QString &name, const QString &signer, const QString &extension, QString *error);
    QTemporaryDir m_dir;
    QProcess m_broker;
    int m_port = 0, m_tlsPort = 0;
};

// mosquitto_sub on the broker's plain port, subscribed once start() returns.
class MqttSubscriber {
public:
    MqttSubscriber(int port, const QString &topicFilter);
    ~MqttSubscriber();
    bool start(QString *error);
    // "R TOPIC PAYLOAD" a message (R: 1 retained, 0 not).
    QStringList messages();

private:
    QProcess m_process;
    QStringList m_arguments;
    QByteArray m_output;
};
