#include "gui/app/page_layout.h"
#include "gui/i18n/language_controller.h"
#include "gui/links/traffic_window.h"
#include "gui/ui/back_color.h"
#include "gui/ui/caption.h"
#include "i18n/ini_file.h"
#include "main_form_starter.h"
#include "session/poll_cycle.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

using testsupport::StartFormAnswer;

namespace {

QString languageText(i18n::Language language, const char *section, const char *key)
{
    const QString path =
        i18n::findFileInFolder(testsupport::binDir(), i18n::languageFileName(language));
    return i18n::IniFile::load(path, i18n::codePageOf(language))
        .text(QLatin1String(section), QLatin1String(key));
}

QString titleText(i18n::Language language)
{
    const QString path =
        i18n::findFileInFolder(testsupport::binDir(), i18n::titleFileName(language));
    return i18n::IniFile::load(path, i18n::codePageOf(language))
        .text(QStringLiteral("name"), QStringLiteral("titlename"));
}

bool copyLanguageFile(const QString &name, const QTemporaryDir &dir)
{
    return QFile::copy(i18n::findFileInFolder(testsupport::binDir(), name), dir.filePath(name));
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void leavingTheStartFormEndsTheProgram();
    void startsInTheChosenModeAndLanguage_data();
    void startsInTheChosenModeAndLanguage();
    void fillsTheListsWithTheirDefaults_data();
    void fillsTheListsWithTheirDefaults();
    void describesTheDisplayItems();
    void startsOffline();
    void languageButtonAppliesTheChosenLanguage();
    void languageListOffersOnlyFilesPresent();
    void fileWithoutLanguageCodeGetsTheEnglishTitle();
    void everyButtonIsNamed();
    void pageButtonsSelectTabs_data();
    void pageButtonsSelectTabs();
    void closingStopsTheTimers();
    void wheelMovesThePageOneStep_data();
    void wheelMovesThePageOneStep();
    void cleanupTestCase() { defaultsWindow_.reset(); }

private:
    QTemporaryDir comDir_;
    std::unique_ptr<StartedMainForm> defaultsWindow_;
};

void TestMainForm::initTestCase()
{
    // An empty port folder: no port number leads to a usable port.
    QVERIFY(comDir_.isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_.path().toLocal8Bit());
}

void TestMainForm::leavingTheStartFormEndsTheProgram()
{
    StartFormAnswer answer;
    answer.button = StartFormAnswer::Button::Close;
    StartedMainForm started(answer);
    QVERIFY(!started.loaded);
    QVERIFY(!started.window->isVisible());
    // The start-up stopped at once: no scan, no lists, no messages.
    QCOMPARE(started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->count(), 0);
    QCOMPARE(started.control<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"))->count(), 0);
    QVERIFY(started.messages.shown.isEmpty());
}

void TestMainForm::startsInTheChosenModeAndLanguage_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("rtuMode");
    QTest::addColumn<int>("expectedLanguage");

    QTest::newRow("serial, english") << "RS485(Modbus RTU)" << "English" << false << true
                                     << int(i18n::Language::English);
    QTest::newRow("tcp, chinese") << "Ethernet(TCP)" << "中文" << false << false
                                  << int(i18n::Language::Chinese);
    QTest::newRow("serial, japanese") << "RS485(Modbus RTU)" << "日本語" << false << true
                                      << int(i18n::Language::Japanese);
    QTest::newRow("close box: serial, english")
        << "Ethernet(TCP)" << "日本語" << true << true << int(i18n::Language::English);
}

void TestMainForm::startsInTheChosenModeAndLanguage()
{
    QFETCH(QString, connection);
    QFETCH(QString, language);
    QFETCH(bool, closeBox);
    QFETCH(bool, rtuMode);
    QFETCH(int, expectedLanguage);
    const auto lang = i18n::Language(expectedLanguage);

    StartFormAnswer answer{connection, language,
                           closeBox ? StartFormAnswer::Button::CloseBox
                                    : StartFormAnswer::Button::Enter};
    StartedMainForm started(answer);
    QVERIFY(started.loaded);
    app::MainForm &window = *started.window;

    QCOMPARE(window.link().RtuMode, rtuMode);
    QCOMPARE(window.windowTitle(), titleText(lang));
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("cmdOnLine"))),
             languageText(lang, "onlineini", "online_ON"));
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("lblBaudRate"))),
             languageText(lang, "topini", rtuMode ? "top_La80_14" : "top_La80_14_1"));
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("CommModbusModeChange"))),
             languageText(lang, "leftdownini", rtuMode ? "leftdown_CMMC1" : "leftdown_CMMC2"));
    QCOMPARE(window.language().texts().rightdown_Box9,
             languageText(lang, "strmsgboxini", "rightdown_Box9"));

    for (const char *name : {"lblComPort", "Combo_CommPort", "cmdScanComPort",
                             "Combo_BaudRate_Sel", "Combo_StopBit"})
        QCOMPARE(started.control<QWidget>(QLatin1String(name))->isHidden(), !rtuMode);
    for (const char *name : {"IPAddress", "Combo_Port_Sel"})
        QCOMPARE(started.control<QWidget>(QLatin1String(name))->isHidden(), rtuMode);

    // The port scan ran in either mode; a machine without ports is told so
    // once, and all sixteen numbers are offered with "6" chosen.
    QCOMPARE(started.messages.count(window.language().texts().rightdown_Box2), 1);
    QCOMPARE(started.messages.shown.size(), 1);
    auto *ports = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    QCOMPARE(ports->count(), 16);
    QCOMPARE(ports->currentText(), QStringLiteral("6"));
    QCOMPARE(window.link().serial.portNumber(), 6);

    // The defaults of the lists set the link through their handlers.
    QCOMPARE(window.link().serial.settings(), QStringLiteral("19200,n,8,1"));
    QCOMPARE(window.link().SlaveAddress, 15);
}

