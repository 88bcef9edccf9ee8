// The window as a master on a line the gateway polls: metersim serves units
// 1 and 2 on one pseudo-terminal, `ampwright-cli serve` polls unit 1 there
// and shares the line through two listeners (port 502 with every write,
// port 503 with the record pointer alone), and the window goes online over
// Ethernet(TCP) through them. It shows each unit's own values, downloads
// load-profile records and writes a setting where the listener allows it,
// while the gateway's polls of unit 1 go on.
#include "../loadprofile/lp_meter_rows.h"
#include "gui/ui/caption.h"
#include "main_form_starter.h"
#include "metersim_process.h"
#include "metrics_scrape.h"
#include "serve_process.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

constexpr int kPatienceMs = 30000;
// An address no other test serves on; the window reaches ports 502 and 503.
const QString kGatewayAddress = QStringLiteral("127.0.0.41");
constexpr quint16 kMetricsPort = 9141;
const QString kAllWrites = kGatewayAddress + QStringLiteral(":502");
const QString kPointerOnly = kGatewayAddress + QStringLiteral(":503");

// The first message the window showed, for a failure's text.
QString firstMessage(const StartedMainForm &started)
{
    return started.messages.shown.isEmpty() ? QString() : started.messages.shown.first().text;
}

} // namespace

class TestWindowThroughGateway : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void showsTheChosenUnitWhileTheGatewayPolls_data();
    void showsTheChosenUnitWhileTheGatewayPolls();
    void downloadsRecordsThroughThePointerOnlyListener();
    void settingWritesPassAsTheListenerAllows_data();
    void settingWritesPassAsTheListenerAllows();

private:
    // The window online through the listener on port as unit; ready() holds.
    std::unique_ptr<StartedMainForm> openWindow(const QString &programDir, const QString &port, int unit,
                                                const std::function<bool(const StartedMainForm &)> &ready);
    QString metric(const QString &series) const
    {
        return testsupport::metricSamples(testsupport::scrapeMetrics(kMetricsPort, kGatewayAddress)).value(series);
    }
    double lastPollOfUnit1() const
    {
        return metric(QStringLiteral("ampwright_meter_last_poll_timestamp_seconds{meter=\"%1\"}")
                          .arg(meter_.unitSerials().value(1)))
            .toDouble();
    }
    QString listenerSeries(const QString &name, const QString &listener, const QString &outcome = {}) const
    {
        return outcome.isEmpty() ? QStringLiteral("%1{listener=\"%2\"}").arg(name, listener)
                                 : QStringLiteral("%1{listener=\"%2\",outcome=\"%3\"}").arg(name, listener, outcome);
    }

    QTemporaryDir dir_;
    QTemporaryDir windowComDir_; // no ports: the window goes over TCP only
    testsupport::MeterSim meter_;
    QProcess gateway_;
    QString log_; // the gateway's standard error so far
};

