#include "links/transaction_link.h"
#include "main_form_starter.h"
#include "process_usage.h"
#include "pseudo_terminal.h"
#include "window_appearance.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const QColor kOnline(0x80, 0xFF, 0x80);
const QColor kOffline(0xFF, 0xC0, 0xC0);
const testsupport::StartFormAnswer kTcp{QStringLiteral("Ethernet(TCP)"),
                                       QStringLiteral("English")};

// A device at 127.0.0.33:502 that streams bytes at whoever connects instead
// of answering Modbus: at most kLimit bytes and 60 s, ending earlier when the
// connection is closed.
class StreamingPeer {
public:
    static constexpr long long kLimit = 1LL << 30;

    bool listen()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int reuse = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(502);
        address.sin_addr.s_addr = htonl(0x7F000021);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(listener_, 1) != 0)
            return false;
        thread_ = std::thread([this] { stream(); });
        return true;
    }

    ~StreamingPeer()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }

    std::atomic<long long> sent{0};

private:
    void stream()
    {
        const int peer = ::accept(listener_, nullptr, nullptr);
        if (peer < 0)
            return;
        const timeval timeout{0, 200'000};
        ::setsockopt(peer, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        char chunk[65536];
        for (std::size_t i = 0; i < sizeof chunk; ++i)
            chunk[i] = char(i * 7);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop_ && sent < kLimit && std::chrono::steady_clock::now() < end) {
            const ssize_t n = ::send(peer, chunk, sizeof chunk, MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        ::close(peer);
    }

    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};


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
    void goingOfflineMarksAnInterruptedDownload();
    void failedTransactionTakesTheLinkOffline();
    void peerThatStreamsIsTakenOfflineWithFlatMemory();
    void lostSerialDeviceTakesTheLinkOfflineAtOnce();

private:
    void clickOnLine(StartedMainForm &started)
    {
        started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    }

    std::unique_ptr<testsupport::PseudoTerminalPort> port_;
};

void TestOnlineState::init()
{
    port_ = std::make_unique<testsupport::PseudoTerminalPort>();
    QVERIFY(port_->isValid());
}

void TestOnlineState::cleanup() { port_.reset(); }

void TestOnlineState::connectTwiceReturnsToTheOfflineAppearance()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    const auto &texts = window.language().texts();
    const QStringList offline = testsupport::linkAppearance(window.controls());

    clickOnLine(started);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(window.link().LinkOnline());
    QVERIFY(window.link().serial.isOpen());
    QCOMPARE(window.link().serial.portNumber(), 2);
    QVERIFY(window.poll().running());
    QVERIFY(window.poll().firmwareReadPending());
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("cmdOnLine"))), texts.online_OFF);
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("txt_Online"))), texts.online_ON);
    QCOMPARE(ui::backColor(started.control<QWidget>(QStringLiteral("txt_Online_c"))), kOnline);
    for (const char *name : {"cmdModbusAddSet", "Command8", "cmdReadLP2", "cmbLPReadGroupSel1",
                             "cmdPhaseShow(0)", "cmdPhaseShow(1)"})
        QVERIFY2(started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
    for (const char *name : {"Combo_CommPort", "Combo_Modbus_add_sel", "Combo_BaudRate_Sel",
                             "Combo_StopBit", "CommModbusModeChange", "langCheck",
                             "Combo_Languages", "cmdSetCO2"})
        QVERIFY2(!started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
    QVERIFY(started.control<ui::LockableComboBox>(QStringLiteral("Combo_CommPort"))->isLocked());

    clickOnLine(started);
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(!window.poll().running());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);
    QCOMPARE(ui::backColor(started.control<QWidget>(QStringLiteral("txt_Online_c"))), kOffline);
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
    app::MainForm &window = *started.window;
    const QStringList offline = testsupport::linkAppearance(window.controls());

    QSerialPort holder(port_->linkPath());
    if (portText == QLatin1String("2"))
        QVERIFY(holder.open(QIODevice::ReadWrite));
    started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->setEditText(portText);
    clickOnLine(started);

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, ui::MessageKind::Critical);
    QCOMPARE(started.messages.shown.first().title, window.language().texts().strMsgBoxerr);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box9);
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.poll().running());
    QCOMPARE(testsupport::linkAppearance(window.controls()), offline);

    // The window is ready for the next attempt.
    holder.close();
    started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->setEditText(QStringLiteral("2"));
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    QCOMPARE(started.messages.shown.size(), 1);
}

