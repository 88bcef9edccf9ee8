// The phasor window: what it shows of the reading and hands to the diagram
// control, how it copes with a control that cannot be created, how
// the main window opens and closes it, and the window drawn from a simulated
// meter's values.
//
// Most cases register a recording stand-in of the diagram control
// (recording_phaser_library) in a control registry of their own, so that the
// twelve SetPwrData arguments can be compared; the real control is created
// from the build's registry where its own behaviour matters.

#include "gui/meter/reading_texts.h"
#include "gui/phasor/phasor_window.h"
#include "gui/ui/caption.h"
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "main_form_starter.h"
#include "meter/reading.h"
#include "metersim_process.h"
#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/control_registry.h"
#include "recording_phaser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cmath>
#include <limits>
#include <memory>

using testsupport::RecordingMessages;
using testsupport::StartFormAnswer;

namespace {

const QString kProgId = QString::fromLatin1(gyroscribe::PhaserProgId);
const QString kRecordingLibrary = QStringLiteral(RECORDING_PHASER_LIBRARY_FILE);
const QString kMeterAddress = QStringLiteral("127.0.0.26");

// The quantities of the table, in txtResult1 order (three each).
constexpr meter::Q kTableFirst[5] = {meter::VoltageLnA, meter::CurrentA, meter::AngleVA,
                                       meter::AngleIA, meter::PfA};
meter::Q tableQuantity(int element) { return meter::Q(kTableFirst[element / 3] + element % 3); }

// Fifteen values, voltages first as in txtResult1. Every value is exact in a
// Single, so the control's arguments compare exactly.
using Values = std::array<double, 15>;
const Values kPanel0 = {229.5, 231.25, 230.75, 5.5,   4.25,  6.125, 0.0,   240.5,
                        119.5, 330.25, 210.75, 90.5,  0.875, 0.75,  0.625};
const Values kPanel1 = {115.5, 116.25, 114.75, 1.5,   2.25,  3.125, 10.0,  250.5,
                        129.5, 340.25, 220.75, 100.5, 0.5,   0.375, 0.25};

// A reading that holds these values and an identity.
meter::Reading readingOf(const Values &values)
{
    meter::Reading reading;
    for (int element = 0; element < 15; ++element)
        reading.values[std::size_t(tableQuantity(element))] = values[std::size_t(element)];
    reading.identity = meter::MeterIdentity{QStringLiteral("A1B2C3D4E5F60708"), {}, 5, 1};
    return reading;
}

// A value as the main window shows it.
QString textOf(int element, double value) { return meter::valueText(tableQuantity(element), value); }

// SetPwrData's order: voltages, voltage angles, currents, current angles.
QList<double> pwrArguments(const Values &v)
{
    return {v[0], v[1], v[2], v[6], v[7], v[8], v[3], v[4], v[5], v[9], v[10], v[11]};
}

QString resultText(const QWidget &form, int index)
{
    const auto *edit = form.findChild<QLineEdit *>(QStringLiteral("txtResult1(%1)").arg(index));
    return edit ? edit->text() : QStringLiteral("<missing txtResult1(%1)>").arg(index);
}

QString lineText(const QWidget &form, const char *name)
{
    const auto *edit = form.findChild<QLineEdit *>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

QList<QList<double>> callsOf(const phasor::PhaserForm &form)
{
    return recordedPwrCalls(form.Phaser1 ? form.Phaser1->widget() : nullptr);
}

void useRegistry(const QString &file) { qputenv("CONTROL_REGISTRY", QFile::encodeName(file)); }

void registerControl(const QString &library, const QUuid &classId = gyroscribe::CLSID_Phaser,
                     const QString &progId = kProgId)
{
    QCOMPARE(hosting::writeRegistration(
                 {classId, progId, library, gyroscribe::LIBID_GyroscribeLib}),
             hosting::Status::Ok);
}

QString languageText(i18n::Language language, const char *key)
{
    const QString path =
        i18n::findFileInFolder(testsupport::binDir(), i18n::languageFileName(language));
    return i18n::IniFile::load(path, i18n::codePageOf(language))
        .text(QStringLiteral("Phaserini"), QLatin1String(key));
}

int pointSizeOf(const QWidget &form, const char *name)
{
    const auto *widget = form.findChild<QWidget *>(QLatin1String(name));
    return widget ? widget->font().pointSize() : -1;
}

enum class CloseBy { EndButton, CloseBox, Escape };
enum class Failure { NoRegistry, NoEntry, LibraryMissing, NotALibrary, WrongClass };

} // namespace

class TestPhasorWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void copiesTheTextsAndFeedsTheControl();
    void valueTextsAsDrawn_data();
    void valueTextsAsDrawn();
    void realControlDrawsWithoutMessages_data();
    void realControlDrawsWithoutMessages();
    void missingControlGivesOneMessage_data();
    void missingControlGivesOneMessage();