void TestWindowThroughGateway::initTestCase()
{
    QVERIFY(dir_.isValid() && windowComDir_.isValid());
    qputenv("AMPWRIGHT_COM_DIR", windowComDir_.path().toLocal8Bit());
    QDir().mkpath(dir_.filePath(QStringLiteral("com")));
    QVERIFY2(meter_.start({"--no-tcp", "--pty-link", dir_.filePath(QStringLiteral("com/COM1")), "--unit", "1,2",
                           "--voltage", "230"}),
             qPrintable(meter_.errorString()));
    QVERIFY(!meter_.unitSerials().value(1).isEmpty() && !meter_.unitSerials().value(2).isEmpty());

    const QString meters = testsupport::writeTextFile(QDir(dir_.path()), QStringLiteral("meters.txt"),
                                                      QStringLiteral("rtu=1 unit=1\n"
                                                                     "listen=%1 rtu=1 writes=allow\n"
                                                                     "listen=%2 rtu=1 writes=lp\n")
                                                          .arg(kAllWrites, kPointerOnly));
    testsupport::startServe(gateway_, dir_.filePath(QStringLiteral("com")),
                            {"serve", "--meters", meters, "--every", "1", "--lp-every", "0", "--metrics",
                             QStringLiteral("%1:%2").arg(kGatewayAddress).arg(kMetricsPort)},
                            log_);
    QVERIFY(gateway_.waitForStarted());
    // Both listeners open and unit 1 polled before any master comes.
    QTRY_VERIFY_WITH_TIMEOUT(log_.count(QLatin1String(": masters share line")) == 2, kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(lastPollOfUnit1() > 0, kPatienceMs);
}

void TestWindowThroughGateway::cleanupTestCase()
{
    if (gateway_.state() == QProcess::NotRunning)
        return;
    gateway_.terminate();
    QVERIFY(gateway_.waitForFinished(10000));
    QCOMPARE(gateway_.exitCode(), 0);
}

std::unique_ptr<StartedMainForm> TestWindowThroughGateway::openWindow(
    const QString &programDir, const QString &port, int unit,
    const std::function<bool(const StartedMainForm &)> &ready)
{
    testsupport::StartFormAnswer answer;
    answer.connection = QStringLiteral("Ethernet(TCP)");
    auto started = std::make_unique<StartedMainForm>(answer, programDir);
    if (!started->loaded)
        return nullptr;
    // What the start-up said of the serial ports it found none of.
    started->messages.shown.clear();
    started->control<QLineEdit>(QStringLiteral("IPAddress"))->setText(kGatewayAddress);
    auto *ports = started->control<QComboBox>(QStringLiteral("Combo_Port_Sel"));
    ports->setCurrentIndex(ports->findText(port));
    auto *units = started->control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"));
    units->setCurrentIndex(units->findText(QString::number(unit)));
    started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    if (!started->window->link().LinkOnline()
        || !QTest::qWaitFor([&] { return ready(*started); }, kPatienceMs))
        return nullptr;
    return started;
}

void TestWindowThroughGateway::showsTheChosenUnitWhileTheGatewayPolls_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("voltage"); // the unit n-th on the line: 230 V + n
    QTest::newRow("unit 2, which the gateway leaves alone") << 2 << QStringLiteral("231.00000");
    QTest::newRow("unit 1, which the gateway polls too") << 1 << QStringLiteral("230.00000");
}

void TestWindowThroughGateway::showsTheChosenUnitWhileTheGatewayPolls()
{
    QFETCH(int, unit);
    QFETCH(QString, voltage);
    const QString serial = meter_.unitSerials().value(unit);
    const QString passed = metric(listenerSeries("ampwright_listener_requests_total", kAllWrites, "passed"));
    const auto shown = [](const StartedMainForm &s, const char *control) {
        return ui::caption(s.window->controls().find(QLatin1String(control)));
    };
    auto started = openWindow(testsupport::binDir(), QStringLiteral("502"), unit, [&](const StartedMainForm &s) {
        return shown(s, "txtMeterSerial") == serial && !shown(s, "txt_V_N(0)").isEmpty();
    });
    QVERIFY2(started, qPrintable(log_.right(2000)));
    QCOMPARE(shown(*started, "txt_V_N(0)"), voltage);
    QCOMPARE(shown(*started, "txtFWver"), QStringLiteral("V3705A00"));
    QCOMPARE(metric(listenerSeries("ampwright_listener_masters", kAllWrites)), QStringLiteral("1"));

    // The window keeps polling through the gateway, and the gateway keeps
    // polling unit 1 (every second) beside it.
    const double before = lastPollOfUnit1();
    QTest::qWait(3500);
    QVERIFY(started->window->link().LinkOnline());
    QVERIFY2(lastPollOfUnit1() >= before + 2, qPrintable(QString::number(lastPollOfUnit1() - before)));
    QVERIFY2(started->messages.shown.isEmpty(), qPrintable(firstMessage(*started)));
    QVERIFY(metric(listenerSeries("ampwright_listener_requests_total", kAllWrites, "passed")).toLongLong()
            > passed.toLongLong() + 3);
    QCOMPARE(metric(listenerSeries("ampwright_listener_requests_total", kAllWrites, "failed")), QStringLiteral("0"));
    QCOMPARE(metric(QStringLiteral("ampwright_meter_up{meter=\"%1\"}").arg(meter_.unitSerials().value(1))),
             QStringLiteral("1"));

    // Offline, the window leaves the listener.
    started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!started->window->link().LinkOnline());
    QTRY_COMPARE_WITH_TIMEOUT(metric(listenerSeries("ampwright_listener_masters", kAllWrites)), QStringLiteral("0"),
                              5000);
}

