// The poll cycle of the real main window against the simulated meter, over
// TCP and over a pseudo-terminal, on both measurement panels: the values and
// their formats, the panel the firmware selects, and what a failing read of
// block 2 (holding 0x1064, the second part of the main block) does.
#include "main_form_starter.h"
#include "metersim_process.h"

#include "gui/ui/caption.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

enum class Transport { Tcp, PseudoTerminal };

const QString kPanel0Firmware = QStringLiteral("V3705A00"); // 3705: panel 0, with CO2
const QString kPanel1Firmware = QStringLiteral("V2500A00"); // below 2601: panel 1
const QString kRFirmware = QStringLiteral("R1234567");     // the R layout: panel 1
const QString kStatusMarker = QStringLiteral("status before the cycle");
const QString kCommunicationError = QStringLiteral("Communication Error! Retry 3 times!");

// How long the poll gets to show what a test waits for. The waits run on the
// clock: QTRY_* count their steps, and one step that runs a whole TCP cycle
// lasts seconds.
constexpr int kPatienceMs = 15000;

// The read of block 2 as the meter sees it: function 3, start 0x1064.
const QString kBlock2 = QStringLiteral("reg=3:0x1064");

// Every TCP meter of this test listens at a loopback address of its own, apart
// from the other tests' meters, so that no meter meets a socket of another.
QString nextMeterAddress()
{
    static int host = 1;
    return QStringLiteral("127.0.40.%1").arg(host++);
}

// Whether the main-window session runs over TCP, named as the start form does.
QString connectionName(Transport transport)
{
    return transport == Transport::Tcp ? QStringLiteral("Ethernet(TCP)")
                                       : QStringLiteral("RS485(Modbus RTU)");
}

} // namespace

Q_DECLARE_METATYPE(Transport)

class TestPollWithMeter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void valuesShowInTheirFormatsOnTheFirmwarePanel_data();
    void valuesShowInTheirFormatsOnTheFirmwarePanel();
    void failedAttemptsOfBlock2AreRetriedInTheSameCycle_data();
    void failedAttemptsOfBlock2AreRetriedInTheSameCycle();
    void aReconnectOverALossyLineShowsNoWaitMessage();
    void failedBlock2TakesTheLinkOfflineAndKeepsEveryDisplay_data();
    void failedBlock2TakesTheLinkOfflineAndKeepsEveryDisplay();
    void refusedReadIsToldWhileItLastsAndEmptiesItsDisplays_data();
    void refusedReadIsToldWhileItLastsAndEmptiesItsDisplays();

private:
    // Starts the meter with the given options, starts the main window in the
    // transport's mode and clicks the connect button.
    void goOnline(Transport transport, const QStringList &meterOptions,
                  const QString &language = QStringLiteral("English"));
    // Runs the poll until the firmware text shows and the first values of a
    // cycle arrived on the panel of displayBase.
    void waitForFirstCycle(const QString &firmware, int displayBase);
    // Online to a meter with this firmware, its first cycle shown; false
    // when that failed (the failure is recorded).
    bool pollingWithFirmware(Transport transport, const QString &firmware, int displayBase)
    {
        goOnline(transport, {QStringLiteral("--firmware"), firmware});
        if (!QTest::currentTestFailed())
            waitForFirstCycle(firmware, displayBase);
        return !QTest::currentTestFailed();
    }
    QString shown(const QString &control) const;
    QString shown(const QString &control, int index) const;
    // The displays of one measurement panel that the cycle fills, one
    // "name: text" line each.
    QStringList panelDisplays(int displayBase) const;
    // Those and the shared displays filled from the main block and blocks 6
    // to 9 and 13.
    QStringList measurementDisplays(int displayBase) const;
    QString displayLine(const QString &name) const;
    // Holds the poll while the meter takes the commands and the status line
    // gets a marker text, then lets the poll go on.
    void changeMeterBetweenCycles(const QStringList &commands);
    // Appends "name: text" to changes_ whenever one of the line edits
    // changes its text.
    void recordChanges(const QStringList &controls);

    std::unique_ptr<QTemporaryDir> comDir_;
    std::unique_ptr<testsupport::MeterSim> meter_;
    std::unique_ptr<StartedMainForm> started_;
    QStringList changes_;
};

