#include "main_form_starter.h"
#include "pseudo_terminal.h"
#include "window_appearance.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using testsupport::StartFormAnswer;

namespace {

const QColor kOnline(0x80, 0xFF, 0x80);
const QColor kOffline(0xFF, 0xC0, 0xC0);
const StartFormAnswer kTcp{QStringLiteral("Ethernet(TCP)"), QStringLiteral("English")};

} // namespace

class TestConnectionPanel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connectTwiceReturnsToTheOfflineAppearance();
    void failingSerialConnect_data();
    void failingSerialConnect();
    void reopensAPortLeftOpen();
    void emptyAddressChangesNothing();
    void badIpAddressStaysOffline_data();
    void badIpAddressStaysOffline();
    void tcpShowsOnlineAtOnceAndFailsWhenRefused();
    void tcpConnectThatNeverCompletesTimesOut();
    void goingOfflineMarksAnInterruptedDownload_data();
    void goingOfflineMarksAnInterruptedDownload();
    void modeSwitchChangesControlsAndBack();
    void failedTransactionTakesTheLinkOffline();
    void listsSetTheLink();

private:
    void clickOnLine(StartedMainForm &started)
    {
        started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    }

    std::unique_ptr<QTemporaryDir> comDir_;
    std::unique_ptr<testsupport::PseudoTerminal> terminal_;
};

void TestConnectionPanel::init()
{
    // Port 2 is a pseudo-terminal; every other number leads nowhere.
    comDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(comDir_->isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_->path().toLocal8Bit());
    terminal_ = std::make_unique<testsupport::PseudoTerminal>();
    QVERIFY(terminal_->isValid());
    QVERIFY(terminal_->linkAs(comDir_->filePath(QStringLiteral("COM2"))));
}

void TestConnectionPanel::cleanup()
{
    terminal_.reset();
    comDir_.reset();
}

void TestConnectionPanel::connectTwiceReturnsToTheOfflineAppearance()
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

void TestConnectionPanel::failingSerialConnect_data()
{
    QTest::addColumn<QString>("portText");
    QTest::newRow("no such port") << "9";
    QTest::newRow("not a number") << "COM2";
    QTest::newRow("number out of range") << "17";
    QTest::newRow("zero") << "0";
    QTest::newRow("busy port") << "2";
}

void TestConnectionPanel::failingSerialConnect()
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

void TestConnectionPanel::reopensAPortLeftOpen()
{
    StartedMainForm started;
    LinkState &link = started.window->link();
    QVERIFY(link.serial.setPortNumber(2));
    QVERIFY(link.serial.open());
    clickOnLine(started);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(link.LinkOnline());
    QVERIFY(link.serial.isOpen());
}

void TestConnectionPanel::emptyAddressChangesNothing()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    auto *address = started.control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"));
    address->setEditText(QString());
    const QStringList before = testsupport::linkAppearance(window.controls());
    clickOnLine(started);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, MessageKind::Critical);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box1);
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QCOMPARE(testsupport::linkAppearance(window.controls()), before);
}

void TestConnectionPanel::badIpAddressStaysOffline_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("three groups") << "192.168.1";
    QTest::newRow("trailing blank") << "192.168.1.250 ";
    QTest::newRow("empty") << "";
    QTest::newRow("letters") << "a.b.c.d";
}

void TestConnectionPanel::badIpAddressStaysOffline()
{
    QFETCH(QString, address);
    StartedMainForm started(kTcp);
    MainForm &window = *started.window;
    const auto &texts = window.language().texts();
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(address);
    const QStringList before = testsupport::linkAppearance(window.controls());
    clickOnLine(started);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, MessageKind::Exclamation);
    QCOMPARE(started.messages.shown.first().title, texts.strMsgBoxW);
    QCOMPARE(started.messages.shown.first().text,
             texts.online_CheckIP1 + QLatin1Char('\n') + texts.online_CheckIP2);
    QVERIFY(!window.link().LinkOnline());
    QCOMPARE(window.link().tcp.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(testsupport::linkAppearance(window.controls()), before);
}

void TestConnectionPanel::tcpShowsOnlineAtOnceAndFailsWhenRefused()
{
    // A port on which nothing listens: taken, then freed again.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress(QStringLiteral("127.0.0.31")), 502));
    probe.close();

    StartedMainForm started(kTcp);
    MainForm &window = *started.window;
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(QStringLiteral("127.0.0.31"));
    const QStringList offline = testsupport::linkAppearance(window.controls());
    clickOnLine(started);

    // Online at once, before the socket has an answer.
    QVERIFY(window.link().LinkOnline());
    QCOMPARE(caption(started.control<QWidget>(QStringLiteral("txt_Online"))),
             window.language().texts().online_ON);
    QVERIFY(started.messages.shown.isEmpty());

    QTRY_COMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box12);
    QVERIFY(!window.link().LinkOnline());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);
    QTest::qWait(200);
    QCOMPARE(started.messages.shown.size(), 1);
}

