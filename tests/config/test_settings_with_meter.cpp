// Meter settings through the real window against the simulated meter over
// a pseudo-terminal: what each set button writes, that the next poll shows
// the meter's new state, what is refused at the press, and the order and
// fate of requests raised together.
#include "dialog_answer.h"
#include "gui/config/display_setting_panel.h"
#include "gui/config/setting_panel.h"
#include "gui/ui/caption.h"
#include "meter_session.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>

using testsupport::MeterWrite;

namespace {

constexpr int kPatienceMs = 15000;

using Answer = testsupport::DialogAnswer;
using testsupport::answerDialogWhenShown;

} // namespace




class TestSettingsWithMeter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init();
    void cleanup();
    void setButtonWritesAndThePollShowsIt_data();
    void setButtonWritesAndThePollShowsIt();
    void newAddressIsFollowedByTheLink_data();
    void newAddressIsFollowedByTheLink();
    void pressesThatRaiseNothing_data();
    void pressesThatRaiseNothing();
    void typedChecks_data();
    void typedChecks();
    void requestsOfOneCycleInServiceOrderAndAfterAFailure();
    void descriptionButtonsShowAndHide();

private:
    void goOnline(const QStringList &meterOptions = {});
    void waitForCycle();
    void enter(const QString &assignment);
    QString shown(const QString &control) const { return session_->shown(control); }
    config::SettingPanel &settings() { return session_->window().settings(); }
    QList<MeterWrite> settingWrites() const
    {
        return testsupport::settingWrites(session_->meter->writes());
    }

    std::unique_ptr<testsupport::MeterSession> session_;
};

void TestSettingsWithMeter::init() { session_ = std::make_unique<testsupport::MeterSession>(); }

void TestSettingsWithMeter::cleanup() { session_.reset(); }

void TestSettingsWithMeter::goOnline(const QStringList &meterOptions)
{
    QVERIFY2(session_->startMeter(meterOptions), qPrintable(session_->error()));
    QVERIFY(session_->openWindow());
    QVERIFY(session_->goOnline([] { return true; }));
    waitForCycle();
}

void TestSettingsWithMeter::waitForCycle()
{
    // The float ratios are the last read of a cycle.
    session_->started->control<QLineEdit>(QStringLiteral("txtCTRatio2"))->clear();
    QVERIFY(QTest::qWaitFor([&] { return !shown(QStringLiteral("txtCTRatio2")).isEmpty(); },
                            kPatienceMs));
}

// "name=text": types the text into a box, or picks the entry of a list.
void TestSettingsWithMeter::enter(const QString &assignment)
{
    const QString name = assignment.section(u'=', 0, 0);
    const QString text = assignment.section(u'=', 1);
    QWidget *control = session_->started->control<QWidget>(name);
    if (auto *list = qobject_cast<QComboBox *>(control); list && !list->isEditable())
        list->setCurrentIndex(list->findText(text));
    else
        ui::setCaption(control, text);
}

