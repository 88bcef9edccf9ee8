// Pictures of the start form and of the main window offline and online (over
// TCP to the simulated meter), written to <build>/screenshots for review.
#include "gui/links/connection_panel.h"
#include "gui/ui/caption.h"
#include "main_form_starter.h"
#include "metersim_process.h"
#include "screenshot.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The simulated meter listens on its own loopback address at port 502, which
// the TCP port list offers.
const QString kMeterAddress = QStringLiteral("127.0.0.23");

// The window as it opened, then tall enough for the whole page.
bool savePage(app::MainForm &window, const QString &name)
{
    const QSize size = window.size();
    const bool saved = testsupport::saveScreenshot(&window, name);
    testsupport::showWholePage(window);
    const bool savedPage = testsupport::saveScreenshot(&window, name + QStringLiteral("_page"));
    window.resize(size);
    return saved && savedPage;
}

} // namespace

class TestScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startForm();
    void mainWindowOfflineAndOnline_data();
    void mainWindowOfflineAndOnline();

private:
    QTemporaryDir comDir_;
};

void TestScreenshots::initTestCase()
{
    QVERIFY(comDir_.isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_.path().toLocal8Bit());
}

void TestScreenshots::startForm()
{
    testsupport::RecordingMessages messages;
    app::MainForm window(messages, testsupport::binDir());
    bool saved = false;
    QTimer::singleShot(50, [&] {
        QWidget *form = QApplication::activeModalWidget();
        saved = testsupport::saveScreenshot(form, QStringLiteral("start_form"));
        if (form)
            form->findChild<QPushButton *>(QStringLiteral("CommLeave"))->click();
    });
    QVERIFY(!window.Form_Load());
    QVERIFY(saved);
}

void TestScreenshots::mainWindowOfflineAndOnline_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("english") << "English" << "";
    QTest::newRow("chinese") << "中文" << "_chinese";
    QTest::newRow("japanese") << "日本語" << "_japanese";
}

void TestScreenshots::mainWindowOfflineAndOnline()
{
    QFETCH(QString, language);
    QFETCH(QString, suffix);

    testsupport::MeterSim meter;
    QVERIFY2(meter.start({QStringLiteral("--tcp"), kMeterAddress + QStringLiteral(":502")}),
             qPrintable(meter.errorString()));

    StartedMainForm started({QStringLiteral("Ethernet(TCP)"), language});
    QVERIFY(started.loaded);
    app::MainForm &window = *started.window;
    window.resize(1280, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(savePage(window, QStringLiteral("main_offline") + suffix));

    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(kMeterAddress);
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(window.link().LinkOnline());
    QTRY_VERIFY_WITH_TIMEOUT(window.link().tcp.isConnected(), 5000);
    // Values decoded by the poll cycle show the link carries data.
    auto *firmware = started.control<QWidget>(QStringLiteral("txtFWver"));
    QTRY_VERIFY_WITH_TIMEOUT(!ui::caption(firmware).isEmpty(), 10000);
    QTest::qWait(1500);
    QVERIFY(window.link().LinkOnline());
    QVERIFY(savePage(window, QStringLiteral("main_online") + suffix));

    // The display-setting page with the item-code description, and the
    // meter's display sequence read back.
    started.control<QPushButton>(QStringLiteral("Command10(4)"))->click();
    started.control<QPushButton>(QStringLiteral("Command11(1)"))->click();
    started.control<QPushButton>(QStringLiteral("cmdDisplayindex"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(
        !ui::caption(started.control<QWidget>(QStringLiteral("txt_Display_Item"))).isEmpty(), 10000);
    QVERIFY(savePage(window, QStringLiteral("display_setting_online") + suffix));

    // The Harmonic page of voltage a, its numbers and its chart.
    started.control<QAbstractButton>(QStringLiteral("optHarmonic(0)"))->click();
    started.control<QPushButton>(QStringLiteral("Command9(3)"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(
        !ui::caption(started.control<QWidget>(QStringLiteral("txtHarmonic(0)"))).isEmpty(), 10000);
    QTest::qWait(1000);
    QVERIFY(savePage(window, QStringLiteral("harmonic_online") + suffix));

    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!window.link().LinkOnline());
    QVERIFY2(started.messages.shown.size() <= 1, "only the no-serial-port message is expected");
}

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