    void phaseShowButtonsRaiseTheRequest_data();
    void phaseShowButtonsRaiseTheRequest();
    void launcherOpensOneModalWindow_data();
    void launcherOpensOneModalWindow();
    void captionsFollowTheLanguage_data();
    void captionsFollowTheLanguage();

    void drawsTheMeterPolledOverTcp();

private:
    QString registryFile() const { return dir_->filePath(QStringLiteral("registry.ini")); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestPhasorWindow::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // The serial-port scan of the main window's start-up looks here.
    qputenv("AMPWRIGHT_COM_DIR", QFile::encodeName(dir_->path()));
    useRegistry(registryFile());
    registerControl(kRecordingLibrary);
}

void TestPhasorWindow::cleanup()
{
    qunsetenv("CONTROL_REGISTRY");
    qunsetenv("AMPWRIGHT_COM_DIR");
    dir_.reset();
}

void TestPhasorWindow::copiesTheTextsAndFeedsTheControl()
{
    meter::Reading reading = readingOf(kPanel0);
    RecordingMessages messages;
    phasor::PhaserForm form([&reading]() -> const meter::Reading & { return reading; }, messages, nullptr);
    form.Form_Load();
    QVERIFY(form.Phaser1);
    QVERIFY(form.Timer1s.isActive());

    // Form_Load refreshes at once.
    for (int i = 0; i < 15; ++i)
        QCOMPARE(resultText(form, i), textOf(i, kPanel0[std::size_t(i)]));
    QCOMPARE(lineText(form, "txtMeterSerial"), QStringLiteral("A1B2C3D4E5F60708"));
    QCOMPARE(lineText(form, "txt_Wiring"), QStringLiteral("3P4W"));
    QCOMPARE(lineText(form, "txt_Phasor"), QStringLiteral("ABC"));
    QCOMPARE(callsOf(form), QList<QList<double>>{pwrArguments(kPanel0)});

    // The reading is read anew at every refresh.
    reading = readingOf(kPanel1);
    reading.identity->phaseSequenceCode = 2;
    form.Timer1s_Timer();
    for (int i = 0; i < 15; ++i)
        QCOMPARE(resultText(form, i), textOf(i, kPanel1[std::size_t(i)]));
    QCOMPARE(lineText(form, "txt_Phasor"), QStringLiteral("CBA"));
    QCOMPARE(callsOf(form).size(), 2);
    QCOMPARE(callsOf(form).last(), pwrArguments(kPanel1));
    QVERIFY(form.lastDrawn);
    QVERIFY(messages.shown.isEmpty());
}

void TestPhasorWindow::valueTextsAsDrawn_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value"); // of phase B's voltage and phase C's current angle
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("drawnAs");
    const QString c = QStringLiteral("C");
    QTest::newRow("number") << c << 12.5 << QStringLiteral("12.50000") << 12.5;
    QTest::newRow("negative angle") << c << -30.5 << QStringLiteral("-30.50000") << -30.5;
    QTest::newRow("decimal comma") << QStringLiteral("de_DE") << 230.5 << QStringLiteral("230,50000") << 230.5;
    // What a meter may send that no vector can show draws as a zero-length one.
    QTest::newRow("NaN") << c << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("nan") << 0.0;
    QTest::newRow("beyond a Single") << c << 1e39 << QStringLiteral("999999999999999939709166371603178586112.00000")
                                     << 0.0;
}

