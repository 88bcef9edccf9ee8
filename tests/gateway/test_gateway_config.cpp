// The gateway's configuration file, its merge with the command line, and
// the broker's credentials.
#include "gateway/gateway_config.h"
#include "gateway/mqtt_credentials.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace gateway;

class TestGatewayConfig : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString writeFile(const QString &name, const QByteArray &text, QFile::Permissions permissions)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.setPermissions(permissions))
            return QString();
        return file.fileName();
    }

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
        QTest::newRow("seconds out of range") << "every = 0" << 1 << "0";
        QTest::newRow("minutes out of range") << "lp-every = 1441" << 1 << "1441";
        QTest::newRow("broker port out of range") << "mqtt = broker.local:65536" << 1 << "broker.local:65536";
        QTest::newRow("broker port empty") << "mqtt = broker.local:" << 1 << "broker.local:";
        QTest::newRow("broker host with a blank") << "mqtt = my broker" << 1 << "my broker";
        QTest::newRow("IPv6 without brackets and port") << "mqtt = ::1:1883:x" << 1 << "::1:1883:x";
        QTest::newRow("metrics without port") << "metrics = 127.0.0.1" << 1 << "127.0.0.1";
        QTest::newRow("name with a topic level") << "name = site/gw" << 1 << "site/gw";
        QTest::newRow("prefix with a wildcard") << "mqtt-prefix = home+assistant" << 1 << "home+assistant";
        QTest::newRow("prefix with an empty level") << "mqtt-prefix = ha//x" << 1 << "ha//x";
        QTest::newRow("archive with a password") << "store = postgresql://u:secret@db/lp" << 1
                                                 << "postgresql://u:secret@db/lp";
        QTest::newRow("control character") << "meters = a\x01.txt" << 1 << "meters = a\x01.txt";
    }
    void errorsNameFileLineAndWord()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, word);
        ConfigError error;
        QVERIFY(!parseGatewayConfig(text, QStringLiteral("/etc/ampwright/gateway.conf"), &error));
        QCOMPARE(error.file, "/etc/ampwright/gateway.conf");
        QCOMPARE(error.line, line);
        QCOMPARE(error.word, word);
        QVERIFY2(error.text().startsWith(QStringLiteral("/etc/ampwright/gateway.conf:%1: ").arg(line)),
                 qPrintable(error.text()));
        QVERIFY2(error.message.contains(word), qPrintable(error.message));
    }

    void fileSettingsAndFlagsOverThem()
    {
        const QString text = QStringLiteral("# the gateway\n"
                                            "meters = meters.txt      # beside this file\n"
                                            "mqtt = [fd00::5]\n"
                                            "mqtt-ca = /etc/ssl/broker-ca.pem\n"
                                            "mqtt-credentials = secret/mqtt\n"
                                            "  name=plant-3\n"
                                            "metrics = 0.0.0.0:9105\n"
                                            "every = 10\n"
                                            "store = sqlite:/var/lib/ampwright/archive.sqlite\n");
        ConfigError error;
        const auto file = parseGatewayConfig(text, QStringLiteral("/etc/ampwright/gateway.conf"), &error);
        QVERIFY2(file, qPrintable(error.text()));
        QCOMPARE(file->meters, "/etc/ampwright/meters.txt");
        QCOMPARE(file->mqttCredentials, "/etc/ampwright/secret/mqtt");
        QCOMPARE(file->mqtt, (HostPort{QStringLiteral("fd00::5"), std::nullopt}));
        QCOMPARE(file->metrics, (HostPort{QStringLiteral("0.0.0.0"), 9105}));
        QCOMPARE(file->everyS, 10);
        QCOMPARE(file->lpEveryMin, std::nullopt);
        QCOMPARE(checkGatewaySettings(*file), QString());

        GatewaySettings flags;
        QCOMPARE(applyGatewaySetting(QStringLiteral("every"), QStringLiteral("2"), flags), std::nullopt);
        QCOMPARE(applyGatewaySetting(QStringLiteral("meters"), QStringLiteral("other.txt"), flags), std::nullopt);
        const auto wrong = applyGatewaySetting(QStringLiteral("lp-every"), QStringLiteral("x"), flags);
        QVERIFY(wrong);
        QVERIFY2(wrong->text().startsWith(QStringLiteral("--lp-every: ")), qPrintable(wrong->text()));

        const GatewaySettings merged = mergeSettings(*file, flags);
        QCOMPARE(merged.everyS, 2);
        QCOMPARE(merged.meters, "other.txt");
        QCOMPARE(merged.name, "plant-3");
        QCOMPARE(discoveryPrefix(merged), "homeassistant");

        const MqttSettings mqtt = gatewayMqttSettings(merged, {QStringLiteral("u"), QStringLiteral("p")});
        QCOMPARE(mqtt.host, "fd00::5");
        QCOMPARE(mqtt.port, kMqttTlsPort); // TLS without a port
        QCOMPARE(mqtt.will.topic, "ampwright/gateway/plant-3/availability");
        QCOMPARE(mqtt.will.payload, "offline");
        QVERIFY(mqtt.will.retained);
        QCOMPARE(mqtt.username, "u");

        GatewaySettings certOnly = merged;
        certOnly.mqttCert = QStringLiteral("/etc/ssl/gw.pem");
        QVERIFY(checkGatewaySettings(certOnly).contains(QStringLiteral("mqtt-key")));
    }

    // The example the package installs as /etc/ampwright/gateway.conf.
    void packagedExampleReads()
    {
        const QString path = qEnvironmentVariable("AMPWRIGHT_SOURCE_DIR") + QStringLiteral("/packaging/gateway.conf");
        ConfigError error;
        const auto settings = readGatewayConfig(path, &error);
        QVERIFY2(settings, qPrintable(error.text()));
        QCOMPARE(checkGatewaySettings(*settings), QString());
        QCOMPARE(settings->store, "sqlite:/var/lib/ampwright/archive.sqlite");
    }

    void credentials_data()
    {
        QTest::addColumn<QByteArray>("file");        // empty: no file
        QTest::addColumn<bool>("worldReadable");
        QTest::addColumn<QStringList>("environment"); // NAME=value
        QTest::addColumn<QString>("username");       // "" with an error
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");          // a part of it
        const QStringList none;
        QTest::newRow("file") << QByteArray("gw\r\n pass word \n") << false << none << "gw" << " pass word " << "";
        QTest::newRow("environment over file")
            << QByteArray("gw\nfile-pw\n") << false << QStringList{"AMPWRIGHT_MQTT_PASSWORD=env-pw"} << "gw"
            << "env-pw" << "";
        QTest::newRow("environment alone")
            << QByteArray() << false << QStringList{"AMPWRIGHT_MQTT_USERNAME=e", "AMPWRIGHT_MQTT_PASSWORD=p"} << "e"
            << "p" << "";
        QTest::newRow("readable by all") << QByteArray("gw\npw\n") << true << none << "" << "" << "every user";
        QTest::newRow("no user name") << QByteArray("\npw\n") << false << none << "" << "" << "first line";
        QTest::newRow("password alone") << QByteArray() << false << QStringList{"AMPWRIGHT_MQTT_PASSWORD=p"} << ""
                                        << "" << "needs a user name";
    }
    void credentials()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, worldReadable);
        QFETCH(QStringList, environment);
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, error);
        QString path;
        if (!file.isEmpty()) {
            path = writeFile(QStringLiteral("credentials"), file,
                             QFile::ReadOwner | QFile::WriteOwner | (worldReadable ? QFile::ReadOther : QFile::Permissions()));
            QVERIFY(!path.isEmpty());
        }
        QProcessEnvironment env;
        for (const QString &entry : environment)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        QString why;
        const auto credentials = loadMqttCredentials(path, env, &why);
        QCOMPARE(credentials.has_value(), error.isEmpty());
        if (credentials) {
            QCOMPARE(credentials->username, username);
            QCOMPARE(credentials->password, password);
        } else {
            QVERIFY2(why.contains(error), qPrintable(why));
        }
    }
};

QTEST_GUILESS_MAIN(TestGatewayConfig)
#include "test_gateway_config.moc"