void TestMainForm::fillsTheListsWithTheirDefaults_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("selected");

    QTest::newRow("meter baud rate") << "Combo_Modbus_BaudRate" << 2 << "9600" << "19200" << "19200";
    QTest::newRow("meter address") << "Combo_Modbus_add" << 247 << "1" << "247" << "15";
    QTest::newRow("link address") << "Combo_Modbus_add_sel" << 247 << "1" << "247" << "15";
    QTest::newRow("link baud rate") << "Combo_BaudRate_Sel" << 3 << "9600" << "38400" << "19200";
    QTest::newRow("display item") << "Combo_Display_Item_sel" << 52 << "0" << "140" << "1";
    QTest::newRow("pt ratio") << "Combo_PT_Ratio" << 4 << "1" << "10" << "1";
    QTest::newRow("ct ratio") << "Combo_CT_Ratio" << 4 << "1" << "200" << "1";
    QTest::newRow("scroll time") << "Combo1" << 13 << "3" << "15" << "3";
    QTest::newRow("display position") << "Combo_Display_Ser_sel" << 50 << "1" << "50" << "1";
    QTest::newRow("meter stop bits") << "Combo_SetStopBit" << 2 << "1" << "2" << "1";
    QTest::newRow("link stop bits") << "Combo_StopBit" << 2 << "1" << "2" << "1";
    QTest::newRow("wiring") << "Combo_SetWiring" << 6 << "Auto" << "3P4W" << "Auto";
    QTest::newRow("tcp port") << "Combo_Port_Sel" << 2 << "502" << "503" << "502";
    for (const char *selector : {"cmbLPReadBeginTime", "cmbLPReadEndTime"}) {
        const QString name = QLatin1String(selector);
        QTest::addRow("%s year", selector) << name + "(0)" << 20 << "11" << "30" << "12";
        QTest::addRow("%s month", selector) << name + "(1)" << 12 << "1" << "12" << "1";
        QTest::addRow("%s day", selector) << name + "(2)" << 31 << "1" << "31" << "1";
        QTest::addRow("%s hour", selector) << name + "(3)" << 24 << "0" << "23" << "0";
        QTest::addRow("%s minute", selector) << name + "(4)" << 60 << "0" << "59" << "0";
    }
}

void TestMainForm::fillsTheListsWithTheirDefaults()
{
    QFETCH(QString, list);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, selected);

    // One start-up serves every row.
    if (!defaultsWindow_)
        defaultsWindow_ = std::make_unique<StartedMainForm>();
    QVERIFY(defaultsWindow_->loaded);
    auto *box = defaultsWindow_->control<QComboBox>(list);
    QCOMPARE(box->count(), count);
    QCOMPARE(box->itemText(0), first);
    QCOMPARE(box->itemText(count - 1), last);
    QCOMPARE(box->currentText(), selected);
    // Entries are never duplicated by typed text.
    QCOMPARE(box->findText(selected), box->currentIndex());
}

void TestMainForm::describesTheDisplayItems()
{
    StartedMainForm started;
    auto *description = started.control<QPlainTextEdit>(QStringLiteral("txtDisplayIndex"));
    QVERIFY(description->isHidden());
    const QString text = description->toPlainText();
    QVERIFY(text.endsWith(QStringLiteral("139 : kVAh\n")) || text.endsWith(QStringLiteral("139 : kVAh\r\n")));
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 50);
    QCOMPARE(lines.first(), QStringLiteral("1 : Meter ID 1"));
    QVERIFY(lines.contains(QStringLiteral("12 : Modbus Stop Bit")));
    // Code 11 is not offered and has no line.
    QVERIFY(std::none_of(lines.begin(), lines.end(),
                         [](const QString &line) { return line.startsWith(QStringLiteral("11 : ")); }));
}

