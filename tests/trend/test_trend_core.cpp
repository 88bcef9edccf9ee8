// The trend's core: the min/max reduction, a day of polling in bounded
// memory with every interval's extremes kept, gaps where the link was away,
// and the recorded CSV rows and files.
#include "meter/reading.h"
#include "trend/csv_rows.h"
#include "trend/point_store.h"
#include "trend/recorder.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <set>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using meter::Q;
using trend::Point;

namespace {

const double kGap = std::numeric_limits<double>::quiet_NaN();
constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kPollMs = 333; // three readings a second

std::vector<Point> points(const QList<QPointF> &list)
{
    std::vector<Point> out;
    for (const QPointF &p : list)
        out.push_back({qint64(p.x()), p.y()});
    return out;
}

QString text(const std::vector<Point> &list)
{
    QStringList parts;
    for (const Point &p : list)
        parts << QStringLiteral("%1:%2").arg(p.ms).arg(p.value);
    return parts.join(u' ');
}

// A value that wanders: no two neighbouring intervals alike.
double wander(qint64 i) { return 230 + 5 * std::sin(double(i) / 37.0) + double((i * 7919) % 13) / 10.0; }

} // namespace

class TestTrendCore : public QObject {
    Q_OBJECT
private slots:
    void minMaxPerInterval_data();
    void minMaxPerInterval();
    void agingKeepsEveryMinimumAndMaximum();
    void dayOfPollingStaysBounded();
    void gapsSplitTheCurveAndSurviveAging();
    void csvRows_data();
    void csvRows();
    void recorderWritesAndFlushes();
    void recorderStopsOnFailure_data();
    void recorderStopsOnFailure();
};

void TestTrendCore::minMaxPerInterval_data()
{
    QTest::addColumn<QList<QPointF>>("input");
    QTest::addColumn<QList<QPointF>>("expected");
    using L = QList<QPointF>;
    QTest::newRow("one point") << L{{3, 5}} << L{{3, 5}};
    QTest::newRow("minimum first") << L{{0, 5}, {2, 1}, {4, 9}, {6, 3}} << L{{2, 1}, {4, 9}};
    QTest::newRow("maximum first") << L{{0, 5}, {2, 9}, {4, 1}} << L{{2, 9}, {4, 1}};
    QTest::newRow("flat keeps one") << L{{0, 2}, {5, 2}} << L{{0, 2}};
    QTest::newRow("each interval") << L{{0, 1}, {5, 2}, {10, 7}, {15, 3}} << L{{0, 1}, {5, 2}, {10, 7}, {15, 3}};
    QTest::newRow("gap ends an interval") << L{{0, 1}, {2, 5}, {3, kGap}, {4, 3}, {6, 4}, {8, 0}}
                                          << L{{0, 1}, {2, 5}, {3, kGap}, {6, 4}, {8, 0}};
    QTest::newRow("gaps in a row once") << L{{0, 1}, {1, kGap}, {2, kGap}, {3, 2}} << L{{0, 1}, {1, kGap}, {3, 2}};
    QTest::newRow("before 1970") << L{{-15, 1}, {-11, 4}, {-9, 2}, {-1, 6}} << L{{-15, 1}, {-11, 4}, {-9, 2}, {-1, 6}};
}

void TestTrendCore::minMaxPerInterval()
{
    QFETCH(QList<QPointF>, input);
    QFETCH(QList<QPointF>, expected);
    std::vector<Point> out;
    trend::appendMinMax(points(input), 10, out);
    QCOMPARE(text(out), text(points(expected)));
}

