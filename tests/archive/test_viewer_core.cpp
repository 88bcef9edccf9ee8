// The viewer's widget-free core: the statistics of a period's channel, its
// coverage, breaks and load-duration curve, the points of a long line
// thinned for drawing, the periods it steps through and the marks of its
// time axis.
#include "archive/channel_series.h"
#include "archive/period_coverage.h"
#include "archive/view_period.h"

#include <QTest>

#include <cmath>

using archive::PeriodKind;
using archive::ViewPeriod;
Q_DECLARE_METATYPE(PeriodKind)

namespace {

const double kNaN = std::nan("");

QDateTime at(int month, int day, int hour = 0, int minute = 0, int year = 2024)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

// One record a quarter hour from 2024-03-01 00:00 on, values[i] in column 1
// (column 0 holds 0 throughout); a NaN makes the record one value short
// when shortNaN, as a record of another channel layout would be.
std::vector<lpdata::Record> quarterHours(const QList<double> &values, bool shortNaN = false)
{
    std::vector<lpdata::Record> records;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QDateTime t = at(3, 1).addSecs(900 * i);
        lpdata::Record r{std::uint8_t(t.date().year() - 2000), std::uint8_t(t.date().month()),
                              std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()),
                              std::uint8_t(t.time().minute()), 0, {0.0, values[i]}};
        if (shortNaN && std::isnan(values[i]))
            r.values.pop_back();
        records.push_back(r);
    }
    return records;
}

} // namespace

class TestViewerCore : public QObject {
    Q_OBJECT
private slots:
    void statistics_data();
    void statistics();
    void coverage_data();
    void coverage();
    void loadDuration_data();
    void loadDuration();
    void thinning_data();
    void thinning();
    void periods_data();
    void periods();
    void timeMarks_data();
    void timeMarks();
};

void TestViewerCore::statistics_data()
{
    QTest::addColumn<QList<double>>("values"); // column 1, a quarter hour apart
    QTest::addColumn<bool>("shortNaN");
    QTest::addColumn<bool>("summed");
    QTest::addColumn<long long>("count");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<int>("minimumAt"); // record index
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("maximumAt");
    QTest::addColumn<double>("average");
    QTest::addColumn<double>("sum"); // NaN: none given

    QTest::newRow("min and max with times") << QList<double>{5, 2, 9, 4} << false << false << 4LL << 2.0 << 1 << 9.0 << 2
                                            << 5.0 << kNaN;
    QTest::newRow("ties: earliest") << QList<double>{3, 1, 7, 1, 7} << false << false << 5LL << 1.0 << 1 << 7.0 << 2
                                    << 3.8 << kNaN;
    QTest::newRow("negative values") << QList<double>{-0.5, -2.25, 1.5} << false << false << 3LL << -2.25 << 1 << 1.5
                                     << 2 << (-1.25 / 3) << kNaN;
    QTest::newRow("NaN skipped") << QList<double>{kNaN, 4, kNaN, 8} << false << false << 2LL << 4.0 << 1 << 8.0 << 3
                                 << 6.0 << kNaN;
    QTest::newRow("infinity skipped") << QList<double>{INFINITY, 4, -INFINITY} << false << false << 1LL << 4.0 << 1
                                      << 4.0 << 1 << 4.0 << kNaN;
    QTest::newRow("record without the column") << QList<double>{kNaN, 6} << true << true << 1LL << 6.0 << 1 << 6.0
                                               << 1 << 6.0 << 6.0;
    QTest::newRow("interval energy summed") << QList<double>{0.25, 0.5, kNaN, 1.25} << false << true << 3LL << 0.25
                                            << 0 << 1.25 << 3 << (2.0 / 3) << 2.0;
    QTest::newRow("empty period") << QList<double>{} << false << true << 0LL << kNaN << -1 << kNaN << -1 << kNaN
                                  << kNaN;
    QTest::newRow("only NaN") << QList<double>{kNaN, kNaN} << false << true << 0LL << kNaN << -1 << kNaN << -1
                              << kNaN << kNaN;
}

