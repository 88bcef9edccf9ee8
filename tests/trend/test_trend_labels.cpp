// What the trend window labels: the round times its time axis shows when it
// follows the poll and when the user zooms, and the captions of the
// quantities in each language.
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "test_paths.h"
#include "trend/quantity_captions.h"
#include "trend/time_ticks.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QtTest>

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// Times on 2024-03-05, in UTC.
qint64 at(const char *time)
{
    const QString text = QLatin1String(time);
    const QTime t = QTime::fromString(text, text.size() > 8 ? u"HH:mm:ss.zzz" : u"HH:mm:ss");
    return QDateTime(QDate(2024, 3, 5), t, QTimeZone::utc()).toMSecsSinceEpoch();
}

i18n::IniFile languageFile(i18n::Language language)
{
    const QString path = i18n::findFileInFolder(testsupport::sourceDir() + QStringLiteral("/lang"),
                                                i18n::languageFileName(language));
    return i18n::IniFile::load(path, i18n::codePageOf(language));
}

QString shown(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(u"HH:mm:ss.zzz"); }

} // namespace

class TestTrendLabels : public QObject {
    Q_OBJECT
private slots:
    void roundSteps_data();
    void roundSteps();
    void ticksOnRoundTimes_data();
    void ticksOnRoundTimes();
    void quantityCaptions_data();
    void quantityCaptions();
    void everyQuantityNamedInEachLanguage_data();
    void everyQuantityNamedInEachLanguage();
};

void TestTrendLabels::roundSteps_data()
{
    QTest::addColumn<qint64>("spanMs");
    QTest::addColumn<qint64>("stepMs");
    QTest::newRow("below a second") << qint64(300) << qint64(1000);
    QTest::newRow("1 min in six") << kMinute << qint64(10000);
    QTest::newRow("just past ten steps") << qint64(20001) << qint64(5000);
    QTest::newRow("10 min in ten") << 10 * kMinute << kMinute;
    QTest::newRow("2 min 40 s") << qint64(160000) << qint64(30000);
    QTest::newRow("1 h") << kHour << 10 * kMinute;
    QTest::newRow("3 h") << 3 * kHour << 30 * kMinute;
    QTest::newRow("a day") << kDay << 3 * kHour;
    QTest::newRow("a week") << 7 * kDay << kDay;
    QTest::newRow("a month, whole days") << 30 * kDay << 3 * kDay;
}

void TestTrendLabels::roundSteps()
{
    QFETCH(qint64, spanMs);
    QFETCH(qint64, stepMs);
    QCOMPARE(trend::roundTimeStep(spanMs), stepMs);
}

void TestTrendLabels::ticksOnRoundTimes_data()
{
    QTest::addColumn<bool>("followed");
    QTest::addColumn<qint64>("fromMs"); // followed: the newest point
    QTest::addColumn<qint64>("toMs");   // followed: the span
    QTest::addColumn<qint64>("wasSpanMs");
    QTest::addColumn<qint64>("offsetMs");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("count");
    QTest::newRow("followed 1 min") << true << at("07:33:27.400") << kMinute << qint64(0) << qint64(0)
                                    << "07:32:30.000" << "07:33:30.000" << 7;
    QTest::newRow("followed on a step") << true << at("07:33:30") << kMinute << qint64(0) << qint64(0)
                                        << "07:32:40.000" << "07:33:40.000" << 7;
    QTest::newRow("followed 10 min") << true << at("07:33:27") << 10 * kMinute << qint64(0) << qint64(0)
                                     << "07:24:00.000" << "07:34:00.000" << 11;
    QTest::newRow("followed 1 h") << true << at("07:33:27") << kHour << qint64(0) << qint64(0) << "06:40:00.000"
                                  << "07:40:00.000" << 7;
    // The odd labels the user saw: a wheel turn from a minute.
    QTest::newRow("wheel in, nearest") << false << at("07:33:03.200") << at("07:33:51.200") << kMinute << qint64(0)
                                       << "07:33:05.000" << "07:33:50.000" << 10;
    QTest::newRow("rubber band") << false << at("07:33:27.130") << at("07:33:41.870") << kMinute << qint64(0)
                                 << "07:33:28.000" << "07:33:42.000" << 8;
    QTest::newRow("nearest would undo zoom in") << false << at("07:00:02.400") << at("07:00:22.500") << qint64(25000)
                                                << qint64(0) << "07:00:05.000" << "07:00:20.000" << 4;
    QTest::newRow("nearest would undo zoom out") << false << at("07:00:02.600") << at("07:00:27.400") << qint64(20000)
                                                 << qint64(0) << "07:00:00.000" << "07:00:30.000" << 7;
    QTest::newRow("below a second: one step") << false << at("07:00:10.100") << at("07:00:10.700") << qint64(1200)
                                              << qint64(0) << "07:00:10.000" << "07:00:11.000" << 2;
    // Whole hours of the local clock, 5:30 ahead of UTC.
    QTest::newRow("hours of a half-hour zone") << false << at("00:10:00") << at("08:05:00") << 10 * kHour
                                               << 330 * kMinute << "00:30:00.000" << "08:30:00.000" << 9;
    QTest::newRow("followed 1 h, 5:45 ahead") << true << at("07:33:27") << kHour << qint64(0) << 345 * kMinute
                                              << "06:35:00.000" << "07:35:00.000" << 7;
}