void TestPollWithMeter::initTestCase()
{
    // The displays follow the user's locale; a fixed one makes the texts exact.
    QLocale::setDefault(QLocale::c());
}

void TestPollWithMeter::init()
{
    comDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(comDir_->isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_->path().toLocal8Bit());
}

void TestPollWithMeter::cleanup()
{
    // The window goes first, so that it never waits on a meter that is gone.
    started_.reset();
    meter_.reset();
    comDir_.reset();
    changes_.clear();
}

void TestPollWithMeter::goOnline(Transport transport, const QStringList &meterOptions, const QString &language)
{
    QStringList arguments = meterOptions;
    const QString address = nextMeterAddress();
    if (transport == Transport::Tcp)
        arguments << QStringLiteral("--tcp") << address + QStringLiteral(":502");
    else
        arguments << QStringLiteral("--no-tcp") << QStringLiteral("--pty-link")
                  << comDir_->filePath(QStringLiteral("COM3"));
    meter_ = std::make_unique<testsupport::MeterSim>();
    QVERIFY2(meter_->start(arguments), qPrintable(meter_->errorString()));

    started_ = std::make_unique<StartedMainForm>(
        testsupport::StartFormAnswer{connectionName(transport), language});
    QVERIFY(started_->loaded);
    // The start-up's own messages (no serial port in TCP mode) are not the poll's.
    started_->messages.shown.clear();
    if (transport == Transport::Tcp)
        started_->control<QLineEdit>(QStringLiteral("IPAddress"))->setText(address);
    started_->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(started_->window->link().LinkOnline());
}

void TestPollWithMeter::waitForFirstCycle(const QString &firmware, int displayBase)
{
    QVERIFY2(QTest::qWaitFor([&] { return shown(QStringLiteral("txtFWver")) == firmware; },
                             kPatienceMs),
             qPrintable(shown(QStringLiteral("txtFWver"))));
    // The float ratios are the last read of a cycle.
    QVERIFY(QTest::qWaitFor([&] { return !shown(QStringLiteral("txtCTRatio2")).isEmpty(); },
                            kPatienceMs));
    QVERIFY(!shown(QStringLiteral("txt_V_N"), displayBase).isEmpty());
}

QString TestPollWithMeter::shown(const QString &control) const
{
    return ui::caption(started_->window->controls().find(control));
}

QString TestPollWithMeter::shown(const QString &control, int index) const
{
    return shown(ui::controlName(control, index));
}

QStringList TestPollWithMeter::panelDisplays(int displayBase) const
{
    struct Row {
        const char *control;
        int count; // indexes displayBase to displayBase + count - 1
    };
    static const Row kRows[] = {
        {"txt_V_N", 4},       {"txt_V_B", 4},        {"txt_I_Result", 4},
        {"txt_W_Result", 4},  {"txt_Var_Result", 4}, {"txt_VA_Result", 4},
        {"txt_PF_Result", 4}, {"txt_V_Angle", 3},    {"txt_I_Angle", 3},
        {"txt_kWh", 25},      {"txtFrequency", 1},
    };
    QStringList lines;
    for (const Row &row : kRows)
        for (int i = 0; i < row.count; ++i)
            lines << displayLine(
                ui::controlName(QLatin1String(row.control), displayBase + i));
    return lines;
}

QStringList TestPollWithMeter::measurementDisplays(int displayBase) const
{
    QStringList lines = panelDisplays(displayBase);
    for (const char *name : {"Text5", "txtMeterSerial", "txt_Wiring", "txt_Phasor", "txt_Dmd(0)",
                             "txt_Dmd(1)", "txt_Dmd(6)", "txt_PTRatio", "txt_CTRatio",
                             "txtPTRatio2", "txtCTRatio2"})
        lines << displayLine(QLatin1String(name));
    return lines;
}