void TestViewerCore::statistics()
{
    QFETCH(QList<double>, values);
    QFETCH(bool, shortNaN);
    QFETCH(bool, summed);
    QFETCH(long long, count);
    const auto records = quarterHours(values, shortNaN);
    const archive::ChannelStatistics s = archive::channelStatistics(records, 1, summed);
    QCOMPARE(s.values, count);
    QFETCH(double, sum);
    QCOMPARE(s.sum.has_value(), !std::isnan(sum));
    if (s.sum)
        QCOMPARE(*s.sum, sum);
    if (count == 0)
        return;
    QFETCH(double, minimum);
    QFETCH(int, minimumAt);
    QFETCH(double, maximum);
    QFETCH(int, maximumAt);
    QFETCH(double, average);
    QCOMPARE(s.minimum, minimum);
    QCOMPARE(s.minimumAt, at(3, 1).addSecs(900 * minimumAt));
    QCOMPARE(s.maximum, maximum);
    QCOMPARE(s.maximumAt, at(3, 1).addSecs(900 * maximumAt));
    QCOMPARE(s.average, average);
    QCOMPARE(s.loadFactor.has_value(), maximum > 0);
    if (s.loadFactor)
        QCOMPARE(*s.loadFactor, average / maximum);
}

// Records at minutes of 2024-03-01 (occurrence 1: a repeated stamp), over a
// day cut to `from` .. `to` minutes.
void TestViewerCore::coverage_data()
{
    QTest::addColumn<QList<int>>("minutes");
    QTest::addColumn<QList<int>>("repeats"); // indexes of records of a repeated stamp
    QTest::addColumn<int>("interval");       // the records' own, 0: not known to them
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QList<long long>>("counts"); // due, present, missing, repeated
    QTest::addColumn<QList<qsizetype>>("breaks");
    QTest::addColumn<double>("curveEnd"); // %: where the load-duration curve ends, present / due

    QList<int> day;
    for (int m = 0; m < 1440; m += 15)
        if (m < 150 || m > 225)
            day << m;
    QTest::newRow("a day, 6 missing") << day << QList<int>{} << 900 << 0 << 1440
                                      << QList<long long>{96, 90, 6, 0} << QList<qsizetype>{10} << 9000.0 / 96;
    QTest::newRow("interval from the stamps") << day << QList<int>{} << 0 << 0 << 1440
                                              << QList<long long>{96, 90, 6, 0} << QList<qsizetype>{10} << 9000.0 / 96;
    QTest::newRow("cut to the group's first record") << day.mid(34) << QList<int>{} << 900 << 600 << 1440
                                                     << QList<long long>{56, 56, 0, 0} << QList<qsizetype>{} << 100.0;
    QTest::newRow("cut between grid stamps") << QList<int>{15, 30} << QList<int>{} << 900 << 10 << 46
                                             << QList<long long>{3, 2, 1, 0} << QList<qsizetype>{} << 200.0 / 3;
    QTest::newRow("clock set back: repeats count once")
        << QList<int>{0, 15, 30, 45, 15, 30, 45, 60} << QList<int>{4, 5, 6} << 900 << 0 << 75
        << QList<long long>{5, 5, 0, 3} << QList<qsizetype>{} << 100.0;
    QTest::newRow("a repeated stamp adds no time to a missing one")
        << QList<int>{0, 15, 15, 45} << QList<int>{2} << 900 << 0 << 60 << QList<long long>{4, 3, 1, 1}
        << QList<qsizetype>{2} << 75.0;
    QTest::newRow("off the grid: no interval closed, shares the one it lies in")
        << QList<int>{0, 15, 37, 45} << QList<int>{} << 900 << 0 << 60 << QList<long long>{4, 3, 1, 0}
        << QList<qsizetype>{} << 75.0;
    QTest::newRow("no interval known: nothing counted") << QList<int>{0, 50} << QList<int>{} << 0 << 0 << 60
                                                        << QList<long long>{0, 0, 0, 0} << QList<qsizetype>{} << 100.0;
}