void TestPhasorWindow::valueTextsAsDrawn()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(double, drawnAs);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    meter::Reading reading = readingOf(kPanel0);
    // Phase B's voltage and phase C's current angle: arguments 1 and 11.
    reading.values[meter::VoltageLnB] = value;
    reading.values[meter::AngleIC] = value;

    RecordingMessages messages;
    phasor::PhaserForm form([&reading]() -> const meter::Reading & { return reading; }, messages, nullptr);
    form.Form_Load();
    form.Timer1s_Timer();

    QCOMPARE(resultText(form, 1), text);
    QCOMPARE(resultText(form, 11), text);
    QList<double> expected = pwrArguments(kPanel0);
    expected[1] = drawnAs;
    expected[11] = drawnAs;
    const QList<QList<double>> calls = callsOf(form);
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0], expected);
    QCOMPARE(calls[1], expected);
    QVERIFY(messages.shown.isEmpty());
}

void TestPhasorWindow::realControlDrawsWithoutMessages_data()
{
    QTest::addColumn<double>("voltage"); // NaN for all three: nothing read yet
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("angle");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("measured values") << 230.1 << 5.2 << 120.0;
    QTest::newRow("empty, before the first poll") << nan << nan << nan;
    QTest::newRow("not numbers") << -inf << inf << nan;
    QTest::newRow("beyond a Single") << 1e39 << -1e39 << 1e39;
    QTest::newRow("no current") << 230.0 << 0.0 << 0.0;
}

void TestPhasorWindow::realControlDrawsWithoutMessages()
{
    QFETCH(double, voltage);
    QFETCH(double, current);
    QFETCH(double, angle);
    const QString buildRegistry = testsupport::buildDir() + QStringLiteral("/control-registry.ini");
    QVERIFY2(QFile::exists(buildRegistry), qPrintable(buildRegistry + " was not written by the build"));
    useRegistry(buildRegistry);

    meter::Reading reading;
    const bool nothingRead = std::isnan(voltage) && std::isnan(current) && std::isnan(angle);
    for (int phase = 0; phase < 3 && !nothingRead; ++phase) {
        reading.values[meter::VoltageLnA + phase] = voltage;
        reading.values[meter::CurrentA + phase] = current;
        reading.values[meter::AngleVA + phase] = angle;
        reading.values[meter::AngleIA + phase] = angle;
    }
    RecordingMessages messages;
    phasor::PhaserForm form([&reading]() -> const meter::Reading & { return reading; }, messages, nullptr);
    form.Form_Load();
    QVERIFY(form.Phaser1);
    QCOMPARE(form.Phaser1->classId(), gyroscribe::CLSID_Phaser);
    QCOMPARE(form.findChild<QWidget *>(QStringLiteral("Phaser1")), form.Phaser1->widget());
    QVERIFY(form.lastDrawn);
    form.Timer1s_Timer();
    QVERIFY(form.lastDrawn);
    for (const RecordingMessages::Shown &shown : messages.shown)
        qWarning("message: %s", qPrintable(shown.text));
    QVERIFY(messages.shown.isEmpty());
}

void TestPhasorWindow::missingControlGivesOneMessage_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::newRow("no registry file") << Failure::NoRegistry;
    QTest::newRow("no entry for the ProgID") << Failure::NoEntry;
    QTest::newRow("registered library missing") << Failure::LibraryMissing;
    QTest::newRow("registered file not a library") << Failure::NotALibrary;
    QTest::newRow("library without the class") << Failure::WrongClass;
}