QString TestPollWithMeter::displayLine(const QString &name) const
{
    const QWidget *control = started_->window->controls().find(name);
    return name + QStringLiteral(": ") + (control ? ui::caption(control) : QStringLiteral("missing"));
}

void TestPollWithMeter::changeMeterBetweenCycles(const QStringList &commands)
{
    // A held timer is a long pause between two cycles; none is running now,
    // as the test only runs between them.
    session::PollCycle &poll = started_->window->poll();
    QVERIFY(poll.running());
    poll.pause();
    for (const QString &command : commands) {
        QString reply;
        QVERIFY2(meter_->sendCommand(command, &reply),
                 qPrintable(command + QStringLiteral(": ") + reply));
    }
    started_->control<QLineEdit>(QStringLiteral("Text6"))->setText(kStatusMarker);
    poll.resume();
}

void TestPollWithMeter::recordChanges(const QStringList &controls)
{
    for (const QString &name : controls) {
        auto *edit = started_->control<QLineEdit>(name);
        connect(edit, &QLineEdit::textChanged, this, [this, name](const QString &text) {
            changes_ << name + QStringLiteral(": ") + text;
        });
    }
}

void TestPollWithMeter::valuesShowInTheirFormatsOnTheFirmwarePanel_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("displayBase");

    QTest::newRow("TCP, panel 0") << Transport::Tcp << kPanel0Firmware << 0;
    QTest::newRow("TCP, panel 1") << Transport::Tcp << kPanel1Firmware << 100;
    QTest::newRow("pseudo-terminal, panel 0") << Transport::PseudoTerminal << kPanel0Firmware << 0;
    QTest::newRow("pseudo-terminal, panel 1")
        << Transport::PseudoTerminal << kPanel1Firmware << 100;
    QTest::newRow("pseudo-terminal, R layout") << Transport::PseudoTerminal << kRFirmware << 100;
}

void TestPollWithMeter::valuesShowInTheirFormatsOnTheFirmwarePanel()
{
    QFETCH(Transport, transport);
    QFETCH(QString, firmware);
    QFETCH(int, displayBase);

    goOnline(transport, {QStringLiteral("--firmware"), firmware,
                         QStringLiteral("--voltage"), QStringLiteral("230"),
                         QStringLiteral("--frequency"), QStringLiteral("59.996"),
                         QStringLiteral("--float"), QStringLiteral("input:0x1098=0.5"),
                         QStringLiteral("--float"), QStringLiteral("input:0x10D4=12.5"),
                         QStringLiteral("--u16"), QStringLiteral("holding:0x1021=1234"),
                         QStringLiteral("--u16"), QStringLiteral("holding:0x1022=150")});
    if (QTest::currentTestFailed())
        return;
    const int otherBase = 100 - displayBase;
    const QStringList otherPanelBefore = panelDisplays(otherBase);

    waitForFirstCycle(firmware, displayBase);
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(shown(QStringLiteral("txt_W_Result"), displayBase), QStringLiteral("0.5000000"));
    QCOMPARE(shown(QStringLiteral("txt_V_N"), displayBase), QStringLiteral("230.00000"));
    QCOMPARE(shown(QStringLiteral("txtFrequency"), displayBase), QStringLiteral("60.00"));
    QCOMPARE(shown(QStringLiteral("txt_PTRatio")), QStringLiteral("123.4"));
    QCOMPARE(shown(QStringLiteral("txt_CTRatio")), QStringLiteral("150.0"));
    // The per-phase energies of block 8 and the copies of the totals.
    QCOMPARE(shown(QStringLiteral("txt_kWh"), displayBase + 5), QStringLiteral("12.5000"));
    QCOMPARE(shown(QStringLiteral("txt_kWh"), displayBase + 20),
             shown(QStringLiteral("txt_kWh"), displayBase));

    // Only the firmware's panel is shown, and the other panel's displays are
    // left as they were.
    const ui::ControlMap &controls = started_->window->controls();
    QCOMPARE(controls.find(QStringLiteral("SSTab2(0)"))->isHidden(), displayBase != 0);
    QCOMPARE(controls.find(QStringLiteral("SSTab2(1)"))->isHidden(), displayBase != 100);
    QCOMPARE(panelDisplays(otherBase), otherPanelBefore);

    QVERIFY(started_->window->link().LinkOnline());
    QVERIFY(started_->messages.shown.isEmpty());
}

