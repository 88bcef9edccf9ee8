// What the trend window labels: the round times its time axis shows when it
// follows the poll and when the user zooms, and the quantities' captions in
// each language file.
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "test_paths.h"
#include "trend/quantity_captions.h"
#include "trend/time_ticks.h"

#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QtTest>

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;

// "07:33:27.400" on a day in UTC, and back.
qint64 at(const char *time)
{
    return QDateTime(QDate(2024, 3, 5), QTime::fromString(QLatin1String(time), u"HH:mm:ss.zzz"), QTimeZone::utc())
        .toMSecsSinceEpoch();
}
QString shown(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(u"HH:mm:ss.zzz"); }

i18n::IniFile languageFile(i18n::Language language)
{
    return i18n::IniFile::load(i18n::findFileInFolder(testsupport::sourceDir() + QStringLiteral("/lang"),
                                                      i18n::languageFileName(language)),
                               i18n::codePageOf(language));
}

} // namespace

class TestTrendLabels : public QObject {
    Q_OBJECT
private slots:
    void ticksOnRoundTimes_data();
    void ticksOnRoundTimes();
    void everyQuantityNamedInEachLanguage();
};

void TestTrendLabels::ticksOnRoundTimes_data()
{
    QTest::addColumn<qint64>("fromMs"); // followed: the newest point
    QTest::addColumn<qint64>("toMs");
    QTest::addColumn<qint64>("wasSpanMs"); // 0: a followed span of toMs
    QTest::addColumn<qint64>("offsetMs");
    QTest::addColumn<QString>("expected"); // from, to, labels
    QTest::newRow("followed 1 min") << at("07:33:27.400") << kMinute << 0LL << 0LL << "07:32:30.000 07:33:30.000 7";
    QTest::newRow("followed 1 h") << at("07:33:27.000") << kHour << 0LL << 0LL << "06:40:00.000 07:40:00.000 7";
    // The odd labels the user saw: a rubber band.
    QTest::newRow("rubber band") << at("07:33:27.130") << at("07:33:41.870") << kMinute << 0LL
                                 << "07:33:28.000 07:33:42.000 8";
    QTest::newRow("nearest would undo zoom in") << at("07:00:02.400") << at("07:00:22.500") << 25000LL << 0LL
                                                << "07:00:05.000 07:00:20.000 4";
    QTest::newRow("nearest would undo zoom out") << at("07:00:02.600") << at("07:00:27.400") << 20000LL << 0LL
                                                 << "07:00:00.000 07:00:30.000 7";
    // Whole hours of the local clock, 5:30 ahead of UTC.
    QTest::newRow("half-hour zone") << at("00:10:00.000") << at("08:05:00.000") << 10 * kHour << 330 * kMinute
                                    << "00:30:00.000 08:30:00.000 9";
}

void TestTrendLabels::ticksOnRoundTimes()
{
    QFETCH(qint64, fromMs);
    QFETCH(qint64, toMs);
    QFETCH(qint64, wasSpanMs);
    QFETCH(qint64, offsetMs);
    QFETCH(QString, expected);
    const trend::TimeTicks ticks = wasSpanMs == 0 ? trend::followedTicks(toMs, fromMs, offsetMs)
                                                  : trend::zoomedTicks(fromMs, toMs, wasSpanMs, offsetMs);
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(shown(ticks.fromMs), shown(ticks.toMs)).arg(ticks.count), expected);
}

// Every file has every key the captions are made of, they tell the
// quantities apart, and Chinese and Japanese ones hold no English words but
// units and codes.
void TestTrendLabels::everyQuantityNamedInEachLanguage()
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
    const QStringList codes = QStringLiteral("V A B C kW kvar kVA kWh kvarh kVAh PF THD Hz CO2 kg PT CT").split(u' ');
    for (const auto language : {i18n::Language::English, i18n::Language::Chinese, i18n::Language::Japanese}) {
        const i18n::IniFile file = languageFile(language);
        const auto has = [&file](const char *section, const char *key) {
            return !key || file.text(QLatin1String(section), QLatin1String(key)) != i18n::IniFile::missingText();
        };
        QSet<QString> captions;
        for (int q = 0; q < meter::kQuantityCount; ++q) {
            const meter::Quantity &quantity = meter::quantity(meter::Q(q));
            QVERIFY2(has(quantity.captionSection, quantity.captionKey) && has(quantity.partSection, quantity.partKey),
                     qPrintable(quantity.id));
            const QString caption = trend::quantityCaption(meter::Q(q), file);
            // The whole-number and fractional ratios are one setting shown twice.
            QVERIFY2(quantity.group == meter::QuantityGroup::Ratio || !captions.contains(caption), qPrintable(caption));
            captions.insert(caption);
            for (auto m = word.globalMatch(caption); language != i18n::Language::English && m.hasNext();)
                QVERIFY2(codes.contains(m.next().captured()), qPrintable(caption));
        }
    }
}

QTEST_GUILESS_MAIN(TestTrendLabels)
#include "test_trend_labels.moc"
