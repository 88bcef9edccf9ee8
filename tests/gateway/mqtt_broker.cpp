#include "mqtt_broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>

namespace {

int freeLoopbackPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// Starts the program and waits (10 s at most) until its output holds needle.
bool startAndAwait(QProcess &process, const QString &program, const QStringList &arguments, const char *needle,
                   QByteArray &output)
{
    process.start(program, arguments);
    const QDeadlineTimer deadline(10000);
    while (!output.contains(needle) && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        output += process.readAll();
    }
    return output.contains(needle);
}

} // namespace

// name.key and name.crt: a CA of its own, or signed by signer.
bool MqttBroker::makeCertificate(const QString &name, const QString &signer, const QString &extension, QString *error)
{
    QStringList arguments = QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                                           "-keyout %1.key -out %1.crt -subj /CN=%1")
                                .arg(name)
                                .split(u' ');
    if (!signer.isEmpty())
        arguments << QStringLiteral("-CA %1.crt -CAkey %1.key -addext basicConstraints=CA:FALSE -addext").arg(signer).split(u' ')
                  << extension;
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
        return true;
    *error = QStringLiteral("openssl %1: %2").arg(arguments.join(u' '), QString::fromLocal8Bit(openssl.readAll()));
    return false;
}

bool MqttBroker::create(QString *error)
{
    m_port = freeLoopbackPort();
    m_tlsPort = freeLoopbackPort();
    const QString ca = QStringLiteral("ca");
    if (!makeCertificate(ca, {}, {}, error) || !makeCertificate(QStringLiteral("other-ca"), {}, {}, error)
        || !makeCertificate(QStringLiteral("localhost"), ca, QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"), error)
        || !makeCertificate(QStringLiteral("client"), ca, QStringLiteral("extendedKeyUsage=clientAuth"), error))
        return false;
    // "user root": as root, the broker keeps its user and reads the test's files.
    const QByteArray config = QStringLiteral("user root\nallow_anonymous true\nlog_dest stderr\n"
                                             "listener %1 127.0.0.1\nlistener %2 localhost\n"
                                             "cafile %3\ncertfile %4\nkeyfile %5\nrequire_certificate true\n")
                                  .arg(m_port)
                                  .arg(m_tlsPort)
                                  .arg(file("ca.crt"), file("localhost.crt"), file("localhost.key"))
                                  .toUtf8();
    QFile conf(file(QStringLiteral("mosquitto.conf")));
    if (m_port == 0 || m_tlsPort == 0 || !conf.open(QIODevice::WriteOnly) || conf.write(config) != config.size()) {
        *error = QStringLiteral("no free loopback port, or the broker's configuration cannot be written");
        return false;
    }
    conf.close();
    return start(error);
}

bool MqttBroker::start(QString *error)
{
    QByteArray log; // the broker says it runs once its listeners are open
    if (startAndAwait(m_broker, QStringLiteral("mosquitto"), {QStringLiteral("-c"), file("mosquitto.conf")}, " running", log))
        return true;
    *error = QStringLiteral("mosquitto did not start: %1").arg(QString::fromLocal8Bit(log));
    stop();
    return false;
}

void MqttBroker::stop()
{
    m_broker.terminate();
    if (!m_broker.waitForFinished(5000)) {
        m_broker.kill();
        m_broker.waitForFinished(5000);
    }
}

MqttSubscriber::MqttSubscriber(int port, const QString &topicFilter)
    // Line-buffered, so that its debug line of the SUBACK comes at once.
    : m_arguments(QStringLiteral("-oL mosquitto_sub -d -h 127.0.0.1 -p %1 -t").arg(port).split(u' ')
                  + QStringList{topicFilter, QStringLiteral("-F"), QStringLiteral("MSG %r %t %p")})
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MqttSubscriber::~MqttSubscriber()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool MqttSubscriber::start(QString *error)
{
    if (startAndAwait(m_process, QStringLiteral("stdbuf"), m_arguments, "SUBACK", m_output))
        return true;
    *error = QStringLiteral("mosquitto_sub did not subscribe: %1").arg(QString::fromLocal8Bit(m_output));
    return false;
}

QStringList MqttSubscriber::messages()
{
    m_output += m_process.readAll();
    QStringList found;
    for (const QByteArray &line : m_output.split('\n'))
        if (line.startsWith("MSG "))
            found << QString::fromUtf8(line.mid(4));
    return found;
}