// Which downloads going offline interrupts is the download job's (its own
// test); the window marks the start button of one that was.
void TestOnlineState::goingOfflineMarksAnInterruptedDownload()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    auto *start = started.control<QWidget>(QStringLiteral("Command8"));
    const QColor normal = ui::backColor(start);
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    clickOnLine(started);
    QCOMPARE(ui::backColor(start), normal);
    emit window.downloadPace().interrupted();
    QCOMPARE(ui::backColor(start), QColor(0xFF, 0x80, 0x80));
}

void TestOnlineState::failedTransactionTakesTheLinkOffline()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    // Taking an offline link offline must not start a connection.
    window.transactionLink().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());

    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    window.transactionLink().setStatusText("Communication Error! Retry 3 times!");
    window.transactionLink().takeLinkOffline();
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(!window.poll().running());
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(started.messages.shown.isEmpty());
}

void TestOnlineState::peerThatStreamsIsTakenOfflineWithFlatMemory()
{
    StreamingPeer peer;
    QVERIFY(peer.listen());
    StartedMainForm started(kTcp);
    app::MainForm &window = *started.window;
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(QStringLiteral("127.0.0.33"));
    const double memoryBefore = testsupport::residentMiB();

    // The window's event loop keeps turning: the longest pause between beats.
    QElapsedTimer sinceBeat;
    qint64 longestPause = 0;
    QTimer beat;
    beat.setInterval(20);
    connect(&beat, &QTimer::timeout, this,
            [&] { longestPause = std::max(longestPause, sinceBeat.restart()); });
    sinceBeat.start();
    beat.start();

    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(QTest::qWaitFor([&] { return !window.link().LinkOnline(); }, 20'000));
    beat.stop();

    QVERIFY(peer.sent > 0);
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(started.messages.shown.isEmpty());
    const double growth = testsupport::residentMiB() - memoryBefore;
    QVERIFY2(growth < 64, qPrintable(QStringLiteral("memory grew by %1 MiB").arg(growth)));
    QVERIFY2(longestPause < 500,
             qPrintable(QStringLiteral("the window stood still for %1 ms").arg(longestPause)));
}

void TestOnlineState::lostSerialDeviceTakesTheLinkOfflineAtOnce()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());

    // The other end of the port's pseudo-terminal closes, as when an adapter
    // is pulled out.
    QElapsedTimer sinceLost;
    sinceLost.start();
    const double cpuBefore = testsupport::cpuSeconds();
    port_->closeTerminal();
    QVERIFY(QTest::qWaitFor([&] { return !window.link().LinkOnline(); }, 5000));
    QVERIFY2(sinceLost.elapsed() < 1000, qPrintable(QString::number(sinceLost.elapsed())));
    QTest::qWait(1000);
    const double cpuShare = (testsupport::cpuSeconds() - cpuBefore) / (double(sinceLost.elapsed()) / 1000.0);
    QVERIFY2(cpuShare < 0.2, qPrintable(QStringLiteral("CPU share %1").arg(cpuShare)));
    QCOMPARE(started.control<QLineEdit>(QStringLiteral("Text6"))->text(),
             QStringLiteral("Communication Error! Serial port lost!"));
    QVERIFY(!window.link().serial.isOpen());
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(TestOnlineState)
#include "test_online_state.moc"
