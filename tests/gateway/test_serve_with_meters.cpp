// ampwright-cli serve against real parts: two simulated meters on one
// pseudo-terminal line, one over Modbus TCP, two over TCP lines that lose 1
// answer in 20 and 1 in 4, a mosquitto broker and a
// subscriber, /metrics checked by promtool, the load profiles in a SQLite
// archive. One gateway runs through the test functions in order.
#include "metersim_process.h"
#include "metrics_scrape.h"
#include "mqtt_broker.h"
#include "mqtt_messages.h"
#include "serve_process.h"
#include "test_paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

namespace {

constexpr int kWaitMs = 30000;
QString cli() { return testsupport::cliProgram(); }
using testsupport::countOf;
using testsupport::json;
using testsupport::newest;
using testsupport::statesOf;

// Whether Home Assistant shows a sensor of this discovery config available:
// with availability_mode "all", each of its topics' newest message is "online".
bool availableTo(const QJsonObject &config, const QStringList &messages)
{
    const QJsonArray topics = config.value(QStringLiteral("availability")).toArray();
    return config.value(QStringLiteral("availability_mode")) == QLatin1String("all") && !topics.isEmpty()
           && std::all_of(topics.begin(), topics.end(), [&](const QJsonValue &e) {
                  return newest(messages, e.toObject().value(QStringLiteral("topic")).toString()) == QLatin1String("online");
              });
}

} // namespace

class TestServeWithMeters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void badFilesStopNothingStarts_data();
    void badFilesStopNothingStarts();
    void publishesEveryMeter();
    void refusedReadIsLeftOutOfTheState();
    void totalsNeverRunBackwards();
    void driftedClockIsSetOnce();
    void metricsPassPromtool();
    void archivesTheLoadProfiles();
    void lostAnswersAreAskedAgain();
    void silencedMeterGoesOfflineAndBack();
    void brokerRestartGetsEverythingAgain();
    void sigtermPublishesOfflineAndEnds();
    void sigkillLeavesEveryMeterUnavailable();

private:
    QString writeFile(const QString &name, const QString &text);

    QTemporaryDir dir_;
    MqttBroker broker_;
    testsupport::MeterSim line_; // units 1 and 2 on one pseudo-terminal
    testsupport::MeterSim tcp_;  // unit 7 over TCP
    testsupport::MeterSim lossy_[2]; // losing 1 answer in 20, 1 in 4
    const QStringList lossyIds_{"AWLOSSYMETER0020", "AWLOSSYMETER0004"};
    QStringList serials_;        // unit 1, unit 2, the TCP meter
    QProcess gateway_;
    QString metricsPort_;
    QString log_; // the gateway's standard error so far
};

QString TestServeWithMeters::writeFile(const QString &name, const QString &text)
{
    return testsupport::writeTextFile(QDir(dir_.path()), name, text);
}