void TestPhasorWindow::missingControlGivesOneMessage()
{
    QFETCH(Failure, failure);
    QFile::remove(registryFile());
    QString named; // what the message must name so that the user can mend it
    switch (failure) {
    case Failure::NoRegistry:
        named = QDir::toNativeSeparators(registryFile());
        break;
    case Failure::NoEntry:
        registerControl(kRecordingLibrary, QUuid::createUuid(), QStringLiteral("Other.Control"));
        named = kProgId;
        break;
    case Failure::LibraryMissing:
        named = dir_->filePath(QStringLiteral("libgone.so"));
        registerControl(named);
        break;
    case Failure::NotALibrary: {
        named = dir_->filePath(QStringLiteral("libtext.so"));
        QFile text(named);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a library\n");
        text.close();
        registerControl(named);
        break;
    }
    case Failure::WrongClass: {
        const QUuid other = QUuid::createUuid();
        registerControl(kRecordingLibrary, other);
        named = other.toString();
        break;
    }
    }

    meter::Reading reading = readingOf(kPanel0);
    RecordingMessages messages;
    QWidget owner;
    owner.show();
    auto *form = new phasor::PhaserForm([&reading]() -> const meter::Reading & { return reading; }, messages, &owner);
    form->Form_Load();
    form->open();

    QVERIFY(!form->Phaser1);
    QVERIFY(form->isVisible());
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].kind, ui::MessageKind::Critical);
    QVERIFY2(messages.shown[0].text.contains(named),
             qPrintable(messages.shown[0].text + " does not name " + named));
    // The table still shows the values, and later refreshes stay silent.
    reading.values[meter::VoltageLnA] = 228.5;
    form->Timer1s_Timer();
    form->Timer1s_Timer();
    QCOMPARE(resultText(*form, 0), QStringLiteral("228.50000"));
    QCOMPARE(messages.shown.size(), 1);
    form->cmdPhaserEnd_Click();
    QVERIFY(!form->Timer1s.isActive());
    QVERIFY(!form->isVisible());
}

void TestPhasorWindow::phaseShowButtonsRaiseTheRequest_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("panel 0") << QStringLiteral("cmdPhaseShow(0)");
    QTest::newRow("panel 1") << QStringLiteral("cmdPhaseShow(1)");
}

void TestPhasorWindow::phaseShowButtonsRaiseTheRequest()
{
    QFETCH(QString, button);
    StartedMainForm started;
    QVERIFY(started.loaded);
    QVERIFY(!started.window->phasor().phasorRequested());
    // Offline the buttons are disabled; the request is what the click sets.
    auto *show = started.control<QPushButton>(button);
    show->setEnabled(true);
    show->click();
    QVERIFY(started.window->phasor().phasorRequested());
    // The request alone opens nothing: the poll cycle's end does.
    QVERIFY(!started.window->phasor().Timer1.isActive());
    QVERIFY(!started.window->phasor().form());
}

void TestPhasorWindow::launcherOpensOneModalWindow_data()
{
    QTest::addColumn<CloseBy>("closeBy");
    QTest::newRow("close button") << CloseBy::EndButton;
    QTest::newRow("close box") << CloseBy::CloseBox;
    QTest::newRow("Escape") << CloseBy::Escape;
}