void TestTrendCore::agingKeepsEveryMinimumAndMaximum()
{
    trend::Curve curve;
    std::map<qint64, std::pair<Point, Point>> extremes; // per interval: min, max
    const qint64 count = 2 * kHourMs / kPollMs;
    for (qint64 i = 0; i < count; ++i) {
        const Point p{1'700'000'000'000 + i * kPollMs, wander(i)};
        QVERIFY(curve.add(p.ms, p.value));
        auto [it, fresh] = extremes.try_emplace(p.ms / trend::Curve::kReducedIntervalMs, p, p);
        if (!fresh && p.value < it->second.first.value)
            it->second.first = p;
        if (!fresh && p.value > it->second.second.value)
            it->second.second = p;
    }
    const auto runs = curve.runs(curve.firstMs(), curve.lastMs(), int(count));
    QCOMPARE(runs.size(), std::size_t(1));
    std::set<std::pair<qint64, double>> kept;
    for (const QPointF &p : runs[0])
        kept.insert({qint64(p.x()), p.y()});
    for (const auto &[interval, minMax] : extremes) {
        QVERIFY2(kept.count({minMax.first.ms, minMax.first.value}), qPrintable(QString::number(interval)));
        QVERIFY2(kept.count({minMax.second.ms, minMax.second.value}), qPrintable(QString::number(interval)));
    }
    // The last hour whole (and the interval it began in), the hour before it
    // as two points an interval at most.
    const qint64 interval = trend::Curve::kReducedIntervalMs;
    QVERIFY(curve.pointCount() <= std::size_t((kHourMs + interval) / kPollMs + 2 * (kHourMs / interval) + 2));
    QVERIFY(curve.pointCount() >= std::size_t(kHourMs / kPollMs));
}

void TestTrendCore::dayOfPollingStaysBounded()
{
    const Q chosen[] = {meter::VoltageLnA, meter::VoltageLnB, meter::VoltageLnC, meter::CurrentA,
                        meter::CurrentB,   meter::CurrentC,   meter::KwTotal,    meter::Frequency};
    trend::PointStore store;
    store.choose(chosen);
    meter::Reading reading;
    const qint64 count = 24 * kHourMs / kPollMs;
    for (qint64 i = 0; i < count; ++i) {
        for (const Q q : chosen)
            reading.values[std::size_t(q)] = wander(i + q);
        reading.receivedAtMs.fill(i * kPollMs);
        store.take(reading);
    }
    QCOMPARE(store.lastMs(), (count - 1) * kPollMs);
    QVERIFY2(store.bytes() < 50u * 1024 * 1024, qPrintable(QString::number(store.bytes())));
    for (const Q q : chosen)
        QVERIFY(store.curve(q)->pointCount()
                <= std::size_t(kHourMs / kPollMs + 2 * (24 * kHourMs / trend::Curve::kReducedIntervalMs)));
}

void TestTrendCore::gapsSplitTheCurveAndSurviveAging()
{
    trend::Curve curve;
    constexpr qint64 kMinute = 60 * 1000;
    for (qint64 t = 0; t <= 10 * kMinute; t += 1000)
        curve.add(t, 1);
    curve.addGap(10 * kMinute + 500);
    curve.addGap(10 * kMinute + 600); // offline once, told twice
    for (qint64 t = 20 * kMinute; t <= 3 * kHourMs; t += 1000)
        curve.add(t, 2);
    for (const int buckets : {100, 100000}) {
        const auto runs = curve.runs(0, 3 * kHourMs, buckets);
        QCOMPARE(runs.size(), std::size_t(2));
        QVERIFY(runs[0].last().x() <= 10 * kMinute);
        QCOMPARE(runs[1].first().x(), double(20 * kMinute));
        // Few buckets: the minimum and maximum of each, no more.
        QVERIFY(runs[1].size() <= 2 * buckets + 2);
    }
    // Past the last hour a flat interval is one point; a span reaches its
    // edges through the points beside it.
    const auto inside = curve.runs(30 * kMinute + 500, 31 * kMinute + 500, 1000);
    QCOMPARE(inside.size(), std::size_t(1));
    QCOMPARE(inside[0].first().x(), double(30 * kMinute));
    QCOMPARE(inside[0].last().x(), double(31 * kMinute + trend::Curve::kReducedIntervalMs));
    QCOMPARE(inside[0].size(), 8);
}

void TestTrendCore::csvRows_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QList<int>>("quantities");
    QTest::addColumn<QVariantList>("values"); // an invalid QVariant: not read
    QTest::addColumn<QString>("expected");
    const QString time = QStringLiteral("2024-03-05T09:05:03.250");
    QTest::newRow("decimal comma locale") << "de_DE" << QList<int>{Q::VoltageLnA, Q::CurrentA}
                                          << QVariantList{230.0, double(4.75f)} << time + ",230,4.75";
    QTest::newRow("not read, NaN, infinity") << "C" << QList<int>{Q::VoltageLnA, Q::Frequency, Q::PfA, Q::KwA}
                                             << QVariantList{QVariant(), kGap, HUGE_VAL, -0.5} << time + ",,,,-0.5";
    QTest::newRow("float32 shortest") << "fr_FR" << QList<int>{Q::PfB, Q::KwTotal}
                                      << QVariantList{double(0.1f), double(-1.5e-7f)} << time + ",0.1,-1.5e-07";
    QTest::newRow("no quantity") << "C" << QList<int>{} << QVariantList{} << time;
}