void TestServeWithMeters::initTestCase()
{
    QString error;
    QVERIFY2(broker_.create(&error), qPrintable(error)); // and started
    QDir().mkpath(dir_.filePath(QStringLiteral("com")));
    QVERIFY2(line_.start({"--no-tcp", "--pty-link", dir_.filePath(QStringLiteral("com/COM1")), "--unit", "1,2",
                          "--voltage", "230"}),
             qPrintable(line_.errorString()));
    QVERIFY2(tcp_.start({"--unit", "7", "--voltage", "240", "--serial", "AWTCPMETER000007"}),
             qPrintable(tcp_.errorString()));
    for (int m = 0; m < 2; ++m)
        QVERIFY2(lossy_[m].start({"--unit", "1", "--serial", lossyIds_[m], "--fault", m ? "drop@every=4" : "drop@every=20"}),
                 qPrintable(lossy_[m].errorString()));
    serials_ = {line_.unitSerials().value(1), line_.unitSerials().value(2), QStringLiteral("AWTCPMETER000007")};
    QVERIFY2(!serials_[0].isEmpty() && !serials_[1].isEmpty(), "metersim named no unit serials");

    const QString meters = writeFile(QStringLiteral("meters.txt"),
                                     QStringLiteral("# two units on serial port 1, one over TCP\n"
                                                    "rtu=1 unit=1 baud=9600\nrtu=1 unit=2 baud=9600\n"
                                                    "tcp=%1:%2 unit=7 clock-sync=60\ntcp=%3:%4 unit=1\n"
                                                    "tcp=%5:%6 unit=1 timeout=300 attempts=4\n")
                                         .arg(tcp_.tcpAddress()).arg(tcp_.tcpPort()).arg(lossy_[0].tcpAddress())
                                         .arg(lossy_[0].tcpPort()).arg(lossy_[1].tcpAddress()).arg(lossy_[1].tcpPort()));
    metricsPort_ = QString::number(20000 + QCoreApplication::applicationPid() % 20000);
    // Its log is kept, and shown as it comes.
    testsupport::startServe(gateway_, dir_.filePath(QStringLiteral("com")),
                            {"serve", "--meters", meters, "--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker_.port()),
                             "--metrics", "127.0.0.1:" + metricsPort_, "--every", "2", "--name", "test", "--store",
                             "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))},
                            log_);
    QVERIFY(gateway_.waitForStarted());
}

void TestServeWithMeters::badFilesStopNothingStarts_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("said"); // a part of the message
    QTest::newRow("unknown word") << "tcp=127.0.0.1 unit=1\nrtu=1 speed=9600\n" << "" << "meters.bad: line 2: unknown word \"speed\"";
    QTest::newRow("two rates on one port") << "rtu=1 unit=1 baud=9600\nrtu=1 unit=2 baud=19200\n" << ""
                                           << "meters.bad: line 2: \"baud=19200";
    QTest::newRow("one unit twice on a line") << "tcp=h:502 unit=3\ntcp=h:502 unit=3\n" << "" << "line 2: \"unit=3\"";
    QTest::newRow("two timings on one line") << "tcp=h:502 unit=3 timeout=500\ntcp=h:502 unit=4\n" << ""
                                             << "meters.bad: line 2: \"timeout=default\": the meter on line 1";
    QTest::newRow("bad config key") << "tcp=127.0.0.1\n" << "every = 10\nmqtt-port = 1\n" << "gateway.bad:2";
}

void TestServeWithMeters::badFilesStopNothingStarts()
{
    QFETCH(QString, meters);
    QFETCH(QString, config);
    QFETCH(QString, said);
    QStringList args{"serve", "--meters", writeFile(QStringLiteral("meters.bad"), meters)};
    if (!config.isEmpty())
        args << "--config" << writeFile(QStringLiteral("gateway.bad"), config);
    QProcess bad;
    bad.start(cli(), args);
    QVERIFY(bad.waitForFinished(10000));
    const QString err = QString::fromLocal8Bit(bad.readAllStandardError());
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY2(err.contains(said), qPrintable(err));
    QVERIFY2(!err.contains(QLatin1String("serving")), qPrintable(err));
}

