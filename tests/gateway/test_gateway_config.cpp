// The gateway's configuration file, its merge with the command line, and
// the broker's credentials.
#include "gateway/gateway_config.h"
#include "gateway/mqtt_credentials.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace gateway;

class TestGatewayConfig : public QObject {
    Q_OBJECT

private slots:
    void errorsNameFileLineAndWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("word");
        QTest::newRow("unknown key") << "meters = m.txt\nmeter-file = m.txt" << 2 << "meter-file";
        QTest::newRow("no equals sign") << "# the meters\n\nmeters m.txt" << 3 << "meters";
        QTest::newRow("key twice") << "every = 5\nlp-every = 15\nevery = 6" << 3 << "every";
        QTest::newRow("no value") << "store =   # later" << 1 << "store";
        QTest::newRow("seconds not a number") << "every = 5s" << 1 << "5s";
        QTest::newRow("minutes out of range") << "lp-every = 1441" << 1 << "1441";
        QTest::newRow("broker port empty") << "mqtt = broker.local:" << 1 << "broker.local:";
        QTest::newRow("broker host with a blank") << "mqtt = my broker" << 1 << "my broker";
        QTest::newRow("metrics without port") << "metrics = 127.0.0.1" << 1 << "127.0.0.1";
        QTest::newRow("name with a topic level") << "name = site/gw" << 1 << "site/gw";
        QTest::newRow("prefix with a wildcard") << "mqtt-prefix = home+assistant" << 1 << "home+assistant";
        QTest::newRow("clock-sync below 0") << "clock-sync = -1" << 1 << "-1";
        QTest::newRow("unknown discovery kind") << "ha-discovery = 2023" << 1 << "2023";
        QTest::newRow("six attempts") << "attempts = 6" << 1 << "6";
        QTest::newRow("listener without its line") << "meters = m.txt\nlisten = 0.0.0.0:502 writes=lp" << 2
                                                   << "0.0.0.0:502 writes=lp";
        QTest::newRow("archive with a password") << "store = postgresql://u:pw@db/lp" << 1 << "postgresql://u:pw@db/lp";
    }
    void errorsNameFileLineAndWord()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, word);
        ConfigError error;
        QVERIFY(!parseGatewayConfig(text, QStringLiteral("/etc/gw.conf"), &error));
        QCOMPARE(error.line, line);
        QCOMPARE(error.word, word);
        QVERIFY2(error.text().startsWith(QStringLiteral("/etc/gw.conf:%1: ").arg(line)) && error.message.contains(word),
                 qPrintable(error.text()));
    }

    void fileSettingsAndFlagsOverThem()
    {
        ConfigError error;
        const auto file = parseGatewayConfig(QStringLiteral("meters = meters.txt      # beside this file\n"
                                                            "mqtt = [fd00::5]\nmqtt-ca = /etc/ca.pem\n"
                                                            "  name=plant-3\nevery = 10\nclock-sync = 120\n"
                                                            "timeout = 400\nattempts = 2\n"
                                                            "listen = 0.0.0.0 rtu=1 writes=lp\nlisten = 0.0.0.0:503 tcp=gw2\n"),
                                             QStringLiteral("/etc/ampwright/gateway.conf"), &error);
        QVERIFY2(file, qPrintable(error.text()));
        QCOMPARE(file->meters, "/etc/ampwright/meters.txt");
        GatewaySettings flags;
        QCOMPARE(applyGatewaySetting(QStringLiteral("every"), QStringLiteral("2"), flags), std::nullopt);
        const GatewaySettings merged = mergeSettings(*file, flags);
        QCOMPARE(merged.everyS, 2);
        QCOMPARE(merged.clockSyncS, 120);
        QCOMPARE(applyGatewaySetting(QStringLiteral("attempts"), QStringLiteral("4"), flags), std::nullopt);
        QCOMPARE(mergeSettings(*file, flags).attempts, 4);
        // Listeners add up: the file's lines, then the command line's.
        QCOMPARE(applyGatewaySetting(QStringLiteral("listen"), QStringLiteral("127.0.0.1:1502 rtu=2"), flags), std::nullopt);
        QCOMPARE(mergeSettings(*file, flags).listen,
                 QStringList({"0.0.0.0 rtu=1 writes=lp", "0.0.0.0:503 tcp=gw2", "127.0.0.1:1502 rtu=2"}));
        QCOMPARE(merged.timeoutMs, 400);
        QCOMPARE(checkGatewaySettings(merged), QString());

        const MqttSettings mqtt = gatewayMqttSettings(merged, {});
        QCOMPARE(mqtt.host, "fd00::5");
        QCOMPARE(mqtt.port, kMqttTlsPort); // TLS without a port
        QCOMPARE(mqtt.will.topic, "ampwright/gateway/plant-3/availability");
        QVERIFY(mqtt.will.retained && mqtt.will.payload == "offline");
    }

    // The one HTTP server: http and metrics name the same address, a port
    // alone listens on this machine only.
    void httpServerAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // HOST:PORT it listens on; empty: none
        QTest::addColumn<QString>("wrong");   // a part of the settings' error
        QTest::newRow("port alone") << "http = 8080" << "127.0.0.1:8080" << "";
        QTest::newRow("host and port") << "http = 0.0.0.0:8080" << "0.0.0.0:8080" << "";
        QTest::newRow("metrics alone") << "metrics = 127.0.0.1:9100" << "127.0.0.1:9100" << "";
        QTest::newRow("both the same") << "http = 9100\nmetrics = 127.0.0.1:9100" << "127.0.0.1:9100" << "";
        QTest::newRow("both differ") << "http = 8080\nmetrics = 127.0.0.1:9100" << "" << "http and metrics";
        QTest::newRow("credentials without server") << "http-credentials = users" << "" << "http-credentials";
    }
    void httpServerAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(QString, wrong);
        ConfigError error;
        const auto settings = parseGatewayConfig("meters = m.txt\n" + text, QStringLiteral("/etc/gw.conf"), &error);
        QVERIFY2(settings, qPrintable(error.text()));
        const QString problem = checkGatewaySettings(*settings);
        QVERIFY2(wrong.isEmpty() ? problem.isEmpty() : problem.contains(wrong), qPrintable(problem));
        const auto at = httpAddress(*settings);
        if (!address.isEmpty())
            QCOMPARE(at ? QStringLiteral("%1:%2").arg(at->host).arg(*at->port) : QString(), address);
    }

    // The example the package installs as /etc/ampwright/gateway.conf.
    void packagedExampleReads()
    {
        ConfigError error;
        const auto settings =
            readGatewayConfig(qEnvironmentVariable("AMPWRIGHT_SOURCE_DIR") + QStringLiteral("/packaging/gateway.conf"), &error);
        QVERIFY2(settings, qPrintable(error.text()));
        QCOMPARE(checkGatewaySettings(*settings), QString());
    }

    void credentials_data()
    {
        QTest::addColumn<QFile::Permissions>("mode"); // of a file "gw", "file-pw"; none without permissions
        QTest::addColumn<QString>("environment");     // NAME=value
        QTest::addColumn<QString>("password");        // "" with an error
        QTest::addColumn<QString>("error");           // a part of it
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
        QTest::newRow("file") << owner << "" << "file-pw" << "";
        QTest::newRow("environment over file") << owner << "AMPWRIGHT_MQTT_PASSWORD=env-pw" << "env-pw" << "";
        QTest::newRow("readable by all") << (owner | QFile::ReadOther) << "" << "" << "every user";
        QTest::newRow("password alone") << QFile::Permissions() << "AMPWRIGHT_MQTT_PASSWORD=p" << "" << "needs a user name";
    }
    void credentials()
    {
        QFETCH(QFile::Permissions, mode);
        QFETCH(QString, environment);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("credentials")));
        if (mode) {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("gw\r\nfile-pw\n") > 0 && file.setPermissions(mode));
            file.close();
        }
        QProcessEnvironment env;
        if (!environment.isEmpty())
            env.insert(environment.section(u'=', 0, 0), environment.section(u'=', 1));
        QString why;
        const auto credentials = loadMqttCredentials(mode ? file.fileName() : QString(), env, &why);
        QVERIFY2(credentials.has_value() == error.isEmpty() && why.contains(error), qPrintable(why));
        if (credentials) {
            QCOMPARE(credentials->username, "gw");
            QTEST(credentials->password, "password");
        }
    }
};

QTEST_GUILESS_MAIN(TestGatewayConfig)
#include "test_gateway_config.moc"