void TestTrendCore::csvRows()
{
    QFETCH(QString, locale);
    QFETCH(QList<int>, quantities);
    QFETCH(QVariantList, values);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(locale));
    meter::Reading reading;
    std::vector<Q> chosen;
    for (qsizetype i = 0; i < quantities.size(); ++i) {
        chosen.push_back(Q(quantities[i]));
        if (values[i].isValid())
            reading.values[std::size_t(quantities[i])] = values[i].toDouble();
    }
    const QDateTime time(QDate(2024, 3, 5), QTime(9, 5, 3, 250));
    QCOMPARE(trend::csvRow(time, chosen, reading), expected);
    QLocale::setDefault(QLocale::c());
    const Q header[] = {Q::VoltageLnA, Q::CurrentB, Q::PfA, Q::Frequency};
    QCOMPARE(trend::csvHeader(header), QStringLiteral("time,voltage_ln_a (V),current_b (A),pf_a,frequency (Hz)"));
}

void TestTrendCore::recorderWritesAndFlushes()
{
    QTemporaryDir dir;
    trend::Recorder recorder;
    QString error;
    const QDateTime start(QDate(2024, 3, 5), QTime(9, 5, 3));
    // The serial's characters 9-16, made safe for a file name.
    QVERIFY2(recorder.start({dir.filePath("Trend Data"), QString()}, QStringLiteral("AWMETER0../a:b*7"), start,
                            {Q::VoltageLnA}, &error),
             qPrintable(error));
    QCOMPARE(recorder.path(), dir.filePath("Trend Data/___a_b_7_20240305_090503.csv"));
    meter::Reading reading;
    reading.values[Q::VoltageLnA] = 230.0;
    recorder.append(start, reading);
    QFile file(recorder.path());
    // On the disk within a second, while the file is still open.
    QTRY_VERIFY_WITH_TIMEOUT(file.size() > 30, 1500);
    recorder.stop();
    QVERIFY(!recorder.isRecording());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("time,voltage_ln_a (V)\r\n2024-03-05T09:05:03.000,230\r\n"));
}

void TestTrendCore::recorderStopsOnFailure_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("folder removed") << false;
#ifdef Q_OS_UNIX
    QTest::newRow("disk full") << true;
#endif
}

void TestTrendCore::recorderStopsOnFailure()
{
    QFETCH(bool, diskFull);
    QTemporaryDir dir;
    trend::Recorder recorder;
    QSignalSpy failed(&recorder, &trend::Recorder::failed);
    QString error;
    QVERIFY(recorder.start({dir.filePath("Trend Data"), QString()}, QString(), QDateTime::currentDateTime(),
                           {Q::VoltageLnA, Q::CurrentA}, &error));
    meter::Reading reading;
    reading.values[Q::VoltageLnA] = 230.0;
    recorder.append(QDateTime::currentDateTime(), reading);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(recorder.path()).size() > 40, 1500);
    const QString path = recorder.path();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
#ifdef Q_OS_UNIX
    // A file-size limit fails writes as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (diskFull) {
        rlimit limit = saved;
        limit.rlim_cur = rlim_t(QFileInfo(path).size() + 100);
        setrlimit(RLIMIT_FSIZE, &limit);
        for (int i = 0; i < 20 && recorder.isRecording(); ++i)
            recorder.append(QDateTime::currentDateTime(), reading);
    }
#endif
    if (!diskFull)
        QVERIFY(QDir(dir.filePath("Trend Data")).removeRecursively());
    recorder.append(QDateTime::currentDateTime(), reading);
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.isRecording(), 1500);
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
#endif
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed[0][0].toString().contains(QDir::toNativeSeparators(path)), qPrintable(failed[0][0].toString()));
    if (diskFull) {
        // The rows written before stay.
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith(before));
        QVERIFY(before.startsWith("time,voltage_ln_a (V),current_a (A)\r\n"));
    }
}

QTEST_GUILESS_MAIN(TestTrendCore)
#include "test_trend_core.moc"
