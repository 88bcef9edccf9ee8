#include "link/transaction_link.h"
#include "main_form_starter.h"
#include "pseudo_terminal.h"
#include "window_appearance.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QColor kOnline(0x80, 0xFF, 0x80);
const QColor kOffline(0xFF, 0xC0, 0xC0);

} // namespace

// Going online and offline as the whole window shows it: every subsystem
// follows the link by itself, and together they give the window's online
// and offline appearance.
class TestOnlineState : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connectTwiceReturnsToTheOfflineAppearance();
    void failingSerialConnect_data();
    void failingSerialConnect();
    void goingOfflineMarksAnInterruptedDownload_data();
    void goingOfflineMarksAnInterruptedDownload();
    void failedTransactionTakesTheLinkOffline();

private:
    void clickOnLine(StartedMainForm &started)
    {
        started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    }

    std::unique_ptr<QTemporaryDir> comDir_;
    std::unique_ptr<testsupport::PseudoTerminal> terminal_;
};

void TestOnlineState::init()
{
    // Port 2 is a pseudo-terminal; every other number leads nowhere.
    comDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(comDir_->isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_->path().toLocal8Bit());
    terminal_ = std::make_unique<testsupport::PseudoTerminal>();
    QVERIFY(terminal_->isValid());
    QVERIFY(terminal_->linkAs(comDir_->filePath(QStringLiteral("COM2"))));
}

void TestOnlineState::cleanup()
{
    terminal_.reset();
    comDir_.reset();
}

void TestOnlineState::connectTwiceReturnsToTheOfflineAppearance()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    const auto &texts = window.language().texts();
    const QStringList offline = testsupport::linkAppearance(window.controls());

    clickOnLine(started);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(window.link().LinkOnline());
    QVERIFY(window.link().serial.isOpen());
    QCOMPARE(window.link().serial.portNumber(), 2);
    QVERIFY(window.poll().Timer1Sec.isActive());
    QVERIFY(window.poll().FirmwareReadPending);
    QCOMPARE(caption(started.control<QWidget>(QStringLiteral("cmdOnLine"))), texts.online_OFF);
    QCOMPARE(caption(started.control<QWidget>(QStringLiteral("txt_Online"))), texts.online_ON);
    QCOMPARE(backColor(started.control<QWidget>(QStringLiteral("txt_Online_c"))), kOnline);
    for (const char *name : {"cmdModbusAddSet", "Command8", "cmdReadLP2", "cmbLPReadGroupSel1",
                             "cmdPhaseShow(0)", "cmdPhaseShow(1)"})
        QVERIFY2(started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
    for (const char *name : {"Combo_CommPort", "Combo_Modbus_add_sel", "Combo_BaudRate_Sel",
                             "Combo_StopBit", "CommModbusModeChange", "langCheck",
                             "Combo_Languages", "cmdSetCO2"})
        QVERIFY2(!started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
    QVERIFY(started.control<LockableComboBox>(QStringLiteral("Combo_CommPort"))->isLocked());

    clickOnLine(started);
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(!window.poll().Timer1Sec.isActive());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);
    QCOMPARE(backColor(started.control<QWidget>(QStringLiteral("txt_Online_c"))), kOffline);
    QVERIFY(started.messages.shown.isEmpty());
}

void TestOnlineState::failingSerialConnect_data()
{
    QTest::addColumn<QString>("portText");
    QTest::newRow("no such port") << "9";
    QTest::newRow("not a number") << "COM2";
    QTest::newRow("number out of range") << "17";
    QTest::newRow("zero") << "0";
    QTest::newRow("busy port") << "2";
}

void TestOnlineState::failingSerialConnect()
{
    QFETCH(QString, portText);
    StartedMainForm started;
    MainForm &window = *started.window;
    const QStringList offline = testsupport::linkAppearance(window.controls());

    QSerialPort holder(comDir_->filePath(QStringLiteral("COM2")));
    if (portText == QLatin1String("2"))
        QVERIFY(holder.open(QIODevice::ReadWrite));
    started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->setEditText(portText);
    clickOnLine(started);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, MessageKind::Critical);
    QCOMPARE(started.messages.shown.first().title, window.language().texts().strMsgBoxerr);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box9);
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.poll().Timer1Sec.isActive());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);

    // The window is ready for the next attempt.
    holder.close();
    started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->setEditText(QStringLiteral("2"));
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    QCOMPARE(started.messages.shown.size(), 1);
}

void TestOnlineState::goingOfflineMarksAnInterruptedDownload_data()
{
    QTest::addColumn<bool>("downloading");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("marked");
    QTest::newRow("records left") << true << 4 << 10 << true;
    QTest::newRow("last block under way") << true << 10 << 10 << false;
    QTest::newRow("not downloading") << false << 4 << 10 << false;
}

void TestOnlineState::goingOfflineMarksAnInterruptedDownload()
{
    QFETCH(bool, downloading);
    QFETCH(int, next);
    QFETCH(int, last);
    QFETCH(bool, marked);
    StartedMainForm started;
    MainForm &window = *started.window;
    auto *start = started.control<QWidget>(QStringLiteral("Command8"));
    const QColor normal = backColor(start);
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());

    DownloadState &download = window.download();
    download.LPDownloading = downloading;
    download.LPNextRecord = next;
    download.LPLastRecord = last;
    download.Timer_RS_Lpf.start();
    clickOnLine(started);
    QVERIFY(!download.Timer_RS_Lpf.isActive());
    QCOMPARE(backColor(start), marked ? QColor(0xFF, 0x80, 0x80) : normal);
}

void TestOnlineState::failedTransactionTakesTheLinkOffline()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    // Taking an offline link offline must not start a connection.
    window.transactionLink().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());

    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    window.transactionLink().setStatusText("Communication Error! Retry 3 times!");
    window.transactionLink().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(!window.poll().Timer1Sec.isActive());
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(TestOnlineState)
#include "test_online_state.moc"
