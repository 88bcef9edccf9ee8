// The trend window through the real main window against the simulated
// meter: opened by its button, it draws the default six curves on a volt
// and an ampere axis, records five seconds whose voltage columns hold the
// meter's voltage, follows a motor start, leaves a gap where the link was
// offline, shows its file's name whole, names its quantities in the
// window's language in the chooser and the legend alike, zooms to round
// times, and pictures of it polling, zoomed and in each language.
#include "gui/i18n/language_controller.h"
#include "gui/trend/trend_chart.h"
#include "gui/trend/trend_window.h"
#include "meter_session.h"
#include "screenshot.h"
#include "trend/time_ticks.h"

#include <QCheckBox>
#include <QDateTimeAxis>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QWheelEvent>

class TestTrendWithMeter : public QObject {
    Q_OBJECT
private slots:
    void recordsPollingAndGaps();
};

void TestTrendWithMeter::recordsPollingAndGaps()
{
    QTemporaryDir programDir;
    for (const char *name : {"english.ini", "titlee.txt", "chinese.ini", "titlec.txt", "Japanese.ini", "titlej.txt"})
        QVERIFY(QFile::copy(QDir(testsupport::binDir()).filePath(QLatin1String(name)),
                            programDir.filePath(QLatin1String(name))));
    testsupport::MeterSession session;
    QVERIFY2(session.startMeter(), qPrintable(session.error()));
    QVERIFY(session.openWindow(programDir.path()));
    session.started->control<QPushButton>(QStringLiteral("cmdTrend"))->click();
    trend::TrendWindow &trend = session.window().trend();
    QVERIFY(trend.isVisible());
    QCOMPARE(trend.chosen().size(), std::size_t(6));
    QVERIFY(session.goOnline([&] { return trend.store().curve(meter::CurrentC)->pointCount() >= 3; }));

    auto *record = trend.findChild<QPushButton *>(QStringLiteral("cmdTrendRecord"));
    record->click();
    QVERIFY(trend.recorder().isRecording());
    QTest::qWait(5000);
    const QString path = trend.recorder().path();
    record->click();
    QVERIFY(!trend.recorder().isRecording());
    QVERIFY(path.startsWith(programDir.filePath(QStringLiteral("Trend Data/12345678_"))));
    // The tool bar shows the file's name whole, its path in the tool tip.
    auto *fileName = trend.findChild<QLabel *>(QStringLiteral("txtTrendFile"));
    QCOMPARE(fileName->text(), QFileInfo(path).fileName());
    QCOMPARE(fileName->toolTip(), QDir::toNativeSeparators(path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("time,voltage_ln_a (V),voltage_ln_b (V),voltage_ln_c (V),"
                                            "current_a (A),current_b (A),current_c (A)"));
    QVERIFY2(lines.size() >= 6, qPrintable(QString::number(lines.size())));
    QDateTime previous;
    for (const QString &line : lines.mid(1)) {
        const QStringList fields = line.split(u',');
        QCOMPARE(fields.size(), 7);
        const QDateTime time = QDateTime::fromString(fields[0], Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && time > previous && fields[0].size() == 23, qPrintable(fields[0]));
        previous = time;
        QCOMPARE(fields.mid(1, 3), QStringList({"230", "230", "230"}));
    }

    // A motor starts: the currents leap and fall back, the voltages dip.
    const double steps[][2] = {{30, 221}, {26, 223}, {18, 226}, {12, 228}, {9, 229}};
    for (const auto &[amperes, volts] : steps) {
        for (int phase = 0; phase < 3; ++phase)
            for (const auto &[reg, value] : {std::pair{0x1090, amperes - phase}, std::pair{0x1080, volts + phase}})
                QVERIFY(session.meter->sendCommand(QStringLiteral("setf input:0x%1=%2").arg(reg + 2 * phase, 0, 16).arg(value)));
        QTest::qWait(1200);
    }
    QTRY_COMPARE(trend.store().curve(meter::CurrentC)->runs(0, trend.store().lastMs(), 1000).back().last().y(), 7.0);

    // Volts on the left, amperes on the right.
    trend.findChild<QPushButton *>(QStringLiteral("cmdTrendSpan(0)"))->click();
    QTest::qWait(600);
    const std::vector<QValueAxis *> axes = trend.chart().valueAxes();
    QCOMPARE(axes.size(), std::size_t(2));
    QCOMPARE(axes[0]->titleText(), QStringLiteral("V"));
    QCOMPARE(axes[0]->alignment(), Qt::AlignLeft);
    QCOMPARE(axes[1]->alignment(), Qt::AlignRight);
    QVERIFY(axes[0]->min() < 230 && axes[0]->max() > 230);
    QVERIFY(testsupport::saveScreenshot(&trend, QStringLiteral("trend_polling")));

    // The wheel zooms in on the time axis and stops following.
    trend::TrendChart &chart = trend.chart();
    const qint64 span = chart.shownToMs() - chart.shownFromMs();
    // Four turns, near the newest values.
    const QRect area = chart.viewport()->rect();
    const QPointF at(area.left() + area.width() * 0.92, area.center().y());
    for (int turn = 0; turn < 4; ++turn) {
        QWheelEvent wheel(at, chart.viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart.viewport(), &wheel);
    }
    QVERIFY(chart.zoomed());
    QVERIFY(chart.shownToMs() - chart.shownFromMs() < span / 2);
    const qint64 step = trend::roundTimeStep(chart.shownToMs() - chart.shownFromMs());
    QCOMPARE((chart.shownFromMs() + trend::localUtcOffsetMs(chart.shownFromMs())) % step, 0);
    QCOMPARE((chart.shownToMs() - chart.shownFromMs()) % step, 0);
    QVERIFY(trend.findChild<QPushButton *>(QStringLiteral("cmdTrendPause"))->isChecked());
    QVERIFY(testsupport::saveScreenshot(&trend, QStringLiteral("trend_zoomed")));
    trend.findChild<QPushButton *>(QStringLiteral("cmdTrendResetZoom"))->click();
    QVERIFY(!chart.zoomed());

    // Offline and back: the voltage curve is drawn as two lines.
    session.started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QVERIFY(!session.window().link().LinkOnline());
    const qint64 offlineAt = trend.store().lastMs();
    QVERIFY(session.goOnline([&] { return trend.store().curve(meter::VoltageLnA)->lastMs() > offlineAt + 1000; }));
    QTRY_COMPARE(chart.lines(meter::VoltageLnA).size(), std::size_t(2));

    auto *voltageA = trend.findChild<QCheckBox *>(QStringLiteral("chkTrend(0)"));
    QCOMPARE(voltageA->text(), QStringLiteral("Voltage L-N (V), Phase A"));
    QCOMPARE(voltageA->toolTip(), QStringLiteral("voltage_ln_a"));
    for (const auto &[language, name] : {std::pair{i18n::Language::English, "english"},
                                         {i18n::Language::Chinese, "chinese"}, {i18n::Language::Japanese, "japanese"}}) {
        session.window().language().applyLanguage(language);
        QTest::qWait(600);
        // The legend shows each curve's caption whole, as the chooser names it.
        QStringList shown;
        for (const QGraphicsItem *item : chart.scene()->items())
            if (auto *text = dynamic_cast<const QGraphicsTextItem *>(item); text && text->isVisible())
                shown << text->toPlainText();
        for (const meter::Q q : trend.chosen())
            QVERIFY(shown.contains(trend.findChild<QCheckBox *>(QStringLiteral("chkTrend(%1)").arg(int(q)))->text()));
        QVERIFY(testsupport::saveScreenshot(&trend, QStringLiteral("trend_") + QLatin1String(name)));
    }
    QCOMPARE(voltageA->text(), QStringLiteral("相電圧 (V)・A相"));
    QVERIFY(session.started->messages.shown.isEmpty());
}

QTEST_MAIN(TestTrendWithMeter)
#include "test_trend_with_meter.moc"
