// The gateway's API end to end: ampwright-cli serve with two simulated
// meters on one pseudo-terminal line, a mosquitto broker, a SQLite archive
// and basic authentication. The state equals the MQTT message, the CSV the
// archive's export; wrong requests get 400 and 404; a silenced meter shows
// offline.
#include "free_port.h"
#include "http_get.h"
#include "metersim_process.h"
#include "mqtt_broker.h"
#include "test_paths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <cstdio>

using testsupport::HttpAnswer;

namespace {

constexpr int kWaitMs = 30000;
QString cli() { return testsupport::cliProgram(); }

} // namespace

class TestServeApi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void credentialsAreRequired();
    void stateEqualsTheMqttMessage();
    void loadProfileEqualsTheExport();
    void wrongRequests_data();
    void wrongRequests();
    void silencedMeterShowsOffline();

private:
    HttpAnswer get(const QByteArray &target);
    QJsonDocument getJson(const QByteArray &target);

    QTemporaryDir dir_;
    MqttBroker broker_;
    testsupport::MeterSim line_; // units 1 and 2
    QStringList serials_;
    QProcess gateway_;
    quint16 port_ = 0;
};

HttpAnswer TestServeApi::get(const QByteArray &target)
{
    return testsupport::httpRequest(port_, "GET " + target, testsupport::basicAuthorization("page", "pagepass"));
}

QJsonDocument TestServeApi::getJson(const QByteArray &target) { return QJsonDocument::fromJson(get(target).body); }

void TestServeApi::initTestCase()
{
    QString error;
    QVERIFY2(broker_.create(&error), qPrintable(error));
    QDir().mkpath(dir_.filePath(QStringLiteral("com")));
    QVERIFY2(line_.start({"--no-tcp", "--pty-link", dir_.filePath(QStringLiteral("com/COM1")), "--unit", "1,2"}),
             qPrintable(line_.errorString()));
    serials_ = {line_.unitSerials().value(1), line_.unitSerials().value(2)};

    QProcess hash;
    hash.start(QStringLiteral("openssl"), {"passwd", "-6", "-salt", "apitest", "pagepass"});
    QVERIFY(hash.waitForFinished(10000));
    QFile users(dir_.filePath(QStringLiteral("users")));
    QVERIFY(users.open(QIODevice::WriteOnly));
    users.write("page:" + hash.readAllStandardOutput());
    users.close();
    users.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile meters(dir_.filePath(QStringLiteral("meters.txt")));
    QVERIFY(meters.open(QIODevice::WriteOnly));
    meters.write("rtu=1 unit=1 baud=9600\nrtu=1 unit=2 baud=9600\n");
    meters.close();

    port_ = quint16(testsupport::freePort());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AMPWRIGHT_COM_DIR"), dir_.filePath(QStringLiteral("com")));
    gateway_.setProcessEnvironment(environment);
    gateway_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gateway_.start(cli(), {"serve", "--meters", meters.fileName(), "--mqtt",
                           QStringLiteral("127.0.0.1:%1").arg(broker_.port()), "--http", QString::number(port_),
                           "--http-credentials", users.fileName(), "--every", "1", "--name", "apitest", "--store",
                           "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))});
    QVERIFY(gateway_.waitForStarted());
    // Both meters read, their first load-profile rounds done.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QJsonArray all = getJson("/api/meters").array();
            return all.size() == 2 && std::all_of(all.begin(), all.end(), [](const QJsonValue &m) {
                       return m[QStringLiteral("online")].toBool() && m[QStringLiteral("lp")].isObject();
                   });
        }(),
        kWaitMs);
}

void TestServeApi::cleanupTestCase()
{
    gateway_.terminate();
    gateway_.waitForFinished(5000);
}

void TestServeApi::credentialsAreRequired()
{
    const HttpAnswer without = testsupport::httpRequest(port_, "GET /api/meters");
    QCOMPARE(without.status, 401);
    QCOMPARE(without.header("WWW-Authenticate"), QByteArray("Basic realm=\"ampwright\""));
    QCOMPARE(testsupport::httpRequest(port_, "GET /metrics").status, 401);
    QCOMPARE(testsupport::httpRequest(port_, "GET /metrics", testsupport::basicAuthorization("page", "wrong")).status, 401);
    QCOMPARE(get("/metrics").status, 200);
    const HttpAnswer with = get("/api/lines");
    QCOMPARE(with.status, 200);
    QCOMPARE(with.header("Content-Type"), QByteArray("application/json; charset=utf-8"));
    QCOMPARE(with.header("Cache-Control"), QByteArray("no-store"));
    const QJsonObject line = QJsonDocument::fromJson(with.body).array().at(0).toObject();
    QCOMPARE(line.value("line").toString(), QStringLiteral("rtu=1"));
    QCOMPARE(line.value("meters").toArray().size(), 2);
    QVERIFY(line.value("requests_per_min").toDouble() > 0);
    QVERIFY(line.value("busy_share").toDouble() > 0 && line.value("busy_share").toDouble() <= 1);
    const QJsonObject gateway = getJson("/api/gateway").object();
    QCOMPARE(gateway.value("name").toString(), QStringLiteral("apitest"));
    QVERIFY(gateway.value("broker").toObject().value("connected").toBool());
}