void TestPollWithMeter::failedAttemptsOfBlock2AreRetriedInTheSameCycle_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("displayBase");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("failedAttempts"); // of the three
    QTest::addColumn<QString>("attemptMessage"); // what a failed attempt shows, if anything

    // TCP has neither a CRC nor an address check, so its attempt fails by
    // getting no answer; the serial link sees the corrupt answers as well.
    QTest::newRow("TCP, panel 0, no answer")
        << Transport::Tcp << kPanel0Firmware << 0 << QStringLiteral("drop") << 1 << QString();
    QTest::newRow("TCP, panel 1, no answer twice")
        << Transport::Tcp << kPanel1Firmware << 100 << QStringLiteral("drop") << 2 << QString();
    QTest::newRow("pseudo-terminal, panel 0, bad CRC") << Transport::PseudoTerminal
        << kPanel0Firmware << 0 << QStringLiteral("crc") << 1 << QStringLiteral("CRC Error");
    QTest::newRow("pseudo-terminal, panel 1, wrong address twice") << Transport::PseudoTerminal
        << kPanel1Firmware << 100 << QStringLiteral("address") << 2
        << QStringLiteral("Address Error");
}

void TestPollWithMeter::failedAttemptsOfBlock2AreRetriedInTheSameCycle()
{
    QFETCH(Transport, transport);
    QFETCH(QString, firmware);
    QFETCH(int, displayBase);
    QFETCH(QString, fault);
    QFETCH(int, failedAttempts);
    QFETCH(QString, attemptMessage);

    if (!pollingWithFirmware(transport, firmware, displayBase))
        return;

    const QString voltage = ui::controlName(QStringLiteral("txt_V_N"), displayBase);
    const QString status = QStringLiteral("Text6");
    recordChanges({voltage, status});
    // The first cycle after the pause meets the rule at block 2.
    const QString rule = QStringLiteral("%1@%2,times=%3").arg(fault, kBlock2).arg(failedAttempts);
    changeMeterBetweenCycles({rule, QStringLiteral("setf input:0x1080=231.5")});
    if (QTest::currentTestFailed())
        return;

    // That same cycle retries, shows the voltage of its main block and then
    // clears the status line.
    QStringList expected{status + QStringLiteral(": ") + kStatusMarker};
    if (!attemptMessage.isEmpty())
        expected << status + QStringLiteral(": ") + attemptMessage;
    expected << voltage + QStringLiteral(": 231.50000") << status + QStringLiteral(": ");
    // Compared whether or not they all came, so that a failure shows them.
    static_cast<void>(
        QTest::qWaitFor([&] { return changes_.size() >= expected.size(); }, kPatienceMs));
    QCOMPARE(changes_, expected);
    QVERIFY(started_->window->link().LinkOnline());
    QVERIFY(started_->window->poll().running());
    QVERIFY(started_->messages.shown.isEmpty());
}