void TestMainForm::startsOffline()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    QVERIFY(!window.link().LinkOnline());
    QVERIFY(!window.poll().running());
    QVERIFY(!window.downloadPace().Timer_RS_Lpf.isActive());
    QCOMPARE(ui::backColor(started.control<QWidget>(QStringLiteral("txt_Online_c"))),
             QColor(0xFF, 0xC0, 0xC0));
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("txt_Online"))),
             window.language().texts().online_OFF);
    for (const char *name : {"cmdModbusAddSet", "cmdTimeSet", "Command8", "cmdReadLP2",
                             "cmbLPReadGroupSel1", "cmdPhaseShow(0)", "cmdPhaseShow(1)",
                             "cmdSetCO2"})
        QVERIFY2(!started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
    for (const char *name : {"Combo_Languages", "langCheck", "Combo_CommPort", "CommModbusModeChange",
                             "cmdOnLine"})
        QVERIFY2(started.control<QWidget>(QLatin1String(name))->isEnabled(), name);
}

void TestMainForm::languageButtonAppliesTheChosenLanguage()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    auto *list = started.control<QComboBox>(QStringLiteral("Combo_Languages"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(list->itemText(2), languageText(i18n::Language::English, "leftdownini", "leftdown_Comadd3"));

    list->setCurrentIndex(window.language().LanguageRows[int(i18n::Language::Japanese)]);
    started.control<QPushButton>(QStringLiteral("langCheck"))->click();

    QCOMPARE(window.windowTitle(), titleText(i18n::Language::Japanese));
    QCOMPARE(window.language().texts().LanguageCode, 3);
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("cmdOnLine"))),
             languageText(i18n::Language::Japanese, "onlineini", "online_ON"));
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("Command10(0)"))),
             languageText(i18n::Language::Japanese, "leftdownini", "leftdown_SSTab1_1"));
    // The list is rebuilt in the new language with the applied row chosen.
    QCOMPARE(list->itemText(2), languageText(i18n::Language::Japanese, "leftdownini", "leftdown_Comadd3"));
    QCOMPARE(list->currentIndex(), 2);
}

void TestMainForm::languageListOffersOnlyFilesPresent()
{
    QTemporaryDir dir;
    QVERIFY(copyLanguageFile(QStringLiteral("english.ini"), dir));
    QVERIFY(copyLanguageFile(QStringLiteral("Japanese.ini"), dir));
    StartedMainForm started({}, dir.path());
    QVERIFY(started.loaded);
    auto *list = started.control<QComboBox>(QStringLiteral("Combo_Languages"));
    QCOMPARE(list->count(), 2);
    const auto &rows = started.window->language().LanguageRows;
    QCOMPARE(rows[int(i18n::Language::English)], 0);
    QCOMPARE(rows[int(i18n::Language::Chinese)], -1);
    QCOMPARE(rows[int(i18n::Language::Japanese)], 1);
    // Without title files every title reads "0".
    QCOMPARE(started.window->windowTitle(), QStringLiteral("0"));
}

void TestMainForm::fileWithoutLanguageCodeGetsTheEnglishTitle()
{
    QTemporaryDir dir;
    QFile chinese(dir.filePath(QStringLiteral("chinese.ini")));
    QVERIFY(chinese.open(QIODevice::WriteOnly));
    chinese.write("[Login]\r\nstrMsgBoxerr=\xbf\xf9\xbb\x7e\r\n");
    chinese.close();
    for (const char *title : {"titlee.txt", "titlec.txt", "titlej.txt"})
        QVERIFY(copyLanguageFile(QLatin1String(title), dir));

    StartedMainForm started({QStringLiteral("RS485(Modbus RTU)"), QStringLiteral("中文")}, dir.path());
    QVERIFY(started.loaded);
    QCOMPARE(started.window->language().language(), i18n::Language::Chinese);
    QCOMPARE(started.window->language().texts().strMsgBoxerr, QStringLiteral("錯誤"));
    QCOMPARE(started.window->language().texts().LanguageCode, 0);
    QCOMPARE(started.window->windowTitle(), titleText(i18n::Language::English));
    // Captions whose key is missing read "0".
    QCOMPARE(ui::caption(started.control<QWidget>(QStringLiteral("cmdOnLine"))), QStringLiteral("0"));
}

// Every button of the window and the log has a name, and a caption or accessible name to be read out.
void TestMainForm::everyButtonIsNamed()
{
    StartedMainForm started;
    QList<QAbstractButton *> buttons = started.window->findChildren<QAbstractButton *>();
    buttons += started.window->traffic().findChildren<QAbstractButton *>();
    for (const QAbstractButton *button : std::as_const(buttons)) {
        QVERIFY2(!button->objectName().isEmpty(), qPrintable(button->text()));
        QVERIFY2(!button->text().isEmpty() || !button->accessibleName().isEmpty(), qPrintable(button->objectName()));
    }
    QCOMPARE(started.control<QWidget>("cmdTrafficLog")->accessibleName(), started.window->traffic().windowTitle());
}