void TestPhasorWindow::launcherOpensOneModalWindow()
{
    QFETCH(CloseBy, closeBy);
    StartedMainForm started;
    QVERIFY(started.loaded);
    app::MainForm &window = *started.window;
    window.show();
    started.messages.shown.clear();
    phasor::PhasorLauncher &launcher = window.phasor();

    launcher.cmdPhaseShow_Click();
    QVERIFY(launcher.phasorRequested());
    launcher.windowDue();
    QVERIFY(launcher.Timer1.isActive());
    QCOMPARE(launcher.Timer1.interval(), 100);
    QTRY_VERIFY(launcher.form());
    const QPointer<phasor::PhaserForm> form = launcher.form();
    QVERIFY(!launcher.Timer1.isActive());
    QVERIFY(form->isVisible());
    QCOMPARE(form->parentWidget(), &window);
    QCOMPARE(form->windowModality(), Qt::WindowModal);
    QCOMPARE(QApplication::activeModalWidget(), form.data());
    QVERIFY(form->Phaser1);
    QVERIFY(form->Timer1s.isActive());

    // The poll cycle keeps asking while the window is open: no second window.
    launcher.windowDue();
    launcher.Timer1_Timer();
    QCOMPARE(launcher.form(), form.data());
    QCOMPARE(window.findChildren<phasor::PhaserForm *>().size(), 1);

    // The window refreshes by itself.
    const qsizetype drawn = callsOf(*form).size();
    QTRY_VERIFY(callsOf(*form).size() > drawn);

    // A cycle that ends just before the window is closed leaves Timer1
    // running; closing must stop it, or it would open the window again.
    launcher.windowDue();
    QVERIFY(launcher.Timer1.isActive());
    switch (closeBy) {
    case CloseBy::EndButton:
        form->findChild<QPushButton *>(QStringLiteral("cmdPhaserEnd"))->click();
        break;
    case CloseBy::CloseBox:
        QVERIFY(form->close());
        break;
    case CloseBy::Escape:
        QTest::keyClick(form.data(), Qt::Key_Escape);
        break;
    }
    QVERIFY(!launcher.phasorRequested());
    QVERIFY(!launcher.Timer1.isActive());
    QVERIFY(!launcher.form());
    if (form) {
        QVERIFY(!form->isVisible());
        QVERIFY(!form->Timer1s.isActive());
    }
    QTRY_VERIFY(form.isNull());
    QVERIFY(started.messages.shown.isEmpty());

    // Asked again, it opens a fresh window.
    launcher.cmdPhaseShow_Click();
    launcher.windowDue();
    QTRY_VERIFY(launcher.form());
    QCOMPARE(window.findChildren<phasor::PhaserForm *>().size(), 1);
    launcher.form()->cmdPhaserEnd_Click();
    QVERIFY(!launcher.phasorRequested());
}

void TestPhasorWindow::captionsFollowTheLanguage_data()
{
    QTest::addColumn<QString>("languageName");
    QTest::addColumn<i18n::Language>("language");
    QTest::addColumn<int>("serialTitlePoints");
    QTest::newRow("English") << QStringLiteral("English") << i18n::Language::English << 9;
    QTest::newRow("Chinese") << QStringLiteral("中文") << i18n::Language::Chinese << 11;
    QTest::newRow("Japanese") << QStringLiteral("日本語") << i18n::Language::Japanese << 9;
}

void TestPhasorWindow::captionsFollowTheLanguage()
{
    QFETCH(QString, languageName);
    QFETCH(i18n::Language, language);
    QFETCH(int, serialTitlePoints);
    StartFormAnswer answer;
    answer.language = languageName;
    StartedMainForm started(answer);
    QVERIFY(started.loaded);
    phasor::PhasorLauncher &launcher = started.window->phasor();
    launcher.Timer1_Timer();
    phasor::PhaserForm *form = launcher.form();
    QVERIFY(form);

    const struct {
        const char *control;
        const char *key;
    } captions[] = {{"Label7", "Phaser_La7"},         {"Label51", "Phaser_La51"},
                    {"Label52", "Phaser_La52"},       {"Command7(5)", "Phaser_La2_5"},
                    {"Command7(54)", "Phaser_La2_54"}, {"cmdPhaserEnd", "Phaser_End"}};
    for (const auto &c : captions) {
        const QString expected = languageText(language, c.key);
        QVERIFY2(!expected.isEmpty() && expected != QStringLiteral("0"), c.key);
        const auto *widget = form->findChild<QWidget *>(QLatin1String(c.control));
        QVERIFY2(widget, c.control);
        QCOMPARE(ui::caption(widget), expected);
    }
    QCOMPARE(pointSizeOf(*form, "Label7"), serialTitlePoints);
    QCOMPARE(pointSizeOf(*form, "Label51"), 11);
    QCOMPARE(pointSizeOf(*form, "Label52"), 11);
    // The fixed titles stay English in every language.
    QCOMPARE(ui::caption(form->findChild<QWidget *>(QStringLiteral("Label7_c"))),
             QStringLiteral("Meter Serial"));
    form->cmdPhaserEnd_Click();
}

