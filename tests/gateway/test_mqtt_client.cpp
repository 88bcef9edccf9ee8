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
    QStringList logLines; // of the clients of the running test function
    QStringList allLines; // of every client

    std::unique_ptr<MqttClient> client(MqttSettings settings)
    {
        auto made = std::make_unique<MqttClient>(std::move(settings));
        connect(made.get(), &MqttClient::logLine, this, [this](const QString &line) {
            logLines << line;
            allLines << line;
            qInfo("%s", qPrintable(line));
        });
        return made;
    }

    MqttSettings plain(const QString &id)
    {
        MqttSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = broker.port();
        s.clientId = id;
        s.username = QStringLiteral("gateway");
        s.password = kPassword;
        return s;
    }

    MqttSettings tls(const QString &id, const QString &caFile)
    {
        MqttSettings s = plain(id);
        s.host = QStringLiteral("localhost");
        s.port = broker.tlsPort();
        s.tls = {caFile, broker.file(QStringLiteral("client.crt")), broker.file(QStringLiteral("client.key"))};
        return s;
    }

    static bool connectNow(MqttClient &c)
    {
        QSignalSpy connected(&c, &MqttClient::connected);
        c.start();
        return connected.wait(kWaitMs);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(broker.create(&error), qPrintable(error));
    }

    void publishesRetainedMessages()
    {
        auto c = client(plain(QStringLiteral("retained")));
        QVERIFY(!c->publish(QStringLiteral("test/retained"), "early")); // not connected yet
        QVERIFY(connectNow(*c));
        QVERIFY(c->publish(QStringLiteral("test/retained"), "{\"voltage_ln_a\":230}", 0, true));
        QVERIFY(!c->publish(QStringLiteral("test/+/wildcard"), "refused")); // no wildcards in a topic
        // A subscriber that comes later gets the retained message.
        MqttSubscriber later(broker.port(), QStringLiteral("test/retained"));
        QString error;
        QVERIFY2(later.start(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(later.messages(), QStringList{"1 test/retained {\"voltage_ln_a\":230}"}, kWaitMs);
    }

    // The last will comes when the connection ends without a DISCONNECT; a
    // clean finish sends the last messages instead.
    void lastWillOrLastMessages_data()
    {
        QTest::addColumn<bool>("clean");
        QTest::newRow("connection dropped") << false;
        QTest::newRow("clean finish") << true;
    }
    void lastWillOrLastMessages()
    {
        QFETCH(bool, clean);
        const QString topic = QStringLiteral("test/will/%1").arg(clean);
        MqttSubscriber watcher(broker.port(), topic);
        QString error;
        QVERIFY2(watcher.start(&error), qPrintable(error));

        MqttSettings s = plain(QStringLiteral("will-%1").arg(clean));
        s.will = {topic, "offline (will)", false};
        auto c = client(s);
        QVERIFY(connectNow(*c));
        QVERIFY(c->publish(topic, "online"));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.messages(), QStringList{"0 " + topic + " online"}, kWaitMs);
        if (clean) {
            QSignalSpy finished(c.get(), &MqttClient::finished);
            c->finish({{topic, "offline (finish)", 0, false}});
            QVERIFY(finished.wait(kWaitMs));
            QCOMPARE(finished.first().first().toBool(), true);
            QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 2, kWaitMs);
            QCOMPARE(watcher.messages().last(), "0 " + topic + " offline (finish)");
            // No will follows a clean end: a message published after it comes next.
            auto other = client(plain(QStringLiteral("after-finish")));
            QVERIFY(connectNow(*other));
            QVERIFY(other->publish(topic, "marker"));
            QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 3, kWaitMs);
            QCOMPARE(watcher.messages().last(), "0 " + topic + " marker");
        } else {
            c.reset();
            QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 2, kWaitMs);
            QCOMPARE(watcher.messages().last(), "0 " + topic + " offline (will)");
        }
    }

    void reconnectsAfterTheBrokerComesBack()
    {
        auto c = client(plain(QStringLiteral("reconnect")));
        QVERIFY(connectNow(*c));
        QSignalSpy connected(c.get(), &MqttClient::connected);
        QSignalSpy disconnected(c.get(), &MqttClient::disconnected);
        logLines.clear();

        broker.stop();
        QVERIFY(disconnected.wait(kWaitMs));
        QVERIFY(!c->isConnected());
        QVERIFY(!c->publish(QStringLiteral("test/reconnect"), "while away"));
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        QVERIFY(connected.wait(kWaitMs));
        QVERIFY(c->publish(QStringLiteral("test/reconnect"), "back", 0, true));
        const QString lines = logLines.join(u'\n');
        QVERIFY2(lines.contains(QStringLiteral("lost")) && lines.contains(QStringLiteral("next attempt in 1 s"))
                     && lines.contains(QStringLiteral("connected to 127.0.0.1")),
                 qPrintable(lines));
    }

    void publishesOverTlsWithAClientCertificate()
    {
        auto c = client(tls(QStringLiteral("tls"), broker.file(QStringLiteral("ca.crt"))));
        QVERIFY2(connectNow(*c), qPrintable(logLines.join(u'\n')));
        QVERIFY(c->publish(QStringLiteral("test/tls"), "secure", 0, true));
        MqttSubscriber plainSide(broker.port(), QStringLiteral("test/tls"));
        QString error;
        QVERIFY2(plainSide.start(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(plainSide.messages(), QStringList{"1 test/tls secure"}, kWaitMs);
    }

    // A broker whose certificate the CA file does not vouch for is refused,
    // and the client keeps trying.
    void refusesABrokerOfAnotherCa()
    {
        auto c = client(tls(QStringLiteral("tls-wrong-ca"), broker.file(QStringLiteral("other-ca.crt"))));
        QSignalSpy connected(c.get(), &MqttClient::connected);
        logLines.clear();
        c->start();
        QTRY_VERIFY_WITH_TIMEOUT(logLines.join(u'\n').contains(QStringLiteral("cannot connect to localhost")), kWaitMs);
        QCOMPARE(connected.size(), 0);
        QVERIFY(logLines.join(u'\n').contains(QStringLiteral("next attempt in 1 s")));
    }

    // A server that takes the connection and never answers holds no
    // attempt for longer than the connect time-out.
    void givesUpOnASilentServer()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        MqttSettings s = plain(QStringLiteral("silent"));
        s.port = silent.serverPort();
        s.connectTimeoutMs = 1000;
        auto c = client(s);
        logLines.clear();
        c->start();
        QTRY_VERIFY_WITH_TIMEOUT(logLines.join(u'\n').contains(QStringLiteral("no answer within 1 s")), kWaitMs);
        QVERIFY(silent.hasPendingConnections()); // it was reached, and said nothing
        QVERIFY(!c->isConnected());
    }

    void cleanupTestCase()
    {
        const QString lines = allLines.join(u'\n');
        QVERIFY(!lines.isEmpty());
        QVERIFY2(!lines.contains(kPassword), qPrintable(lines));
    }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "test_mqtt_client.moc"
