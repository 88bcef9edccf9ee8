// The MQTT client against a real mosquitto broker, with mosquitto_sub as
// the subscriber that sees what arrived.
#include "gateway/mqtt_client.h"
#include "mqtt_broker.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

using gateway::MqttClient;
using gateway::MqttSettings;

namespace {

constexpr int kWaitMs = 10000;
const QString kPassword = QStringLiteral("pw-never-in-a-log");

} // namespace

class TestMqttClient : public QObject {
    Q_OBJECT

    MqttBroker broker;
    QString log;    // of the clients of the running test function
    QString allLog; // of every client

    std::unique_ptr<MqttClient> client(const QString &id, int port = 0, const QString &caFile = {})
    {
        MqttSettings s;
        s.host = caFile.isEmpty() ? QStringLiteral("127.0.0.1") : QStringLiteral("localhost");
        s.port = port ? port : broker.port();
        s.clientId = id;
        s.username = QStringLiteral("gateway");
        s.password = kPassword;
        if (!caFile.isEmpty())
            s.tls = {caFile, broker.file(QStringLiteral("client.crt")), broker.file(QStringLiteral("client.key"))};
        s.will = {QStringLiteral("test/will/") + id, "offline (will)", false};
        s.connectTimeoutMs = 1000;
        auto made = std::make_unique<MqttClient>(s);
        connect(made.get(), &MqttClient::logLine, this, [this](const QString &line) {
            log += line + u'\n';
            allLog += line + u'\n';
            qInfo("%s", qPrintable(line));
        });
        return made;
    }

    static bool connectNow(MqttClient &c)
    {
        QSignalSpy connected(&c, &MqttClient::connected);
        c.start();
        return connected.wait(kWaitMs);
    }

    // A subscriber that already listens to topic.
    std::unique_ptr<MqttSubscriber> watch(const QString &topic)
    {
        auto subscriber = std::make_unique<MqttSubscriber>(broker.port(), topic);
        QString error;
        return subscriber->start(&error) ? std::move(subscriber) : nullptr;
    }

private slots:
    void init() { log.clear(); }

    void initTestCase()
    {
        QString error;
        QVERIFY2(broker.create(&error), qPrintable(error));
    }

    // A dropped connection brings the last will; a clean finish the last
    // messages and no will (a marker published next comes right after them).
    void lastWillOrLastMessages_data()
    {
        QTest::addColumn<bool>("clean");
        QTest::newRow("connection dropped") << false;
        QTest::newRow("clean finish") << true;
    }
    void lastWillOrLastMessages()
    {
        QFETCH(bool, clean);
        const QString id = clean ? QStringLiteral("clean") : QStringLiteral("dropped");
        const QString topic = QStringLiteral("test/will/") + id;
        auto watcher = watch(topic);
        QVERIFY(watcher);
        auto c = client(id);
        QVERIFY(connectNow(*c));
        QStringList expected{"0 " + topic + " online"};
        QVERIFY(c->publish(topic, "online"));
        if (clean) {
            QSignalSpy finished(c.get(), &MqttClient::finished);
            c->finish({{topic, "offline (finish)", 0, false}});
            QVERIFY(finished.wait(kWaitMs));
            QCOMPARE(finished.first().first().toBool(), true);
            auto other = client(QStringLiteral("marker"));
            QVERIFY(connectNow(*other) && other->publish(topic, "marker"));
            expected << "0 " + topic + " offline (finish)" << "0 " + topic + " marker";
        } else {
            c.reset();
            expected << "0 " + topic + " offline (will)";
        }
        QTRY_COMPARE_WITH_TIMEOUT(watcher->messages(), expected, kWaitMs);
    }

    void reconnectsAfterTheBrokerComesBack()
    {
        auto c = client(QStringLiteral("reconnect"));
        QVERIFY(!c->publish(QStringLiteral("test/reconnect"), "early")); // not connected yet
        QVERIFY(connectNow(*c));
        QSignalSpy connected(c.get(), &MqttClient::connected);
        QSignalSpy disconnected(c.get(), &MqttClient::disconnected);
        broker.stop();
        QVERIFY(disconnected.wait(kWaitMs));
        QVERIFY(!c->publish(QStringLiteral("test/reconnect"), "while away"));
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        QVERIFY(connected.wait(kWaitMs));
        QVERIFY(c->publish(QStringLiteral("test/reconnect"), "back"));
        const qsizetype lost = log.indexOf(QStringLiteral("lost: The connection was lost; next attempt in 1 s"));
        QVERIFY2(lost >= 0 && log.indexOf(QStringLiteral("connected to 127.0.0.1"), lost) > lost, qPrintable(log));
    }

    // TLS with a client certificate, a retained message that a later
    // subscriber gets; a broker the CA file does not vouch for is refused,
    // and the client tries again later.
    void tls_data()
    {
        QTest::addColumn<QString>("ca");
        QTest::newRow("broker's CA") << "ca.crt";
        QTest::newRow("another CA") << "other-ca.crt";
    }
    void tls()
    {
        QFETCH(QString, ca);
        const bool trusted = ca == QLatin1String("ca.crt");
        auto c = client(QStringLiteral("tls-") + ca, broker.tlsPort(), broker.file(ca));
        QSignalSpy connected(c.get(), &MqttClient::connected);
        c->start();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(trusted ? "connected to localhost" : "cannot connect to localhost"), kWaitMs);
        QCOMPARE(connected.size(), trusted ? 1 : 0);
        if (trusted) {
            QVERIFY(c->publish(QStringLiteral("test/tls"), "secure", 0, true));
            auto plainSide = watch(QStringLiteral("test/tls"));
            QVERIFY(plainSide);
            QTRY_COMPARE_WITH_TIMEOUT(plainSide->messages(), QStringList{"1 test/tls secure"}, kWaitMs);
        } else {
            QVERIFY(log.contains(QStringLiteral("next attempt in 1 s")));
        }
    }

    // A server that takes the connection and never answers holds an
    // attempt no longer than the connect time-out.
    void givesUpOnASilentServer()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        auto c = client(QStringLiteral("silent"), silent.serverPort());
        c->start();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("no answer within 1 s")), kWaitMs);
        QVERIFY(silent.hasPendingConnections()); // it was reached, and said nothing
    }

    void cleanupTestCase() { QVERIFY2(!allLog.isEmpty() && !allLog.contains(kPassword), qPrintable(allLog)); }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "test_mqtt_client.moc"