void TestSettingsWithMeter::setButtonWritesAndThePollShowsIt_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<MeterWrite>("write");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("shows"); // a pattern
    const auto row = [](const char *name, QStringList inputs, const char *button,
                        MeterWrite write, const char *display, const char *shows,
                        Answer answer = Answer::None) {
        QTest::newRow(name) << inputs << QString::fromLatin1(button) << answer << write
                            << QString::fromLatin1(display) << QString::fromLatin1(shows);
    };
    row("PT 2.5", {"Combo_PT_Ratio=2.5"}, "cmdPTRatio1Set", {0x1021, {25}}, "txt_PTRatio", "^2\\.5$");
    row("PT 1.25 halves to even", {"Combo_PT_Ratio=1.25"}, "cmdPTRatio1Set", {0x1021, {12}},
        "txt_PTRatio", "^1\\.2$");
    row("PT 6250 unsigned", {"Combo_PT_Ratio=6250"}, "cmdPTRatio1Set", {0x1021, {62500}},
        "txt_PTRatio", "^6250\\.0$");
    row("CT 200", {"Combo_CT_Ratio=200"}, "cmdCTRatio1Set", {0x1022, {200}}, "txt_CTRatio",
        "^200\\.0$");
    row("PT 11400 / 110 as float", {"txtPT1=11400", "txtPT2=110"}, "cmdPTRatio2Set",
        {0x0000, {0x45D1, 0x42CF}}, "txtPTRatio2", "^103\\.6364$");
    row("wiring 1P2W", {"Combo_SetWiring=1P2W"}, "cmdWiringSet", {0x1004, {1}}, "txt_Wiring",
        "^1P2W$");
    row("display item 139 at 50", {"Combo_Display_Ser_sel=50", "Combo_Display_Item_sel=139"},
        "cmdDisplayItemSet", {0x1083, {139}}, "txt_Display_Item",
        "\\n50 : kVAh\\(139\\)$");
    row("scroll time 15", {"Combo1=15"}, "cmdScrollTimeSet", {0x1050, {15}}, "", "");
    row("CO2 0.5", {"txt_set_CO2=0.5"}, "cmdSetCO2", {0x1040, {0x0000, 0x3F00}}, "", "");
    row("clock, YES", {}, "cmdTimeSet", {0x1023, {24, 3, 9, 17, 5, 42, 6}}, "Text5", "^2024/3/9  17:",
        Answer::Yes);
    row("energy reset, YES", {}, "cmdClrkWh", {0x1012, {0x55}}, "txt_kWh(0)", "^0\\.0000$",
        Answer::Yes);
    row("baud 9600", {"Combo_Modbus_BaudRate=9600"}, "cmdBaudRateSet", {0x1001, {1}},
        "Combo_BaudRate_Sel", "^9600$");
    row("stop bits 2", {"Combo_SetStopBit=2"}, "cmdStopBitSet", {0x1002, {2}}, "Combo_StopBit",
        "^2$");
}

void TestSettingsWithMeter::setButtonWritesAndThePollShowsIt()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, button);
    QFETCH(Answer, answer);
    QFETCH(MeterWrite, write);
    QFETCH(QString, display);
    QFETCH(QString, shows);
    goOnline();
    settings().now = [] { return QDateTime(QDate(2024, 3, 9), QTime(17, 5, 42)); };
    for (const QString &input : inputs)
        enter(input);
    if (answer != Answer::None)
        answerDialogWhenShown(answer);
    auto *set = session_->started->control<QPushButton>(button);
    QVERIFY(set->isEnabled());
    set->click();

    QVERIFY(session_->meter->waitForSettingWrites(1, kPatienceMs));
    QCOMPARE(settingWrites(), QList<MeterWrite>{write});
    if (!display.isEmpty())
        QVERIFY2(QTest::qWaitFor(
                     [&] { return QRegularExpression(shows).match(shown(display)).hasMatch(); },
                     kPatienceMs),
                 qPrintable(shown(display)));
    // The link goes on with the meter's new setting.
    waitForCycle();
    QVERIFY(session_->started->window->link().LinkOnline());
}

void TestSettingsWithMeter::newAddressIsFollowedByTheLink_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("selectedRow");
    QTest::addColumn<int>("rows");
    QTest::newRow("100 typed: appended") << true << 100 << 247 << 248;
    QTest::newRow("30 picked: its row") << false << 30 << 29 << 247;
    QTest::newRow("40 typed: its row") << true << 40 << 39 << 247;
}

void TestSettingsWithMeter::newAddressIsFollowedByTheLink()
{
    QFETCH(bool, typed);
    QFETCH(int, address);
    QFETCH(int, selectedRow);
    QFETCH(int, rows);
    goOnline();
    auto *meterAddress = session_->started->control<QComboBox>(QStringLiteral("Combo_Modbus_add"));
    if (typed)
        meterAddress->setEditText(QString::number(address));
    else
        meterAddress->setCurrentIndex(address - 1);
    session_->started->control<QPushButton>(QStringLiteral("cmdModbusAddSet"))->click();

    QVERIFY(session_->meter->waitForSettingWrites(1, kPatienceMs));
    QCOMPARE(settingWrites(), (QList<MeterWrite>{{0x1000, {quint16(address)}}}));
    auto *connection = session_->started->control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"));
    QCOMPARE(connection->currentIndex(), selectedRow);
    QCOMPARE(connection->count(), rows);
    QCOMPARE(session_->started->window->link().SlaveAddress, address);
    waitForCycle();
    QVERIFY(session_->started->window->link().LinkOnline());
}