void TestServeApi::stateEqualsTheMqttMessage()
{
    // The newest state of each, until a poll lies between neither.
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/%1/state").arg(serials_[0]));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const auto same = [&] {
        const QByteArray api = get("/api/meters/" + serials_[0].toUtf8()).body;
        QTest::qWait(200);
        const QStringList messages = watch.messages();
        return !messages.isEmpty() && messages.back().section(u' ', 2).toUtf8() == api;
    };
    QTRY_VERIFY_WITH_TIMEOUT(same(), kWaitMs);
}

void TestServeApi::loadProfileEqualsTheExport()
{
    // metersim's group 1: 100 records from 2024-03-01 00:00 every 15 min.
    const QByteArray target = "/api/meters/" + serials_[0].toUtf8() + "/lp?group=1&from=2024-03-01T06:00&until=2024-03-02T00:00";
    const QString out = dir_.filePath(QStringLiteral("export"));
    const auto exported = [&] {
        QDir(out).removeRecursively();
        QProcess cliExport;
        cliExport.start(cli(), {"archive", "export", "--store", "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite")),
                                "--serial", serials_[0], "--group", "1", "--since", "2024-03-01 06:00", "--until",
                                "2024-03-02 00:00", "--out", out});
        cliExport.waitForFinished(10000);
        QFile file(QDir(out).filePath(QString::fromLocal8Bit(cliExport.readAllStandardOutput()).trimmed().section(u'/', -1)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    // Their first lines name the minute they were made: asked again across one.
    HttpAnswer csv;
    QByteArray file;
    for (int attempt = 0; attempt < 2 && (file.isEmpty() || csv.body != file); ++attempt) {
        csv = get(target + "&format=csv");
        file = exported();
    }
    QCOMPARE(csv.status, 200);
    QVERIFY(!file.isEmpty());
    QCOMPARE(csv.body, file);
    QVERIFY(csv.header("Content-Disposition").startsWith("attachment; filename="));
    // The same records as JSON, keyed by the CSV's columns.
    const QJsonObject json = getJson(target).object();
    const QJsonArray records = json.value("records").toArray();
    const QList<QByteArray> lines = file.trimmed().split('\n');
    QCOMPARE(records.size(), lines.size() - 2);
    QCOMPARE(records.size(), 73); // 06:00 to 24:00, both included
    const QList<QByteArray> columns = lines[1].trimmed().split(',');
    const QList<QByteArray> first = lines[2].trimmed().split(',');
    const QJsonObject record = records.at(0).toObject();
    QCOMPARE(record.size(), columns.size());
    QCOMPARE(record.value(QString::fromLatin1(columns[0])).toString().toLatin1(), first[0]);
    QCOMPARE(record.value(QString::fromLatin1(columns[2])).toDouble(), first[2].toDouble());
}

void TestServeApi::wrongRequests_data()
{
    QTest::addColumn<QByteArray>("target"); // METER stands for the first meter's serial
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("parameter");
    QTest::newRow("unknown meter") << QByteArray("/api/meters/NOSUCHMETER") << 404 << QString();
    QTest::newRow("unknown meter's lp") << QByteArray("/api/meters/NOSUCHMETER/lp") << 404 << QString();
    QTest::newRow("group 3") << QByteArray("/api/meters/METER/lp?group=3") << 400 << "group";
    QTest::newRow("bad date") << QByteArray("/api/meters/METER/lp?from=2024-13-01") << 400 << "from";
    QTest::newRow("bad time") << QByteArray("/api/meters/METER/lp?until=2024-03-01T25:00") << 400 << "until";
    QTest::newRow("until before from") << QByteArray("/api/meters/METER/lp?from=2024-03-02&until=2024-03-01") << 400 << "until";
    QTest::newRow("over 366 days") << QByteArray("/api/meters/METER/lp?from=2023-01-01&until=2024-03-01") << 400 << "until";
    QTest::newRow("format xml") << QByteArray("/api/meters/METER/lp?format=xml") << 400 << "format";
    QTest::newRow("dot segment") << QByteArray("/api/meters/../../metrics") << 400 << QString();
}

void TestServeApi::wrongRequests()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QString, parameter);
    const HttpAnswer answer = get(target.replace("METER", serials_[0].toUtf8()));
    QCOMPARE(answer.status, status);
    if (!parameter.isEmpty())
        QCOMPARE(QJsonDocument::fromJson(answer.body).object().value("parameter").toString(), parameter);
    if (status == 404)
        QVERIFY(QJsonDocument::fromJson(answer.body).object().value("error").toString().startsWith("no meter "));
}

void TestServeApi::silencedMeterShowsOffline()
{
    QVERIFY(line_.sendCommand(QStringLiteral("unit=2 drop@all")));
    const auto onlineOf = [&](const QString &serial) {
        for (const QJsonValue &m : getJson("/api/meters").array())
            if (m[QStringLiteral("serial")].toString() == serial)
                return m[QStringLiteral("online")].toBool();
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!onlineOf(serials_[1]), kWaitMs);
    QVERIFY(onlineOf(serials_[0]));
}

QTEST_GUILESS_MAIN(TestServeApi)
#include "test_serve_api.moc"