void TestConnectionPanel::tcpConnectThatNeverCompletesTimesOut()
{
    // A listener with a full accept queue: the kernel drops further
    // connection requests, so a connect neither completes nor fails.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    auto closeListener = qScopeGuard([listener] { ::close(listener); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(502);
    address.sin_addr.s_addr = htonl(0x7F000020); // 127.0.0.32
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    QVERIFY(::listen(listener, 0) == 0);
    QTcpSocket fillers[2];
    for (QTcpSocket &filler : fillers)
        filler.connectToHost(QStringLiteral("127.0.0.32"), 502);
    QTRY_VERIFY(fillers[0].state() == QAbstractSocket::ConnectedState);
    QTest::qWait(200);

    StartedMainForm started(kTcp);
    MainForm &window = *started.window;
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(QStringLiteral("127.0.0.32"));
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    QTest::qWait(ConnectionPanel::kTcpConnectTimeoutMs / 2);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(started.messages.shown.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(started.messages.shown.size(), 1,
                              ConnectionPanel::kTcpConnectTimeoutMs);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box12);
    QVERIFY(!window.link().LinkOnline());
    QCOMPARE(window.link().tcp.state(), QAbstractSocket::UnconnectedState);
}

void TestConnectionPanel::goingOfflineMarksAnInterruptedDownload_data()
{
    QTest::addColumn<bool>("downloading");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("marked");
    QTest::newRow("records left") << true << 4 << 10 << true;
    QTest::newRow("last block under way") << true << 10 << 10 << false;
    QTest::newRow("not downloading") << false << 4 << 10 << false;
}

void TestConnectionPanel::goingOfflineMarksAnInterruptedDownload()
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

void TestConnectionPanel::modeSwitchChangesControlsAndBack()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    const auto &texts = window.language().texts();
    auto *button = started.control<QPushButton>(QStringLiteral("CommModbusModeChange"));
    auto *baudLabel = started.control<QWidget>(QStringLiteral("lblBaudRate"));
    auto *stopLabel = started.control<QWidget>(QStringLiteral("lblStopBit"));

    button->click();
    QVERIFY(!window.link().RtuMode);
    QCOMPARE(button->text(), texts.change_modbus4);
    QCOMPARE(caption(baudLabel), texts.change_modbus5);
    QCOMPARE(caption(stopLabel), texts.change_modbus6);
    QVERIFY(started.control<QWidget>(QStringLiteral("Combo_CommPort"))->isHidden());
    QVERIFY(!started.control<QWidget>(QStringLiteral("IPAddress"))->isHidden());

    button->click();
    QVERIFY(window.link().RtuMode);
    QCOMPARE(button->text(), texts.change_modbus1);
    QCOMPARE(caption(baudLabel), texts.change_modbus2);
    QCOMPARE(caption(stopLabel), texts.change_modbus3);
    QVERIFY(!started.control<QWidget>(QStringLiteral("Combo_CommPort"))->isHidden());
    QVERIFY(started.control<QWidget>(QStringLiteral("IPAddress"))->isHidden());

    // Not while online.
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    window.connection().CommModbusModeChange_Click();
    QVERIFY(window.link().RtuMode);
}

void TestConnectionPanel::failedTransactionTakesTheLinkOffline()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    // Taking an offline link offline must not start a connection.
    window.connection().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());

    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    window.connection().setStatusText("Communication Error! Retry 3 times!");
    window.connection().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(!window.poll().Timer1Sec.isActive());
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(started.messages.shown.isEmpty());
}

void TestConnectionPanel::listsSetTheLink()
{
    StartedMainForm started;
    MainForm &window = *started.window;
    started.control<QComboBox>(QStringLiteral("Combo_BaudRate_Sel"))->setCurrentIndex(2);
    started.control<QComboBox>(QStringLiteral("Combo_StopBit"))->setCurrentIndex(1);
    QCOMPARE(window.link().serial.settings(), QStringLiteral("38400,n,8,2"));
    started.control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"))->setCurrentIndex(246);
    QCOMPARE(window.link().SlaveAddress, 247);
}

QTEST_MAIN(TestConnectionPanel)
#include "test_connection_panel.moc"