void TestViewerCore::coverage()
{
    QFETCH(QList<int>, minutes);
    QFETCH(QList<int>, repeats);
    QFETCH(int, interval);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QList<long long>, counts);
    QFETCH(QList<qsizetype>, breaks);
    std::vector<lpdata::Record> records;
    std::vector<archive::RecordQuality> quality;
    for (qsizetype i = 0; i < minutes.size(); ++i) {
        const QDateTime t = at(3, 1).addSecs(60 * minutes[i]);
        records.push_back({std::uint8_t(t.date().year() - 2000), std::uint8_t(t.date().month()),
                           std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()), std::uint8_t(t.time().minute()),
                           0, {double(i)}});
        const bool repeat = repeats.contains(int(i));
        quality.push_back({repeat ? 1 : 0, repeat ? archive::kRepeatedStamp : 0u, 0, interval});
    }
    const archive::PeriodCoverage c =
        archive::periodCoverage(records, quality, at(3, 1).addSecs(60 * from), at(3, 1).addSecs(60 * to));
    QCOMPARE((QList<long long>{c.due, c.present, c.missing, c.repeated}), counts);
    const std::vector<archive::ChannelSeries> series = archive::channelSeries(records, std::vector<int>{3}, quality);
    QCOMPARE(series[0].breaks, breaks);
    QCOMPARE(series[0].repeated.size(), repeats.size());
    QCOMPARE(series[0].points.size() + series[0].repeated.size(), minutes.size());
    QCOMPARE(series[0].statistics.values, (long long)minutes.size());
    QFETCH(double, curveEnd);
    QCOMPARE(archive::loadDurationCurve(records, 0, c).last().x(), curveEnd);
}

void TestViewerCore::loadDuration_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<long long>("due");
    QTest::addColumn<QList<QPointF>>("curve");
    QTest::newRow("every interval") << QList<double>{4, 1, 3, 2} << 4LL
                                    << QList<QPointF>{{0, 4}, {25, 3}, {50, 2}, {75, 1}, {100, 1}};
    QTest::newRow("one missing: short of 100 %") << QList<double>{4, 1, 3, 2} << 5LL
                                                 << QList<QPointF>{{0, 4}, {20, 3}, {40, 2}, {60, 1}, {80, 1}};
    QTest::newRow("NaN left out, ties kept") << QList<double>{2, kNaN, 2, -1} << 4LL
                                             << QList<QPointF>{{0, 2}, {25, 2}, {50, -1}, {75, -1}};
    QTest::newRow("due not known: the values' own") << QList<double>{1, 3} << 0LL
                                                    << QList<QPointF>{{0, 3}, {50, 1}, {100, 1}};
    QTest::newRow("no values") << QList<double>{kNaN} << 4LL << QList<QPointF>{};
}

void TestViewerCore::loadDuration()
{
    QFETCH(QList<double>, values);
    QFETCH(long long, due);
    QFETCH(QList<QPointF>, curve);
    const auto records = quarterHours(values);
    const auto coverage = archive::periodCoverage(records, {}, at(3, 1), at(3, 1).addSecs(900 * due));
    QCOMPARE(archive::loadDurationCurve(records, 1, coverage), curve);
}

void TestViewerCore::thinning_data()
{
    QTest::addColumn<QList<double>>("values"); // at x = 0, 1, 2 ...
    QTest::addColumn<int>("columns");          // over x from 0 to 12
    QTest::addColumn<QList<double>>("keptX");

    QTest::newRow("short: whole") << QList<double>{5, 1, 9, 3} << 2 << QList<double>{0, 1, 2, 3};
    QTest::newRow("low and high of each column, in order")
        << QList<double>{5, 9, 1, 4, 2, 2, 8, 8, 3, 6, 0, 7} << 3 << QList<double>{1, 2, 4, 6, 10, 11};
    QTest::newRow("a flat column: one point") << QList<double>{4, 4, 4, 4, 4, 4, 1, 2, 3, 4, 5, 6} << 2
                                              << QList<double>{0, 6, 11};
}

void TestViewerCore::thinning()
{
    QFETCH(QList<double>, values);
    QFETCH(int, columns);
    QFETCH(QList<double>, keptX);
    QList<QPointF> points;
    for (qsizetype i = 0; i < values.size(); ++i)
        points << QPointF(double(i), values[i]);
    QList<double> shownX;
    for (const QPointF &p : archive::thinnedForPlot(points, 0, 12, columns)) {
        shownX << p.x();
        QCOMPARE(p.y(), values[qsizetype(p.x())]);
    }
    QCOMPARE(shownX, keptX);
}