void TestSettingsWithMeter::pressesThatRaiseNothing_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, QStringList inputs, const char *button,
                        const char *message, Answer answer = Answer::None) {
        QTest::newRow(name) << inputs << QString::fromLatin1(button) << answer
                            << QString::fromLatin1(message);
    };
    row("empty CT ratio", {"Combo_CT_Ratio="}, "cmdCTRatio1Set", "");
    row("PT primary not a number", {"txtPT1=abc"}, "cmdPTRatio2Set", "rightdown_RatioInvalid");
    row("CT divisor 0", {"txtCT2=0"}, "cmdCTRatio2Set", "rightdown_RatioInvalid");
    row("CO2 empty", {"txt_set_CO2="}, "cmdSetCO2", "rightdown_CO2Invalid");
    row("CO2 beyond a single", {"txt_set_CO2=1e39"}, "cmdSetCO2", "rightdown_CO2Invalid");
    row("clock, NO", {}, "cmdTimeSet", "", Answer::No);
    row("energy reset, close box", {}, "cmdClrkWh", "", Answer::CloseBox);
}

void TestSettingsWithMeter::pressesThatRaiseNothing()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, button);
    QFETCH(Answer, answer);
    QFETCH(QString, message);
    QVERIFY(session_->openWindow());
    session_->started->messages.shown.clear();
    for (const QString &input : inputs)
        enter(input);
    if (answer != Answer::None)
        answerDialogWhenShown(answer);
    // Offline the buttons are disabled; the handler is what is tried here.
    auto *set = session_->started->control<QPushButton>(button);
    set->setEnabled(true);
    set->click();
    using session::RequestKind;
    for (RequestKind kind : {RequestKind::CtRatio, RequestKind::PtRatioFloat, RequestKind::CtRatioFloat,
                             RequestKind::CO2Factor, RequestKind::Clock, RequestKind::ClearEnergy})
        QVERIFY(!settings().pending(kind));
    if (message.isEmpty()) {
        QVERIFY(session_->started->messages.shown.isEmpty());
    } else {
        QCOMPARE(session_->started->messages.shown.size(), 1);
        QCOMPARE(session_->started->messages.shown.first().kind, ui::MessageKind::Critical);
        const i18n::LanguageTexts &texts = session_->started->window->language().texts();
        QCOMPARE(session_->started->messages.shown.first().text,
                 message == QLatin1String("rightdown_RatioInvalid") ? texts.rightdown_RatioInvalid
                                                                    : texts.rightdown_CO2Invalid);
    }
}

void TestSettingsWithMeter::typedChecks_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("byClick");
    const auto row = [](const char *box, const char *text, bool accepted, bool byClick = false) {
        QTest::addRow("%s %s", box, text) << QString::fromLatin1(box) << QString::fromLatin1(text)
                                          << accepted << byClick;
    };
    for (const char *ct : {"2400", "2.5"})
        row("Combo_CT_Ratio", ct, true);
    for (const char *ct : {"2400.5", "0", "-5", "abc"})
        row("Combo_CT_Ratio", ct, false);
    row("Combo_CT_Ratio", "2400.5 left by a click", false, true);
    for (const char *pt : {"0.1", "6250"})
        row("Combo_PT_Ratio", pt, true);
    for (const char *pt : {"0.09", "6250.1"})
        row("Combo_PT_Ratio", pt, false);
    for (const char *address : {"1", "250"})
        row("Combo_Modbus_add", address, true);
    for (const char *address : {"0", "251", "12.5"})
        row("Combo_Modbus_add", address, false);
    row("Combo_Modbus_add_sel", "0", true);
    row("Combo_Modbus_add_sel", "12.5", false);
}

