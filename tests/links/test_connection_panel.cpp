#include "gui/links/connection_panel.h"
#include "gui/links/connection_row.h"
#include "gui/links/port_scan.h"
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "i18n/language_texts.h"
#include "links/link_state.h"
#include "pseudo_terminal.h"
#include "recording_messages.h"
#include "test_paths.h"
#include "window_appearance.h"

#include <QComboBox>
#include <QFrame>
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

namespace {

constexpr bool kTcp = false;

// The connection row alone on a bare widget, with its panel, the link, the
// English texts and recorded messages, prepared as the window's start-up
// prepares it: lists filled, ports scanned, offline.
class PanelWindow {
public:
    PanelWindow(testsupport::RecordingMessages &messages, bool rtuMode)
    {
        const QString english = i18n::findFileInFolder(
            testsupport::binDir(), i18n::languageFileName(i18n::Language::English));
        texts_ = i18n::LanguageTexts::read(
            i18n::IniFile::load(english, i18n::codePageOf(i18n::Language::English)));
        auto *frame = new QFrame(&root_);
        frame->setObjectName(QStringLiteral("Frame9(1)"));
        links::buildConnectionRow(frame);
        link_.RtuMode = rtuMode;
        panel_ = std::make_unique<links::ConnectionPanel>(link_, texts_, messages, controls_);
        panel_->showModeControls(rtuMode);
        links::PortScan(link_, *controls_.require<QComboBox>(QStringLiteral("Combo_CommPort")), texts_,
                 messages)
            .scan(true);
        links::fillConnectionLists(controls_);
        panel_->showInitialState();
    }

    links::LinkState &link() { return link_; }
    const ui::ControlMap &controls() const { return controls_; }
    const PanelWindow &language() const { return *this; }
    const i18n::LanguageTexts &texts() const { return texts_; }
    links::ConnectionPanel &connection() { return *panel_; }

private:
    QWidget root_;
    ui::ControlMap controls_{&root_};
    links::LinkState link_;
    i18n::LanguageTexts texts_;
    std::unique_ptr<links::ConnectionPanel> panel_;
};

struct StartedPanel {
    testsupport::RecordingMessages messages;
    std::unique_ptr<PanelWindow> window;

    explicit StartedPanel(bool rtuMode = true)
        : window(std::make_unique<PanelWindow>(messages, rtuMode))
    {
    }

    template <class T>
    T *control(const QString &name) const
    {
        return window->controls().require<T>(name);
    }
};

} // namespace

class TestConnectionPanel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void reopensAPortLeftOpen();
    void emptyAddressChangesNothing();
    void badIpAddressStaysOffline_data();
    void badIpAddressStaysOffline();
    void tcpShowsOnlineAtOnceAndFailsWhenRefused();
    void tcpConnectThatNeverCompletesTimesOut();
    void modeSwitchChangesControlsAndBack();
    void listsSetTheLink();

private:
    void clickOnLine(StartedPanel &started)
    {
        started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    }

    std::unique_ptr<testsupport::PseudoTerminalPort> port_;
};

void TestConnectionPanel::init()
{
    port_ = std::make_unique<testsupport::PseudoTerminalPort>();
    QVERIFY(port_->isValid());
}

void TestConnectionPanel::cleanup() { port_.reset(); }

void TestConnectionPanel::reopensAPortLeftOpen()
{
    StartedPanel started;
    links::LinkState &link = started.window->link();
    QVERIFY(link.serial.setPortNumber(2));
    QVERIFY(link.serial.open());
    clickOnLine(started);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(link.LinkOnline());
    QVERIFY(link.serial.isOpen());
}

void TestConnectionPanel::emptyAddressChangesNothing()
{
    StartedPanel started;
    PanelWindow &window = *started.window;
    auto *address = started.control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"));
    address->setEditText(QString());
    const QStringList before = testsupport::linkAppearance(window.controls());
    clickOnLine(started);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, ui::MessageKind::Critical);
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
    StartedPanel started(kTcp);
    PanelWindow &window = *started.window;
    const auto &texts = window.language().texts();
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(address);
    const QStringList before = testsupport::linkAppearance(window.controls());
    clickOnLine(started);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, ui::MessageKind::Exclamation);
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

    StartedPanel started(kTcp);
    PanelWindow &window = *started.window;
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(QStringLiteral("127.0.0.31"));
    const QStringList offline = testsupport::linkAppearance(window.controls());
    clickOnLine(started);

    // Online at once, before the socket has an answer.
    QVERIFY(window.link().LinkOnline());
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("txt_Online"))),
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

    StartedPanel started(kTcp);
    PanelWindow &window = *started.window;
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(QStringLiteral("127.0.0.32"));
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    QTest::qWait(links::ConnectionPanel::kTcpConnectTimeoutMs / 2);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(started.messages.shown.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(started.messages.shown.size(), 1,
                              links::ConnectionPanel::kTcpConnectTimeoutMs);
    QCOMPARE(started.messages.shown.first().text, window.language().texts().rightdown_Box12);
    QVERIFY(!window.link().LinkOnline());
    QCOMPARE(window.link().tcp.state(), QAbstractSocket::UnconnectedState);
}

void TestConnectionPanel::modeSwitchChangesControlsAndBack()
{
    StartedPanel started;
    PanelWindow &window = *started.window;
    const auto &texts = window.language().texts();
    auto *button = started.control<QPushButton>(QStringLiteral("CommModbusModeChange"));
    auto *baudLabel = started.control<QWidget>(QStringLiteral("lblBaudRate"));
    auto *stopLabel = started.control<QWidget>(QStringLiteral("lblStopBit"));

    button->click();
    QVERIFY(!window.link().RtuMode);
    QCOMPARE(button->text(), texts.change_modbus4);
    QCOMPARE(ui::caption(baudLabel), texts.change_modbus5);
    QCOMPARE(ui::caption(stopLabel), texts.change_modbus6);
    QVERIFY(started.control<QWidget>(QStringLiteral("Combo_CommPort"))->isHidden());
    QVERIFY(!started.control<QWidget>(QStringLiteral("IPAddress"))->isHidden());

    button->click();
    QVERIFY(window.link().RtuMode);
    QCOMPARE(button->text(), texts.change_modbus1);
    QCOMPARE(ui::caption(baudLabel), texts.change_modbus2);
    QCOMPARE(ui::caption(stopLabel), texts.change_modbus3);
    QVERIFY(!started.control<QWidget>(QStringLiteral("Combo_CommPort"))->isHidden());
    QVERIFY(started.control<QWidget>(QStringLiteral("IPAddress"))->isHidden());

    // Not while online.
    clickOnLine(started);
    QVERIFY(window.link().LinkOnline());
    window.connection().CommModbusModeChange_Click();
    QVERIFY(window.link().RtuMode);
}

void TestConnectionPanel::listsSetTheLink()
{
    StartedPanel started;
    PanelWindow &window = *started.window;
    started.control<QComboBox>(QStringLiteral("Combo_BaudRate_Sel"))->setCurrentIndex(2);
    started.control<QComboBox>(QStringLiteral("Combo_StopBit"))->setCurrentIndex(1);
    QCOMPARE(window.link().serial.settings(), QStringLiteral("38400,n,8,2"));
    started.control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"))->setCurrentIndex(246);
    QCOMPARE(window.link().SlaveAddress, 247);
}

QTEST_MAIN(TestConnectionPanel)
#include "test_connection_panel.moc"