void TestMainForm::pageButtonsSelectTabs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tabs");
    QTest::addColumn<int>("tab");
    QTest::newRow("Command10(0)") << "Command10(0)" << "SSTab1" << 0;
    QTest::newRow("Command10(1)") << "Command10(1)" << "SSTab1" << 4;
    QTest::newRow("Command10(2)") << "Command10(2)" << "SSTab1" << 1;
    QTest::newRow("Command10(3)") << "Command10(3)" << "SSTab1" << 2;
    QTest::newRow("Command10(4)") << "Command10(4)" << "SSTab1" << 3;
    QTest::newRow("Command9(1) panel 0") << "Command9(1)" << "SSTab2(0)" << 1;
    QTest::newRow("Command9(1) panel 1") << "Command9(1)" << "SSTab2(1)" << 1;
    QTest::newRow("Command9(3) panel 0") << "Command9(3)" << "SSTab2(0)" << 3;
    QTest::newRow("Command9(3) leaves panel 1") << "Command9(3)" << "SSTab2(1)" << 0;
    QTest::newRow("Command11(1)") << "Command11(1)" << "SSTab3" << 1;
}

void TestMainForm::pageButtonsSelectTabs()
{
    QFETCH(QString, button);
    QFETCH(QString, tabs);
    QFETCH(int, tab);
    StartedMainForm started;
    auto *pageButton = started.control<QPushButton>(button);
    pageButton->click();
    QCOMPARE(started.control<QTabWidget>(tabs)->currentIndex(), tab);
    QVERIFY(pageButton->isChecked());
}

void TestMainForm::closingStopsTheTimers()
{
    StartedMainForm started;
    app::MainForm &window = *started.window;
    window.show();
    window.poll().resume();
    window.downloadPace().Timer_RS_Lpf.start();
    QSignalSpy unloaded(&window, &app::MainForm::unloaded);
    QVERIFY(window.close());
    QCOMPARE(unloaded.size(), 1);
    QVERIFY(!window.poll().running());
    QVERIFY(!window.downloadPace().Timer_RS_Lpf.isActive());
}

void TestMainForm::wheelMovesThePageOneStep_data()
{
    QTest::addColumn<int>("from"); // in steps, -1 for the bottom
    QTest::addColumn<int>("distance");
    QTest::addColumn<int>("to");
    QTest::newRow("one notch down") << 0 << -120 << 1;
    QTest::newRow("fast spin down") << 0 << -480 << 1;
    QTest::newRow("one notch up") << 2 << 120 << 1;
    QTest::newRow("fast spin up") << 2 << 960 << 1;
    QTest::newRow("up at the top") << 0 << 120 << 0;
    QTest::newRow("down at the bottom") << -1 << -120 << -1;
    QTest::newRow("no distance") << 2 << 0 << 2;
}

// A wheel event anywhere over the page moves VScroll1 by one small step,
// and VScroll1 moves every band to its base top minus the value; after the
// window is unloaded the wheel moves nothing.
void TestMainForm::wheelMovesThePageOneStep()
{
    QFETCH(int, from);
    QFETCH(int, distance);
    QFETCH(int, to);
    StartedMainForm started;
    app::MainForm &window = *started.window;
    window.resize(1280, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *bar = started.control<QScrollBar>(QStringLiteral("VScroll1"));
    QVERIFY(bar->maximum() > 2 * bar->singleStep());
    const auto value = [bar](int steps) { return steps < 0 ? bar->maximum() : steps * bar->singleStep(); };
    bar->setValue(value(from));

    // Over a label, through the window as the window system delivers it
    // (notify keeps the event spontaneous, as QTest does for keys): the label
    // ignores the wheel, which goes on to its parents and the window.
    auto *label = started.control<QWidget>(QStringLiteral("lblModbusAdd"));
    const QPointF at = label->mapTo(&window, QPointF(5, 5));
    QWheelEvent wheel(at, window.mapToGlobal(at), QPoint(), QPoint(0, distance), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(window.windowHandle(), &wheel);
    QCOMPARE(bar->value(), value(to));
    for (const app::PageBand &band : app::mainPageBands()) {
        QCOMPARE(started.control<QWidget>(QLatin1String(band.control))->y(),
                 app::kPageMargin + (band.baseTop - bar->value()) / app::kTwipsPerPixel);
    }

    QVERIFY(window.close());
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(window.windowHandle(), &wheel);
    QCOMPARE(bar->value(), value(to));
}

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