void TestPollWithMeter::aReconnectOverALossyLineShowsNoWaitMessage()
{
    // Every fourth answer lost: the cycle after going online again waits out
    // lost answers between its main block and the end of its reads, so a
    // status shown at the main block stays up for seconds. The meter's record
    // count is the same as before: the record lists need no waiting for.
    goOnline(Transport::PseudoTerminal, {QStringLiteral("--fault"), QStringLiteral("drop@every=4")});
    QVERIFY(QTest::qWaitFor([&] { return started_->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->count() == 100; },
                            kPatienceMs));
    auto *connect = started_->control<QPushButton>(QStringLiteral("cmdOnLine"));
    connect->click();
    QVERIFY(!started_->window->link().LinkOnline());
    started_->control<QLineEdit>(QStringLiteral("Text6"))->setText(kStatusMarker);
    recordChanges({QStringLiteral("Text6")});
    connect->click();
    // The first cycle clears the status line once its reads got that far.
    QVERIFY(QTest::qWaitFor([&] { return !changes_.isEmpty(); }, kPatienceMs));
    QCOMPARE(changes_, QStringList{QStringLiteral("Text6: ")});
}

void TestPollWithMeter::failedBlock2TakesTheLinkOfflineAndKeepsEveryDisplay_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("displayBase");
    QTest::addColumn<QString>("fault");

    QTest::newRow("TCP, panel 0, no answer")
        << Transport::Tcp << kPanel0Firmware << 0 << QStringLiteral("drop");
    QTest::newRow("TCP, panel 1, no answer")
        << Transport::Tcp << kPanel1Firmware << 100 << QStringLiteral("drop");
    QTest::newRow("pseudo-terminal, panel 0, no answer")
        << Transport::PseudoTerminal << kPanel0Firmware << 0 << QStringLiteral("drop");
    QTest::newRow("pseudo-terminal, panel 1, bad CRC")
        << Transport::PseudoTerminal << kPanel1Firmware << 100 << QStringLiteral("crc");
}

void TestPollWithMeter::failedBlock2TakesTheLinkOfflineAndKeepsEveryDisplay()
{
    QFETCH(Transport, transport);
    QFETCH(QString, firmware);
    QFETCH(int, displayBase);
    QFETCH(QString, fault);

    if (!pollingWithFirmware(transport, firmware, displayBase))
        return;
    if (displayBase == 0) {
        // The CO2 firmware has had its CO2 values read.
        QVERIFY(!shown(QStringLiteral("txtCO2")).isEmpty());
        QVERIFY(started_->control<QWidget>(QStringLiteral("cmdSetCO2"))->isEnabled());
    }

    // New values of every block the cycle reads after block 2; the meter
    // clock in the main block moves on by itself.
    const QStringList before = measurementDisplays(displayBase);
    recordChanges({QStringLiteral("Text6")});
    changeMeterBetweenCycles({fault + u'@' + kBlock2, QStringLiteral("setf input:0x1080=231.5"),
                              QStringLiteral("setf input:0x1098=0.75"),
                              QStringLiteral("setf input:0x107E=49.5"),
                              QStringLiteral("setf input:0x10C6=99.5"),
                              QStringLiteral("setf input:0x10D4=1.25"),
                              QStringLiteral("setf input:0x11A2=9.5"),
                              QStringLiteral("set holding:0x1021=2000"),
                              QStringLiteral("set holding:0x1022=400"),
                              QStringLiteral("setf holding:0x0000=7.5")});
    if (QTest::currentTestFailed())
        return;

    QVERIFY(QTest::qWaitFor([&] { return !started_->window->link().LinkOnline(); }, kPatienceMs));
    // The message of the final failure stays: the cycle did not go on to
    // clear the status line.
    QVERIFY(!changes_.isEmpty());
    QCOMPARE(changes_.last(), QStringLiteral("Text6: ") + kCommunicationError);
    QCOMPARE(shown(QStringLiteral("Text6")), kCommunicationError);
    QVERIFY(!started_->window->poll().running());
    QCOMPARE(measurementDisplays(displayBase), before);
    if (displayBase == 0) {
        // A failure before the CO2 read blanks the CO2 values.
        QCOMPARE(shown(QStringLiteral("txtCO2")), QString());
        QCOMPARE(shown(QStringLiteral("txtCO2_out")), QString());
    }
    QVERIFY(started_->messages.shown.isEmpty());
}