void TestServeWithMeters::publishesEveryMeter()
{
    QString error;
    {
        MqttSubscriber live(broker_.port(), QStringLiteral("ampwright/+/state"));
        QVERIFY2(live.start(&error), qPrintable(error));
        for (const QString &id : serials_)
            QTRY_VERIFY_WITH_TIMEOUT(!newest(live.messages(), QStringLiteral("ampwright/%1/state").arg(id)).isEmpty(), kWaitMs);
    }
    // A subscriber that comes later gets the configs and availability retained.
    MqttSubscriber watch(broker_.port(), QStringLiteral("#"));
    QVERIFY2(watch.start(&error), qPrintable(error));
    const QList<double> voltages{230, 231, 240}; // the unit n-th on its line: V + n
    for (int m = 0; m < serials_.size(); ++m) {
        const QString id = serials_[m];
        QTRY_VERIFY_WITH_TIMEOUT(!newest(watch.messages(), QStringLiteral("ampwright/%1/state").arg(id)).isEmpty(), kWaitMs);
        bool retained = false;
        const QString configTopic = QStringLiteral("homeassistant/sensor/ampwright_%1/voltage_ln_a/config").arg(id);
        const QJsonObject config = json(newest(watch.messages(), configTopic, &retained));
        QVERIFY2(retained, qPrintable(configTopic));
        QCOMPARE(config.value("unique_id").toString(), QStringLiteral("ampwright_%1_voltage_ln_a").arg(id));
        QCOMPARE(config.value("device_class").toString(), QStringLiteral("voltage"));
        QCOMPARE(config.value("state_class").toString(), QStringLiteral("measurement"));
        QCOMPARE(config.value("state_topic").toString(), QStringLiteral("ampwright/%1/state").arg(id));
        const QJsonObject energy = json(newest(
            watch.messages(), QStringLiteral("homeassistant/sensor/ampwright_%1/kwh_delivered/config").arg(id)));
        QCOMPARE(energy.value("state_class").toString(), QStringLiteral("total_increasing"));
        QCOMPARE(energy.value("device_class").toString(), QStringLiteral("energy"));

        const QJsonObject state = json(newest(watch.messages(), QStringLiteral("ampwright/%1/state").arg(id)));
        QVERIFY2(state.value("voltage_ln_a").isDouble(), qPrintable(id));
        QCOMPARE(state.value("voltage_ln_a").toDouble(), voltages[m]);
        QCOMPARE(newest(watch.messages(), QStringLiteral("ampwright/%1/availability").arg(id), &retained), QStringLiteral("online"));
        QVERIFY(retained);
    }
    QCOMPARE(newest(watch.messages(), QStringLiteral("ampwright/gateway/test/availability")), QStringLiteral("online"));
}

void TestServeWithMeters::refusedReadIsLeftOutOfTheState()
{
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/#"));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const QString state = QStringLiteral("ampwright/%1/state").arg(serials_[0]);
    const QString refusal = QStringLiteral("refuses the read of holding registers 0x1064-0x1095");
    QVERIFY(line_.sendCommand(QStringLiteral("unit=1 exception:2@reg=3:0x1064")));
    // Published without the main block's values, the later blocks' still in.
    QTRY_VERIFY_WITH_TIMEOUT(!json(newest(watch.messages(), state)).isEmpty()
                                 && !json(newest(watch.messages(), state)).contains(QStringLiteral("voltage_ln_a")),
                             kWaitMs);
    QVERIFY(json(newest(watch.messages(), state)).value(QStringLiteral("frequency")).isDouble());
    QVERIFY(log_.contains(refusal));
    // Any sample of the meter's line-to-neutral voltages.
    const auto voltageMetric = [&] {
        const QHash<QString, QString> samples = testsupport::metricSamples(testsupport::scrapeMetrics(quint16(metricsPort_.toInt())));
        const QString meter = QStringLiteral("meter=\"%1\"").arg(serials_[0]);
        return std::any_of(samples.keyBegin(), samples.keyEnd(), [&](const QString &name) {
            return name.startsWith(QLatin1String("ampwright_voltage_ln")) && name.contains(meter);
        });
    };
    QVERIFY(!voltageMetric());
    QVERIFY(newest(watch.messages(), QStringLiteral("ampwright/%1/availability").arg(serials_[0])) != QLatin1String("offline"));
    // Told once, and again when it ends.
    QCOMPARE(log_.count(refusal), 1);
    QVERIFY(line_.sendCommand(QStringLiteral("unit=1 clear-faults")));
    QTRY_VERIFY_WITH_TIMEOUT(json(newest(watch.messages(), state)).value(QStringLiteral("voltage_ln_a")).isDouble(), kWaitMs);
    QVERIFY(log_.contains(QStringLiteral("answers the read of holding registers 0x1064-0x1095 again")));
    QTRY_VERIFY_WITH_TIMEOUT(voltageMetric(), kWaitMs);
}

