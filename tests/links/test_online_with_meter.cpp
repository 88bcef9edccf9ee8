// Going online to the simulated meter over TCP and over a pseudo-terminal,
// and losing a meter that does not answer.
#include "main_form_starter.h"
#include "metersim_process.h"
#include "pseudo_terminal.h"
#include "window_appearance.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::StartFormAnswer;

namespace {

const QString kMeterAddress = QStringLiteral("127.0.0.24");
const QString kFirmware = QStringLiteral("V3705A00");

QString firmwareShown(const StartedMainForm &started)
{
    return ui::caption(started.control<QWidget>(QStringLiteral("txtFWver")));
}

} // namespace

class TestOnlineWithMeter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void overTcp();
    void overPseudoTerminal();
    void silentMeterTakesTheLinkOffline();

private:
    std::unique_ptr<QTemporaryDir> comDir_;
};

void TestOnlineWithMeter::init()
{
    comDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(comDir_->isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_->path().toLocal8Bit());
}

void TestOnlineWithMeter::overTcp()
{
    testsupport::MeterSim meter;
    QVERIFY2(meter.start({QStringLiteral("--tcp"), kMeterAddress + QStringLiteral(":502"),
                          QStringLiteral("--firmware"), kFirmware}),
             qPrintable(meter.errorString()));

    StartedMainForm started({QStringLiteral("Ethernet(TCP)"), QStringLiteral("English")});
    app::MainForm &window = *started.window;
    started.messages.shown.clear();
    const QStringList offline = testsupport::linkAppearance(window.controls());
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(kMeterAddress);
    const QStringList offlineWithAddress = testsupport::linkAppearance(window.controls());
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(window.link().LinkOnline());

    QTRY_VERIFY(window.link().tcp.isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(firmwareShown(started), kFirmware, 10000);
    // The poll keeps the link up.
    QTest::qWait(1000);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(!started.control<QLineEdit>(QStringLiteral("txt_V_N(0)"))->text().isEmpty());
    QVERIFY(started.messages.shown.isEmpty());

    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!window.link().LinkOnline());
    QCOMPARE(window.link().tcp.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(testsupport::linkAppearance(window.controls()), offlineWithAddress);
    QVERIFY(offline != offlineWithAddress);
}

void TestOnlineWithMeter::overPseudoTerminal()
{
    testsupport::MeterSim meter;
    QVERIFY2(meter.start({QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"),
                          comDir_->filePath(QStringLiteral("COM3")), QStringLiteral("--firmware"),
                          kFirmware}),
             qPrintable(meter.errorString()));

    StartedMainForm started;
    app::MainForm &window = *started.window;
    auto *ports = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->currentText(), QStringLiteral("3"));
    QVERIFY(started.messages.shown.isEmpty());

    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(window.link().LinkOnline());
    QVERIFY(window.link().serial.isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(firmwareShown(started), kFirmware, 10000);
    QTest::qWait(1000);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(started.messages.shown.isEmpty());

    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
}

void TestOnlineWithMeter::silentMeterTakesTheLinkOffline()
{
    // A port with nothing behind it: every request goes unanswered.
    testsupport::PseudoTerminal terminal;
    QVERIFY(terminal.isValid());
    QVERIFY(terminal.linkAs(comDir_->filePath(QStringLiteral("COM1"))));

    StartedMainForm started;
    app::MainForm &window = *started.window;
    const QStringList offline = testsupport::linkAppearance(window.controls());
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(window.link().LinkOnline());

    // Three unanswered attempts of about a second each, then offline.
    QTRY_VERIFY_WITH_TIMEOUT(!window.link().LinkOnline(), 8000);
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(!window.poll().running());
    QVERIFY(started.messages.shown.isEmpty());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);
}

QTEST_MAIN(TestOnlineWithMeter)
#include "test_online_with_meter.moc"