void TestTrendLabels::ticksOnRoundTimes()
{
    QFETCH(bool, followed);
    QFETCH(qint64, fromMs);
    QFETCH(qint64, toMs);
    QFETCH(qint64, wasSpanMs);
    QFETCH(qint64, offsetMs);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, count);
    const trend::TimeTicks ticks = followed ? trend::followedTicks(toMs, fromMs, offsetMs)
                                            : trend::zoomedTicks(fromMs, toMs, wasSpanMs, offsetMs);
    QCOMPARE(shown(ticks.fromMs), from);
    QCOMPARE(shown(ticks.toMs), to);
    QCOMPARE(ticks.count, count);
}

void TestTrendLabels::quantityCaptions_data()
{
    using polling::Q;
    using i18n::Language;
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<QString>("caption");
    QTest::newRow("phase") << Language::English << int(Q::VoltageLnA) << "Voltage L-N (V), Phase A";
    QTest::newRow("pair of phases") << Language::English << int(Q::VoltageLlCa) << "Voltage L-L (V), C-A";
    QTest::newRow("average") << Language::English << int(Q::CurrentAvg) << "Current (A), Average";
    QTest::newRow("energy total") << Language::English << int(Q::KwhDelivered) << "kWh delivered, Total";
    QTest::newRow("THD by number") << Language::English << int(Q::Thd + 8) << "THD group 2 (%), 3";
    QTest::newRow("one of a kind") << Language::English << int(Q::Frequency) << "Frequency (Hz)";
    QTest::newRow("chinese") << Language::Chinese << int(Q::VoltageLnB) << "相電壓 (V),B 相";
    QTest::newRow("chinese pair") << Language::Chinese << int(Q::VoltageLlAb) << "線電壓 (V),A-B 相間";
    QTest::newRow("japanese phase energy") << Language::Japanese << int(Q::PhaseEnergyC + 2)
                                           << "遅れ無効電力量 kvarh・C相";
    QTest::newRow("japanese total") << Language::Japanese << int(Q::KwTotal) << "有効電力 kW・合計";
}

void TestTrendLabels::quantityCaptions()
{
    QFETCH(i18n::Language, language);
    QFETCH(int, quantity);
    QFETCH(QString, caption);
    QCOMPARE(trend::quantityCaption(polling::Q(quantity), languageFile(language)), caption);
}

void TestTrendLabels::everyQuantityNamedInEachLanguage_data()
{
    QTest::addColumn<i18n::Language>("language");
    QTest::newRow("english") << i18n::Language::English;
    QTest::newRow("chinese") << i18n::Language::Chinese;
    QTest::newRow("japanese") << i18n::Language::Japanese;
}

// Each file has every key a caption is made of, the captions tell the
// quantities apart, and Chinese and Japanese ones hold no English words but
// units and codes.
void TestTrendLabels::everyQuantityNamedInEachLanguage()
{
    QFETCH(i18n::Language, language);
    const i18n::IniFile file = languageFile(language);
    QVERIFY(!file.isEmpty());
    static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
    const QStringList codes = QStringLiteral("V A B C kW kvar kVA kWh kvarh kVAh PF THD Hz CO2 kg PT CT")
                                  .split(QLatin1Char(' '));
    QSet<QString> captions;
    for (int q = 0; q < polling::kQuantityCount; ++q) {
        const polling::Quantity &quantity = polling::quantity(polling::Q(q));
        QVERIFY2(file.text(QLatin1String(quantity.captionSection), QLatin1String(quantity.captionKey))
                     != i18n::IniFile::missingText(),
                 quantity.captionKey);
        if (quantity.partKey)
            QVERIFY2(file.text(QLatin1String(quantity.partSection), QLatin1String(quantity.partKey))
                         != i18n::IniFile::missingText(),
                     quantity.partKey);
        const QString caption = trend::quantityCaption(polling::Q(q), file);
        // The whole-number and fractional ratios are one setting shown twice.
        if (quantity.group != polling::QuantityGroup::Ratio)
            QVERIFY2(!captions.contains(caption), qPrintable(caption));
        captions.insert(caption);
        if (language == i18n::Language::English)
            continue;
        for (auto m = word.globalMatch(caption); m.hasNext();) {
            const QString token = m.next().captured();
            QVERIFY2(codes.contains(token), qPrintable(caption));
        }
    }
}

QTEST_GUILESS_MAIN(TestTrendLabels)
#include "test_trend_labels.moc"