void TestViewerCore::periods_data()
{
    QTest::addColumn<PeriodKind>("kind");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QDateTime>("start"); // of the period stepped to
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QDateTime>("until"); // the last second it reads

    QTest::newRow("day") << PeriodKind::Day << at(3, 5, 13, 15) << 0 << at(3, 5) << at(3, 6) << at(3, 5, 23, 59).addSecs(59);
    QTest::newRow("day before leap day") << PeriodKind::Day << at(3, 1, 0, 0) << -1 << at(2, 29) << at(3, 1)
                                         << at(2, 29, 23, 59).addSecs(59);
    QTest::newRow("week from Monday") << PeriodKind::Week << at(3, 10, 23, 45) << 0 << at(3, 4) << at(3, 11)
                                      << at(3, 10, 23, 59).addSecs(59);
    QTest::newRow("week across the year") << PeriodKind::Week << at(1, 2, 6) << -1 << at(12, 25, 0, 0, 2023)
                                          << at(1, 1) << at(12, 31, 23, 59, 2023).addSecs(59);
    QTest::newRow("month") << PeriodKind::Month << at(2, 29, 12) << 0 << at(2, 1) << at(3, 1)
                           << at(2, 29, 23, 59).addSecs(59);
    QTest::newRow("month after 31 days") << PeriodKind::Month << at(1, 31) << 1 << at(2, 1) << at(3, 1)
                                         << at(2, 29, 23, 59).addSecs(59);
    QTest::newRow("months back") << PeriodKind::Month << at(3, 31) << -3 << at(12, 1, 0, 0, 2023) << at(1, 1)
                                 << at(12, 31, 23, 59, 2023).addSecs(59);
}

void TestViewerCore::periods()
{
    QFETCH(PeriodKind, kind);
    QFETCH(QDateTime, time);
    QFETCH(int, steps);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QDateTime, until);
    const ViewPeriod period = archive::stepped(archive::periodHolding(kind, time), steps);
    QCOMPARE(period, (ViewPeriod{kind, start, end}));
    QCOMPARE(*period.range().since, start);
    QCOMPARE(*period.range().until, until);
    // Stepping back returns to the period that held the time.
    QCOMPARE(archive::stepped(period, -steps), archive::periodHolding(kind, time));

    // All covers the stored records, whatever the time, and reads every record.
    const ViewPeriod all = archive::periodHolding(PeriodKind::All, time, start, until);
    QCOMPARE(archive::stepped(all, steps), all);
    QCOMPARE(all.end, until.addSecs(1));
    QVERIFY(!all.range().since && !all.range().until);
}

void TestViewerCore::timeMarks_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QDateTime>("first");

    QTest::newRow("a day: 3 hours, dates at midnight")
        << at(3, 5) << at(3, 6)
        << QStringList{"03-05", "03:00", "06:00", "09:00", "12:00", "15:00", "18:00", "21:00", "03-06"} << at(3, 5);
    QTest::newRow("a week: days") << at(3, 4) << at(3, 11)
                                  << QStringList{"03-04", "03-05", "03-06", "03-07", "03-08", "03-09", "03-10", "03-11"}
                                  << at(3, 4);
    QTest::newRow("a month: weeks from the 1st")
        << at(2, 1) << at(3, 1) << QStringList{"02-01", "02-08", "02-15", "02-22", "02-29"} << at(2, 1);
    QTest::newRow("a year from mid-month: odd months")
        << at(1, 15) << at(12, 20) << QStringList{"2024-03", "2024-05", "2024-07", "2024-09", "2024-11"} << at(3, 1);
    QTest::newRow("three days from 10:20: 12 hours would repeat 12:00")
        << at(3, 5, 10, 20) << at(3, 8) << QStringList{"03-06", "03-07", "03-08"} << at(3, 6);
    QTest::newRow("years") << at(6, 1, 0, 0, 2020) << at(6, 1, 0, 0, 2029)
                           << QStringList{"2021", "2022", "2023", "2024", "2025", "2026", "2027", "2028", "2029"}
                           << at(1, 1, 0, 0, 2021);
    QTest::newRow("no length") << at(3, 5) << at(3, 5) << QStringList{} << QDateTime();
}

void TestViewerCore::timeMarks()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QStringList, labels);
    QFETCH(QDateTime, first);
    const std::vector<archive::TimeTick> ticks = archive::timeTicks(start, end, 9);
    QStringList shown;
    for (const archive::TimeTick &tick : ticks)
        shown << tick.label;
    QCOMPARE(shown, labels);
    if (!ticks.empty())
        QCOMPARE(ticks.front().msecs, first.toMSecsSinceEpoch());
}

QTEST_APPLESS_MAIN(TestViewerCore)
#include "test_viewer_core.moc"