void TestServeWithMeters::totalsNeverRunBackwards()
{
    // The TCP meter's kWh delivered (input registers 0x10C6-0x10C7) read as 0.
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/+/state"));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const auto kwhs = [&] { // of each state; -1: left out
        QList<double> all;
        for (const QJsonObject &state : statesOf(watch.messages(), serials_[2]))
            all << state.value(QStringLiteral("kwh_delivered")).toDouble(-1);
        return all;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!kwhs().isEmpty(), kWaitMs);
    const double kwh = kwhs().back();
    const QString last = QString::number(kwh, 'g', 10);
    // Once: held back, never published, told once.
    QVERIFY(tcp_.sendCommand(QStringLiteral("setf input:0x10C6=0")));
    QTRY_COMPARE_WITH_TIMEOUT(kwhs().back(), -1.0, kWaitMs);
    QVERIFY(tcp_.sendCommand(QStringLiteral("setf input:0x10C6=") + last));
    QTRY_COMPARE_WITH_TIMEOUT(kwhs().back(), kwh, kWaitMs);
    QVERIFY(!kwhs().contains(0));
    QCOMPARE(log_.count(QStringLiteral("kwh_delivered read as 0 (last %1): held back").arg(last)), 1);
    // For good: the meter's reset, published on the third poll, and the counter starts again.
    const qsizetype before = kwhs().size();
    QVERIFY(tcp_.sendCommand(QStringLiteral("setf input:0x10C6=0")));
    QTRY_VERIFY_WITH_TIMEOUT(kwhs().contains(0), kWaitMs);
    const QList<double> after = kwhs().mid(before);
    QCOMPARE(after.mid(after.indexOf(-1)), (QList<double>{-1, -1, 0}));
    QVERIFY(log_.contains(QStringLiteral("kwh_delivered fell from %1 to 0").arg(last)));
    const QRegularExpression restarted(
        QStringLiteral("\nampwright_active_energy_delivered_three_phase\\w*\\{meter=\"%1\"\\} 0\n").arg(serials_[2]));
    QTRY_VERIFY_WITH_TIMEOUT(testsupport::scrapeMetrics(quint16(metricsPort_.toInt())).contains(restarted), kWaitMs);
    QVERIFY(tcp_.sendCommand(QStringLiteral("setf input:0x10C6=") + last));
}

void TestServeWithMeters::driftedClockIsSetOnce()
{
    // clock-sync=60 on the TCP meter's line of the meters file, none for unit 1.
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/+/state"));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const auto offset = [&](int m) {
        const QList<QJsonObject> states = statesOf(watch.messages(), serials_[m]);
        return states.isEmpty() ? 0.0 : states.back().value(QStringLiteral("clock_offset_s")).toDouble();
    };
    const QString yearBack = QStringLiteral("set holding:0x1023=%1").arg(QDate::currentDate().year() - 2001);
    QVERIFY(tcp_.sendCommand(yearBack));
    QVERIFY(line_.sendCommand(QStringLiteral("unit=1 ") + yearBack));
    QTRY_VERIFY_WITH_TIMEOUT(offset(2) < -300 * 86400, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(offset(2)) <= 2, kWaitMs);
    QCOMPARE(log_.count(QStringLiteral("behind the gateway's (clock-sync 60 s): setting it")), 1);
    QVERIFY(log_.contains(QStringLiteral("its clock is set")));
    QTRY_VERIFY_WITH_TIMEOUT(offset(0) < -300 * 86400, kWaitMs); // left as it is
    QVERIFY(testsupport::scrapeMetrics(quint16(metricsPort_.toInt()))
                .contains(QStringLiteral("ampwright_meter_clock_offset_seconds{meter=\"%1\"} -3").arg(serials_[0])));
    QVERIFY(line_.sendCommand(QStringLiteral("unit=1 set holding:0x1023=%1").arg(QDate::currentDate().year() - 2000)));
}