void TestPhasorWindow::drawsTheMeterPolledOverTcp()
{
    const QString buildRegistry = testsupport::buildDir() + QStringLiteral("/control-registry.ini");
    QVERIFY2(QFile::exists(buildRegistry), qPrintable(buildRegistry + " was not written by the build"));
    useRegistry(buildRegistry);

    testsupport::MeterSim meter;
    QVERIFY2(meter.start({QStringLiteral("--tcp"), kMeterAddress + QStringLiteral(":502")}),
             qPrintable(meter.errorString()));
    StartedMainForm started({QStringLiteral("Ethernet(TCP)"), QStringLiteral("English")});
    QVERIFY(started.loaded);
    app::MainForm &window = *started.window;
    window.show();
    started.messages.shown.clear();
    started.control<QLineEdit>(QStringLiteral("IPAddress"))->setText(kMeterAddress);
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(window.link().LinkOnline());
    QTRY_VERIFY_WITH_TIMEOUT(
        !started.control<QLineEdit>(QStringLiteral("txt_V_N(0)"))->text().isEmpty() ||
            !started.control<QLineEdit>(QStringLiteral("txt_V_N(100)"))->text().isEmpty(),
        10000);

    // The button of the panel in use.
    auto *show = started.control<QPushButton>(QStringLiteral("cmdPhaseShow(0)"));
    if (!show->isVisibleTo(&window))
        show = started.control<QPushButton>(QStringLiteral("cmdPhaseShow(1)"));
    QVERIFY(show->isEnabled());
    show->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.phasor().form(), 5000);
    phasor::PhaserForm *form = window.phasor().form();
    QVERIFY(form->Phaser1);
    const auto voltageShown = [form](int phase) {
        bool ok = false;
        const double value = QLocale().toDouble(resultText(*form, phase).trimmed(), &ok);
        return ok && value > 225 && value < 235;
    };
    QTRY_VERIFY_WITH_TIMEOUT(voltageShown(0) && voltageShown(1) && voltageShown(2), 5000);
    QVERIFY(form->lastDrawn);

    QDir build(testsupport::buildDir());
    QVERIFY(build.mkpath(QStringLiteral("screenshots")));
    const QString png = build.filePath(QStringLiteral("screenshots/phasor_window_polling.png"));
    const QImage image = form->grab().toImage();
    QVERIFY(!image.isNull());
    QVERIFY2(image.save(png), qPrintable(png));
    // The diagram shows its vectors from the first frame: the phase-a voltage
    // (pure blue) runs from the centre to the right.
    const QImage diagram = form->Phaser1->widget()->grab().toImage();
    int blue = 0;
    for (int x = diagram.width() / 2; x < diagram.width(); ++x)
        for (int y = 0; y < diagram.height(); ++y)
            blue += diagram.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
    QVERIFY2(blue > diagram.width() / 4, qPrintable(QString::number(blue)));

    // Going offline leaves the window open with the last values.
    const QString lastVoltage = resultText(*form, 0);
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!window.link().LinkOnline());
    QSignalSpy refreshed(&form->Timer1s, &QTimer::timeout);
    QVERIFY(refreshed.wait(5000));
    QCOMPARE(window.phasor().form(), form);
    QVERIFY(form->isVisible());
    QCOMPARE(resultText(*form, 0), lastVoltage);
    form->cmdPhaserEnd_Click();
    QVERIFY(!window.phasor().phasorRequested());
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(TestPhasorWindow)
#include "test_phasor_window.moc"
