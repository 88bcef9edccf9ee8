// The firmware-dependent layout through the real window against the
// simulated meter over a pseudo-terminal: the controls each firmware is
// offered, and a new layout for a meter of another firmware after going
// offline and online again.
#include "gui/ui/caption.h"
#include "meter_session.h"
#include "screenshot.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

class TestLayoutWithMeter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controlsOfEachFirmware_data();
    void controlsOfEachFirmware();
    void anotherMeterAnotherLayout();

private:
    void startMeter(const QString &firmware);
    void goOnline(const QString &firmware);
    // "name:1" shown, "name:0" hidden, "SSTab1 tab N:1" enabled, "Combo1:<last entry>",
    // "intervals:<last entry>", one per line, for the controls a layout switches.
    QStringList layout() const;

    std::unique_ptr<testsupport::MeterSession> session_;
};

void TestLayoutWithMeter::init() { session_ = std::make_unique<testsupport::MeterSession>(); }

void TestLayoutWithMeter::cleanup() { session_.reset(); }

void TestLayoutWithMeter::startMeter(const QString &firmware)
{
    QVERIFY2(session_->startMeter({QStringLiteral("--firmware"), firmware}),
             qPrintable(session_->error()));
}

void TestLayoutWithMeter::goOnline(const QString &firmware)
{
    QVERIFY(session_->goOnline([&] { return session_->shown(QStringLiteral("txtFWver")) == firmware; }));
}

QStringList TestLayoutWithMeter::layout() const
{
    QStringList lines;
    for (const char *name :
         {"SSTab2(0)", "Command9(2)", "Command10(2)", "Command10(4)", "cmdDisplayItemSet",
          "Combo_Display_Ser_sel", "frmCTPTSetting", "Combo_PT_Ratio", "cmdCTRatio1Set",
          "txt_PTRatio", "txtPTRatio2"})
        lines << QStringLiteral("%1:%2").arg(QLatin1String(name)).arg(
            !session_->started->control<QWidget>(QLatin1String(name))->isHidden());
    auto *tabs = session_->started->control<QTabWidget>(QStringLiteral("SSTab1"));
    lines << QStringLiteral("SSTab1 tab 2:%1").arg(tabs->isTabEnabled(2));
    auto *scroll = session_->started->control<QComboBox>(QStringLiteral("Combo1"));
    lines << QStringLiteral("Combo1:") + scroll->itemText(scroll->count() - 1);
    auto *interval = session_->started->control<QComboBox>(QStringLiteral("Combo_G2_Setting(1)"));
    lines << QStringLiteral("intervals:") + interval->itemText(interval->count() - 1);
    return lines;
}

void TestLayoutWithMeter::controlsOfEachFirmware_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("expected");
    // panel 0, THD page, LP records and display pages, display items and
    // their list, float frame, whole PT list, whole CT button, whole and
    // float read-back, tab 2, last scroll time, last interval
    QTest::newRow("2600") << "V2600A00" << "0 0 1 1 1 1 0 1 1 1 0 1 15 60";
    QTest::newRow("2599") << "V2599A00" << "0 0 1 1 1 1 1 0 0 0 1 1 15 60";
    QTest::newRow("2601") << "V2601A00" << "1 1 1 1 1 1 1 0 0 0 1 1 15 60";
    QTest::newRow("3700") << "V3700A00" << "1 1 1 1 1 1 1 0 0 0 1 1 Fixed 30sec";
    QTest::newRow("5900") << "V5900A00" << "1 0 0 0 1 1 1 0 0 0 1 0 15 60";
    QTest::newRow("R") << "R3700A00" << "0 0 1 1 0 0 1 0 0 1 1 1 15 60";
}

void TestLayoutWithMeter::controlsOfEachFirmware()
{
    QFETCH(QString, firmware);
    QFETCH(QString, expected);
    startMeter(firmware);
    QVERIFY(session_->openWindow());
    goOnline(firmware);
    QStringList values;
    for (const QString &line : layout())
        values << line.section(u':', 1);
    QCOMPARE(values.join(u' '), expected);
    if (firmware == QLatin1String("V5900A00") || firmware.startsWith(u'R')) {
        app::MainForm &window = *session_->started->window;
        window.resize(1280, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        testsupport::showWholePage(window);
        QVERIFY(testsupport::saveScreenshot(&window, QStringLiteral("layout_") + firmware));
    }
}

void TestLayoutWithMeter::anotherMeterAnotherLayout()
{
    startMeter(QStringLiteral("V5900A00"));
    QVERIFY(session_->openWindow());
    goOnline(QStringLiteral("V5900A00"));
    const QStringList first = layout();
    session_->started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    startMeter(QStringLiteral("R3700A00"));
    goOnline(QStringLiteral("R3700A00"));
    QVERIFY(layout() != first);
    QVERIFY(!session_->started->control<QWidget>(QStringLiteral("SSTab2(1)"))->isHidden());
    QVERIFY(session_->started->control<QWidget>(QStringLiteral("cmdDisplayItemSet"))->isHidden());
}

QTEST_MAIN(TestLayoutWithMeter)
#include "test_layout_with_meter.moc"