void TestServeWithMeters::metricsPassPromtool()
{
    QString text;
    const auto allUp = [&] {
        text = testsupport::scrapeMetrics(quint16(metricsPort_.toInt()));
        const QHash<QString, QString> samples = testsupport::metricSamples(text);
        for (const QString &id : serials_)
            if (samples.value(QStringLiteral("ampwright_meter_up{meter=\"%1\"}").arg(id)) != QLatin1String("1")
                || samples.value(QStringLiteral("ampwright_requests_total{meter=\"%1\"}").arg(id)).toDouble() <= 0)
                return false;
        // Which line and unit each meter is on.
        const QStringList info = samples.keys().filter(QStringLiteral("ampwright_meter_info{"));
        for (const QString &id : serials_)
            if (info.filter(QStringLiteral("meter=\"%1\"").arg(id)).filter(QStringLiteral("unit=\"")).size() != 1)
                return false;
        return true;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(allUp(), qPrintable(text.left(3000)), kWaitMs);
    const auto complaints = testsupport::promtoolComplaints(text);
    if (!complaints)
        QSKIP("promtool is not installed (Debian package prometheus)");
    QVERIFY2(complaints->isEmpty(), qPrintable(*complaints));
}

void TestServeWithMeters::archivesTheLoadProfiles()
{
    // Both groups of every meter, new only, into the archive: 100 and 50
    // records each (metersim's default profile), over the lossy lines too.
    const auto archived = [&] {
        QProcess list;
        list.start(cli(), {"archive", "list", "--store", "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))});
        list.waitForFinished(10000);
        return QString::fromLocal8Bit(list.readAllStandardOutput());
    };
    const auto complete = [&](const QString &listing) {
        for (const QString &id : serials_ + lossyIds_) // the lossy lines' too, before their polls are counted
            for (const char *records : {" 1 +100 ", " 2 +50 "})
                if (!listing.contains(QRegularExpression(QRegularExpression::escape(id) + QStringLiteral(".*") + QLatin1String(records))))
                    return false;
        return true;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(complete(archived()), qPrintable(archived()), kWaitMs);
}

void TestServeWithMeters::lostAnswersAreAskedAgain()
{
    // States a second over a window: the clean TCP meter's and the lossy lines'.
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/+/+"));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const QStringList ids{serials_[2], lossyIds_[0], lossyIds_[1]};
    int firstCount[3] = {-1, -1, -1}, lastCount[3] = {};
    qint64 firstMs[3] = {}, lastMs[3] = {};
    QElapsedTimer window;
    window.start();
    while (window.elapsed() < 30000) {
        QTest::qWait(50);
        for (int m = 0; m < 3; ++m)
            if (const int n = countOf(watch.messages(), "ampwright/" + ids[m] + "/state"); n != lastCount[m]) {
                if (firstCount[m] < 0)
                    firstCount[m] = n, firstMs[m] = window.elapsed();
                lastCount[m] = n, lastMs[m] = window.elapsed();
            }
    }
    const auto rate = [&](int m) { return (lastCount[m] - firstCount[m]) * 1000.0 / double(std::max<qint64>(1, lastMs[m] - firstMs[m])); };
    std::printf("states a second: clean %.3f, losing 1 in 20 %.3f, 1 in 4 %.3f\n", rate(0), rate(1), rate(2));
    QVERIFY(lastCount[0] - firstCount[0] >= 10);
    QVERIFY2(rate(1) >= 0.95 * rate(0), "the 1-in-20 line publishes under 95 % of the clean line's states");
    QVERIFY(watch.messages().filter("ampwright/" + ids[1] + "/availability offline").isEmpty());
    QVERIFY2(firstCount[2] > 0, "the 1-in-4 meter is not published");
}

void TestServeWithMeters::silencedMeterGoesOfflineAndBack()
{
    MqttSubscriber watch(broker_.port(), QStringLiteral("ampwright/#"));
    QString error;
    QVERIFY2(watch.start(&error), qPrintable(error));
    const QString silent = QStringLiteral("ampwright/%1/").arg(serials_[1]);
    const QString other = QStringLiteral("ampwright/%1/state").arg(serials_[0]);
    QVERIFY(line_.sendCommand(QStringLiteral("unit=2 drop@all")));
    QTRY_COMPARE_WITH_TIMEOUT(newest(watch.messages(), silent + "availability"), QStringLiteral("offline"), kWaitMs);
    // The other meter on the same line went on meanwhile, and goes on.
    const int before = countOf(watch.messages(), other);
    QVERIFY(before > 0);
    QTRY_VERIFY_WITH_TIMEOUT(countOf(watch.messages(), other) > before, kWaitMs);
    QVERIFY(line_.sendCommand(QStringLiteral("unit=2 clear-faults")));
    QTRY_COMPARE_WITH_TIMEOUT(newest(watch.messages(), silent + "availability"), QStringLiteral("online"), 70000);
}

void TestServeWithMeters::brokerRestartGetsEverythingAgain()
{
    broker_.stop();
    QString error;
    QVERIFY2(broker_.start(&error), qPrintable(error)); // a broker without persistence: nothing retained
    MqttSubscriber watch(broker_.port(), QStringLiteral("#"));
    QVERIFY2(watch.start(&error), qPrintable(error));
    for (const QString &id : serials_) {
        QTRY_COMPARE_WITH_TIMEOUT(newest(watch.messages(), QStringLiteral("ampwright/%1/availability").arg(id)),
                                  QStringLiteral("online"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!newest(watch.messages(), QStringLiteral("homeassistant/sensor/ampwright_%1/voltage_ln_a/config").arg(id)).isEmpty(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!newest(watch.messages(), QStringLiteral("ampwright/%1/state").arg(id)).isEmpty(), kWaitMs);
    }
}

void TestServeWithMeters::sigtermPublishesOfflineAndEnds()
{
    QElapsedTimer took;
    took.start();
    gateway_.terminate();
    QVERIFY(gateway_.waitForFinished(5000));
    QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(gateway_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gateway_.exitCode(), 0);
    // What stays retained for the next subscriber.
    MqttSubscriber after(broker_.port(), QStringLiteral("ampwright/+/availability"));
    QString error;
    QVERIFY2(after.start(&error), qPrintable(error));
    for (const QString &id : serials_)
        QTRY_COMPARE_WITH_TIMEOUT(newest(after.messages(), QStringLiteral("ampwright/%1/availability").arg(id)),
                                  QStringLiteral("offline"), 5000);
}

void TestServeWithMeters::sigkillLeavesEveryMeterUnavailable()
{
    // A gateway that dies without a word (SIGKILL, a power loss) leaves its
    // meters' availability "online"; the broker's last will on the gateway's
    // topic must take every sensor down all the same.
    QProcess gateway;
    gateway.setProcessEnvironment(gateway_.processEnvironment());
    gateway.start(cli(), {"serve", "--meters", dir_.filePath(QStringLiteral("meters.txt")), "--mqtt",
                          QStringLiteral("127.0.0.1:%1").arg(broker_.port()), "--name", "test"});
    for (const bool alive : {true, false}) {
        MqttSubscriber watch(broker_.port(), QStringLiteral("#"));
        QString error;
        QVERIFY2(watch.start(&error), qPrintable(error));
        for (const QString &id : serials_) {
            const QString config = QStringLiteral("homeassistant/sensor/ampwright_%1/kwh_delivered/config").arg(id);
            QTRY_VERIFY_WITH_TIMEOUT(newest(watch.messages(), QStringLiteral("ampwright/%1/availability").arg(id)) == "online"
                                         && availableTo(json(newest(watch.messages(), config)), watch.messages()) == alive,
                                     kWaitMs);
        }
        if (alive) {
            gateway.kill();
            QVERIFY(gateway.waitForFinished(5000));
        }
    }
}

QTEST_GUILESS_MAIN(TestServeWithMeters)
#include "test_serve_with_meters.moc"
