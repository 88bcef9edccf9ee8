// Each language applied in serial and in TCP mode, every page shown by its
// page buttons: no caption of the main window, the phasor window or the
// confirmation dialog reads "0", a Chinese or Japanese main window and dialog
// show no English word but units and codes, and the page's bands do not overlap. Pictures of
// each page and of the phasor window go to <build>/screenshots for review.
#include "gui/app/page_layout.h"
#include "gui/config/setting_panel.h"
#include "gui/phasor/phasor_window.h"
#include "gui/ui/caption.h"
#include "main_form_starter.h"
#include "screenshot.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

namespace {

// Words a technician reads as units, codes or names in any language.
const QStringList kCodes = QStringLiteral("V A B C kW kvar kVA kWh kvarh kVAh PF THD Hz CO2 kg Va Vb "
                                          "Vc Ia Ib Ic Van Vbn Vcn PFa PFb PFc PT CT Modbus TCP RTU "
                                          "IP COM PC English Ampwright")
                               .split(QLatin1Char(' '));

bool isCaptioned(const QWidget *w)
{
    return qobject_cast<const QLabel *>(w) || qobject_cast<const QAbstractButton *>(w)
           || qobject_cast<const QGroupBox *>(w);
}

QString describe(const QWidget *w)
{
    const QString name = w->objectName().isEmpty() ? ui::captionKeyOf(w).key : w->objectName();
    return QStringLiteral("%1 \"%2\"").arg(name, ui::caption(w));
}

// Captions that read "0" (a missing key) and, when english is false, words
// that are neither units nor codes. Shown controls only, the window's own
// title included; keys of our own are checked on hidden controls too.
QStringList faults(QWidget *window, bool english)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
    QStringList found;
    QList<QWidget *> controls = window->findChildren<QWidget *>();
    controls.prepend(window);
    for (QWidget *w : controls) {
        const bool keyed = !ui::captionKeyOf(w).key.isEmpty();
        const bool shown = w == window || (isCaptioned(w) && w->isVisibleTo(window));
        if (!shown && !keyed)
            continue;
        const QString text = w == window ? w->windowTitle() : ui::caption(w);
        if (text == QLatin1String("0") || text.startsWith(QLatin1String("0 ")))
            found << describe(w);
        if (english || !shown)
            continue;
        for (auto m = word.globalMatch(text); m.hasNext();) {
            const QString token = m.next().captured();
            if (!kCodes.contains(token))
                found << describe(w);
        }
    }
    found.removeDuplicates();
    return found;
}

} // namespace

class TestLanguageCaptions : public QObject {
    Q_OBJECT
private slots:
    void everyPageInEveryLanguage_data();
    void everyPageInEveryLanguage();
};

void TestLanguageCaptions::everyPageInEveryLanguage_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");
    for (const QString &mode : {QStringLiteral("serial"), QStringLiteral("tcp")}) {
        const QString connection = mode == QLatin1String("serial") ? QStringLiteral("RS485(Modbus RTU)")
                                                                   : QStringLiteral("Ethernet(TCP)");
        for (const auto &[language, name] : {std::pair{"English", "english"}, {"中文", "chinese"},
                                             {"日本語", "japanese"}}) {
            const QString row = QLatin1String(name) + QLatin1Char('_') + mode;
            QTest::newRow(qPrintable(row)) << connection << QString::fromUtf8(language) << row;
        }
    }
}

void TestLanguageCaptions::everyPageInEveryLanguage()
{
    QFETCH(QString, connection);
    QFETCH(QString, language);
    QFETCH(QString, name);
    const bool english = language == QLatin1String("English");

    StartedMainForm started({connection, language});
    QVERIFY(started.loaded);
    app::MainForm &window = *started.window;
    // Tall enough that the whole page shows without scrolling.
    window.resize(1280, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    testsupport::showWholePage(window);
    QTRY_COMPARE(started.control<QScrollBar>(QStringLiteral("VScroll1"))->maximum(), 0);

    // Each page of every tab control, five pictures in all.
    for (int k = 0; k < 5; ++k) {
        started.control<QAbstractButton>(QStringLiteral("Command10(%1)").arg(k))->click();
        started.control<QAbstractButton>(QStringLiteral("Command9(%1)").arg(k % 4))->click();
        started.control<QAbstractButton>(QStringLiteral("Command11(%1)").arg(k % 2))->click();
        const QStringList wrong = faults(&window, english);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));

        // Every band fits the room the page layout gives it: none was pushed
        // down from its table top by the one above.
        for (const app::PageBand &band : app::mainPageBands()) {
            const QWidget *control = started.control<QWidget>(QLatin1String(band.control));
            QVERIFY2(control->y() == app::kPageMargin + band.baseTop / app::kTwipsPerPixel, band.control);
        }
        QVERIFY(testsupport::saveScreenshot(&window, QStringLiteral("lang_%1_%2").arg(name).arg(k)));
    }

    // The confirmation dialog, asked for by the clock button.
    QStringList dialogFaults;
    QTimer::singleShot(50, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        dialogFaults = faults(dialog, english);
        if (name.endsWith(QLatin1String("serial")))
            QVERIFY(testsupport::saveScreenshot(dialog, QStringLiteral("lang_%1_dialog").arg(name)));
        dialog->findChild<QAbstractButton *>(QStringLiteral("CancelButton"))->click();
    });
    window.settings().cmdTimeSet_Click();
    QVERIFY2(dialogFaults.isEmpty(), qPrintable(dialogFaults.join(QStringLiteral(", "))));

    // The phasor window, opened as the poll cycle opens it.
    window.phasor().Timer1_Timer();
    QWidget *phasor = window.phasor().form();
    QVERIFY(phasor);
    QVERIFY(QTest::qWaitForWindowExposed(phasor));
    // Its fixed titles ("Meter Serial", "Angle", ...) are English in every
    // language, beside the language's captions.
    const QStringList wrong = faults(phasor, true);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
    if (name.endsWith(QLatin1String("serial")))
        QVERIFY(testsupport::saveScreenshot(phasor, QStringLiteral("lang_%1_phasor").arg(name)));
    phasor->close();
}

QTEST_MAIN(TestLanguageCaptions)
#include "test_language_captions.moc"