void TestPollWithMeter::refusedReadIsToldWhileItLastsAndEmptiesItsDisplays_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("emptied"); // controls the refused read fills
    QTest::addColumn<QString>("later");       // a control a later read of the cycle fills
    QTest::addColumn<QString>("message");

    const QStringList mainBlock{"txt_V_N(0)", "txt_kWh(0)", "txt_kWh(20)", "Text5", "txtMeterSerial", "txtLPInterval(0)"};
    QTest::newRow("English, TCP, block 2")
        << Transport::Tcp << QStringLiteral("English") << QStringLiteral("exception:2@reg=3:0x1064") << mainBlock
        << QStringLiteral("txtFrequency(0)")
        << QStringLiteral("The meter refused the read of register 0x1064 (function 03): exception 02.");
    QTest::newRow("Chinese, pseudo-terminal, block 2")
        << Transport::PseudoTerminal << QStringLiteral("中文") << QStringLiteral("exception:2@reg=3:0x1064")
        << mainBlock << QStringLiteral("txtFrequency(0)")
        << QStringLiteral("電表拒絕讀取暫存器 0x1064（功能碼 03）：例外碼 02。");
    QTest::newRow("Japanese, TCP, CO2")
        << Transport::Tcp << QStringLiteral("日本語") << QStringLiteral("exception:4@reg=4:0x044C")
        << QStringList{"txtCO2", "txtCO2_out"} << QStringLiteral("txtPTRatio2")
        << QStringLiteral("メーターはレジスタ 0x044C の読み出しを拒否しました（ファンクション 04、例外コード 04）。");
}

void TestPollWithMeter::refusedReadIsToldWhileItLastsAndEmptiesItsDisplays()
{
    QFETCH(Transport, transport);
    QFETCH(QString, language);
    QFETCH(QString, rule);
    QFETCH(QStringList, emptied);
    QFETCH(QString, later);
    QFETCH(QString, message);

    goOnline(transport, {QStringLiteral("--firmware"), kPanel0Firmware}, language);
    if (QTest::currentTestFailed())
        return;
    waitForFirstCycle(kPanel0Firmware, 0);
    if (QTest::currentTestFailed())
        return;
    for (const QString &control : emptied)
        QVERIFY2(!shown(control).isEmpty(), qPrintable(control));
    const QString laterBefore = shown(later);

    // The meter refuses the read from now on; the later reads give new values.
    changeMeterBetweenCycles({rule, QStringLiteral("setf input:0x107E=49.5"), QStringLiteral("setf holding:0x0000=7.5")});
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")) == message; }, kPatienceMs),
             qPrintable(shown(QStringLiteral("Text6"))));
    QVERIFY(QTest::qWaitFor([&] { return shown(later) != laterBefore; }, kPatienceMs));
    for (const QString &control : emptied)
        QVERIFY2(shown(control).isEmpty(), qPrintable(control + QStringLiteral(": ") + shown(control)));
    // It stays told through later cycles, and the link stays online.
    recordChanges({QStringLiteral("Text6")});
    QTest::qWait(1500);
    QCOMPARE(shown(QStringLiteral("Text6")), message);
    QVERIFY(started_->window->link().LinkOnline());
    QVERIFY(started_->messages.shown.isEmpty());

    // Answered again: the message goes and the displays fill.
    QVERIFY(meter_->sendCommand(QStringLiteral("clear-faults")));
    QVERIFY(QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")).isEmpty(); }, kPatienceMs));
    for (const QString &control : emptied)
        QVERIFY(QTest::qWaitFor([&] { return !shown(control).isEmpty(); }, kPatienceMs));
}

QTEST_MAIN(TestPollWithMeter)
#include "test_poll_with_meter.moc"