void TestSettingsWithMeter::typedChecks()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(bool, byClick);
    QVERIFY(session_->openWindow());
    session_->started->messages.shown.clear();
    app::MainForm &window = *session_->started->window;
    auto *list = session_->started->control<QComboBox>(box);
    if (byClick)
        text = text.section(u' ', 0, 0);
    list->setEditText(text);
    if (byClick) {
        // Leaving the box for the set button checks it before the click counts.
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        list->setFocus();
        auto *set = session_->started->control<QPushButton>(QStringLiteral("cmdCTRatio1Set"));
        set->setEnabled(true);
        QTest::mouseClick(set, Qt::LeftButton);
        QVERIFY(!settings().pending(session::RequestKind::CtRatio));
    } else {
        const std::map<QString, void (config::SettingPanel::*)()> validate{
            {QStringLiteral("Combo_CT_Ratio"), &config::SettingPanel::Combo_CT_Ratio_Validate},
            {QStringLiteral("Combo_PT_Ratio"), &config::SettingPanel::Combo_PT_Ratio_Validate},
            {QStringLiteral("Combo_Modbus_add"), &config::SettingPanel::Combo_Modbus_add_Validate},
            {QStringLiteral("Combo_Modbus_add_sel"), &config::SettingPanel::Combo_Modbus_add_sel_Validate},
        };
        (settings().*validate.at(box))();
    }
    const i18n::LanguageTexts &texts = window.language().texts();
    const QString message = box.contains(QLatin1String("CT")) ? texts.rightdown_Box3
                            : box.contains(QLatin1String("PT")) ? texts.rightdown_Box6
                                                                : texts.rightdown_Box5;
    QCOMPARE(list->currentText(), accepted ? text : QString());
    QCOMPARE(session_->started->messages.shown.size(), accepted ? 0 : 1);
    if (!accepted)
        QCOMPARE(session_->started->messages.shown.first().text, message);
    if (box == QLatin1String("Combo_Modbus_add_sel"))
        QCOMPARE(window.link().SlaveAddress, accepted ? text.toInt() : 15);
}

void TestSettingsWithMeter::requestsOfOneCycleInServiceOrderAndAfterAFailure()
{
    goOnline();
    enter(QStringLiteral("Combo_CT_Ratio=200"));
    enter(QStringLiteral("Combo_SetWiring=1P2W"));
    const auto pressBoth = [&] {
        session_->started->control<QPushButton>(QStringLiteral("cmdWiringSet"))->click();
        session_->started->control<QPushButton>(QStringLiteral("cmdCTRatio1Set"))->click();
    };
    const MeterWrite ct{0x1022, {200}};
    const MeterWrite wiring{0x1004, {1}};

    // Pressed together: written in the order of the request service.
    pressBoth();
    QVERIFY(session_->meter->waitForSettingWrites(2, kPatienceMs));
    QCOMPARE(settingWrites(), (QList<MeterWrite>{ct, wiring}));

    // The first write fails: the link goes offline and the second waits.
    QVERIFY(session_->meter->sendCommand(QStringLiteral("drop@reg=16:0x1022,times=3")));
    pressBoth();
    QVERIFY(QTest::qWaitFor([&] { return !session_->started->window->link().LinkOnline(); }, kPatienceMs));
    QVERIFY(settings().pending(session::RequestKind::Wiring));
    QVERIFY(!settings().pending(session::RequestKind::CtRatio));
    QCOMPARE(settingWrites().size(), 2);

    session_->started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(session_->meter->waitForSettingWrites(3, kPatienceMs));
    QCOMPARE(settingWrites(), (QList<MeterWrite>{ct, wiring, wiring}));
    QVERIFY(!settings().pending(session::RequestKind::Wiring));
}

void TestSettingsWithMeter::descriptionButtonsShowAndHide()
{
    QVERIFY(session_->openWindow());
    const i18n::LanguageTexts &t = session_->started->window->language().texts();
    const struct {
        const char *button, *description;
        QString shownCaption, hiddenCaption;
    } pairs[] = {{"cmdDisplayindex", "txtDisplayIndex", t.dataItem4, t.dataItem3},
                 {"cmdLPindexon", "txtLPindex", t.dataItem2, t.dataItem1}};
    for (const auto &pair : pairs) {
        auto *button = session_->started->control<QPushButton>(QLatin1String(pair.button));
        auto *description = session_->started->control<QWidget>(QLatin1String(pair.description));
        QVERIFY(description->isHidden());
        button->click();
        QVERIFY(!description->isHidden());
        QCOMPARE(button->text(), pair.shownCaption);
        button->click();
        QVERIFY(description->isHidden());
        QCOMPARE(button->text(), pair.hiddenCaption);
    }
}

QTEST_MAIN(TestSettingsWithMeter)
#include "test_settings_with_meter.moc"
