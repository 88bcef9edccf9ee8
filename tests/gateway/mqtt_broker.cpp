#include "mqtt_broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTest>

namespace {

int freeLoopbackPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

const QStringList kEcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

} // namespace

MqttBroker::MqttBroker()
{
    m_broker.setProcessChannelMode(QProcess::MergedChannels);
}

MqttBroker::~MqttBroker() { stop(); }

bool MqttBroker::run(const QStringList &arguments, QString *error)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
        return true;
    *error = QStringLiteral("openssl %1: %2").arg(arguments.join(u' '), QString::fromLocal8Bit(openssl.readAll()));
    return false;
}

bool MqttBroker::makeCertificates(QString *error)
{
    const auto ca = [this, error](const QString &name) {
        return run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kEcKey
                       + QStringList{QStringLiteral("-keyout"), name + QLatin1String(".key"), QStringLiteral("-out"),
                                     name + QLatin1String(".crt"), QStringLiteral("-subj"),
                                     QLatin1String("/CN=") + name, QStringLiteral("-days"), QStringLiteral("2")},
                   error);
    };
    const auto signedBy = [this, error](const QString &name, const QString &subject, const QByteArray &extensions) {
        return writeFile(file(name + QLatin1String(".ext")), extensions)
               && run(QStringList{QStringLiteral("req")} + kEcKey
                          + QStringList{QStringLiteral("-keyout"), name + QLatin1String(".key"), QStringLiteral("-out"),
                                        name + QLatin1String(".csr"), QStringLiteral("-subj"), subject},
                      error)
               && run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), name + QLatin1String(".csr"),
                       QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                       QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                       QStringLiteral("-extfile"), name + QLatin1String(".ext"), QStringLiteral("-out"),
                       name + QLatin1String(".crt")},
                      error);
    };
    return ca(QStringLiteral("ca")) && ca(QStringLiteral("other-ca"))
           && signedBy(QStringLiteral("server"), QStringLiteral("/CN=localhost"),
                       "subjectAltName=DNS:localhost,IP:127.0.0.1\n")
           && signedBy(QStringLiteral("client"), QStringLiteral("/CN=gateway"), "extendedKeyUsage=clientAuth\n");
}

bool MqttBroker::create(QString *error)
{
    m_port = freeLoopbackPort();
    m_tlsPort = freeLoopbackPort();
    if (!m_dir.isValid() || m_port == 0 || m_tlsPort == 0 || m_port == m_tlsPort) {
        *error = QStringLiteral("no folder or no free loopback port for the broker");
        return false;
    }
    if (!makeCertificates(error))
        return false;
    // "user root": as root, the broker keeps its user and reads the test's files.
    const QByteArray config = QStringLiteral("user root\n"
                                             "allow_anonymous true\n"
                                             "log_dest stderr\n"
                                             "listener %1 127.0.0.1\n"
                                             "listener %2 localhost\n"
                                             "cafile %3\ncertfile %4\nkeyfile %5\n"
                                             "require_certificate true\n")
                                  .arg(m_port)
                                  .arg(m_tlsPort)
                                  .arg(file(QStringLiteral("ca.crt")), file(QStringLiteral("server.crt")),
                                       file(QStringLiteral("server.key")))
                                  .toUtf8();
    if (!writeFile(file(QStringLiteral("mosquitto.conf")), config)) {
        *error = QStringLiteral("cannot write the broker's configuration");
        return false;
    }
    return start(error);
}

bool MqttBroker::start(QString *error)
{
    m_broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), file(QStringLiteral("mosquitto.conf"))});
    QByteArray log;
    const QDeadlineTimer deadline(10000);
    // The broker says it runs once its listeners are open.
    while (!log.contains(" running") && !deadline.hasExpired() && m_broker.state() != QProcess::NotRunning) {
        m_broker.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        log += m_broker.readAll();
    }
    if (log.contains(" running"))
        return true;
    *error = QStringLiteral("mosquitto did not start: %1").arg(QString::fromLocal8Bit(log));
    stop();
    return false;
}

void MqttBroker::stop()
{
    if (m_broker.state() == QProcess::NotRunning)
        return;
    m_broker.terminate();
    if (!m_broker.waitForFinished(5000)) {
        m_broker.kill();
        m_broker.waitForFinished(5000);
    }
}

MqttSubscriber::MqttSubscriber(int port, const QString &topicFilter)
    : m_arguments{QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-d"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                  QString::number(port), QStringLiteral("-t"), topicFilter, QStringLiteral("-F"),
                  QStringLiteral("MSG %r %t %p")}
{
}

MqttSubscriber::~MqttSubscriber()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool MqttSubscriber::start(QString *error)
{
    // Line-buffered, so that its debug line of the SUBACK comes at once.
    m_process.start(QStringLiteral("stdbuf"), m_arguments);
    const QDeadlineTimer deadline(10000);
    while (!m_output.contains("SUBACK") && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        m_output += m_process.readAll();
    }
    if (m_output.contains("SUBACK"))
        return true;
    *error = QStringLiteral("mosquitto_sub did not subscribe: %1%2")
                 .arg(QString::fromLocal8Bit(m_output), QString::fromLocal8Bit(m_process.readAllStandardError()));
    return false;
}

QStringList MqttSubscriber::messages()
{
    m_output += m_process.readAllStandardOutput();
    QStringList found;
    for (const QByteArray &line : m_output.split('\n'))
        if (line.startsWith("MSG "))
            found << QString::fromUtf8(line.mid(4));
    return found;
}