void TestWindowThroughGateway::downloadsRecordsThroughThePointerOnlyListener()
{
    const auto programDir = testsupport::englishProgramFolder();
    QVERIFY(programDir);
    // The record-number lists follow the meter's 100 records of group 1.
    auto started = openWindow(programDir->path(), QStringLiteral("503"), 2, [](const StartedMainForm &s) {
        return s.control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->count() == 100;
    });
    QVERIFY2(started, qPrintable(log_.right(2000)));

    // Records 1 to 10: blocks of 4, 4 and 2, each a pointer write and a read.
    constexpr int kLast = 10;
    const double before = lastPollOfUnit1();
    started->control<QComboBox>(QStringLiteral("Combo_LP_Start_No"))->setCurrentIndex(0);
    started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(kLast - 1);
    started->control<QPushButton>(QStringLiteral("Command8"))->click();
    const QString done =
        QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01").arg(kLast);
    const auto status = [&] { return ui::caption(started->window->controls().find(QStringLiteral("Text6"))); };
    QVERIFY2(QTest::qWaitFor([&] { return status() == done; }, kPatienceMs), qPrintable(status()));

    const QStringList files =
        QDir(programDir->filePath(QStringLiteral("LP Data"))).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    // Every record once, in order, as the meter keeps it.
    QCOMPARE(lptest::csvRows(programDir->filePath(QStringLiteral("LP Data/") + files.first())),
             lptest::expectedRows(1, kLast));
    // The pointer writes passed; nothing was refused or failed on the way.
    QVERIFY2(!log_.contains(QLatin1String("refused")), qPrintable(log_.right(2000)));
    QCOMPARE(metric(listenerSeries("ampwright_listener_requests_total", kPointerOnly, "refused")),
             QStringLiteral("0"));
    QCOMPARE(metric(listenerSeries("ampwright_listener_requests_total", kPointerOnly, "failed")),
             QStringLiteral("0"));
    QVERIFY(lastPollOfUnit1() > before);
    QVERIFY2(started->messages.shown.isEmpty(), qPrintable(firstMessage(*started)));
}

void TestWindowThroughGateway::settingWritesPassAsTheListenerAllows_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("allowed");
    // The refused one first: the meter still has its CT ratio of 1.
    QTest::newRow("record pointer alone: refused") << QStringLiteral("503") << false;
    QTest::newRow("every write: written") << QStringLiteral("502") << true;
}

void TestWindowThroughGateway::settingWritesPassAsTheListenerAllows()
{
    QFETCH(QString, port);
    QFETCH(bool, allowed);
    const QString serial = meter_.unitSerials().value(2);
    auto started = openWindow(testsupport::binDir(), port, 2, [&](const StartedMainForm &s) {
        return ui::caption(s.window->controls().find(QStringLiteral("txtMeterSerial"))) == serial;
    });
    QVERIFY2(started, qPrintable(log_.right(2000)));
    auto *ratio = started->control<QComboBox>(QStringLiteral("Combo_CT_Ratio"));
    if (ratio->isEditable())
        ui::setCaption(ratio, QStringLiteral("200"));
    else
        ratio->setCurrentIndex(ratio->findText(QStringLiteral("200")));
    started->control<QPushButton>(QStringLiteral("cmdCTRatio1Set"))->click();

    if (allowed) {
        QVERIFY(meter_.waitForSettingWrites(1, kPatienceMs));
        QCOMPARE(testsupport::settingWrites(meter_.writes()), (QList<testsupport::MeterWrite>{{0x1022, {200}, 2}}));
        // The window's poll through the gateway reads the new ratio back.
        QTRY_COMPARE_WITH_TIMEOUT(ui::caption(started->window->controls().find(QStringLiteral("txt_CTRatio"))),
                                  QStringLiteral("200.0"), kPatienceMs);
    } else {
        // Refused at the listener, said in the log with the master's address;
        // nothing reached the meter.
        QTRY_VERIFY_WITH_TIMEOUT(log_.contains(QLatin1String("write of register 0x1022 of unit 2 (function 16) "
                                                             "refused: writes=lp")),
                                 kPatienceMs);
        QCOMPARE(metric(listenerSeries("ampwright_listener_requests_total", kPointerOnly, "refused")),
                 QStringLiteral("1"));
        QVERIFY(testsupport::settingWrites(meter_.writes()).isEmpty());
        // An exception is an answer: the window's link stays up.
        QTest::qWait(1500);
    }
    QVERIFY(started->window->link().LinkOnline());
}

QTEST_MAIN(TestWindowThroughGateway)
#include "test_window_through_gateway.moc"
