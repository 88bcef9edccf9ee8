// The order and pace in which a line polls its meters: round robin among
// those due, a silent meter backing off to once a minute, offline after two
// failed polls in a row.
#include "gateway/meter_schedule.h"

#include <QTest>

using gateway::MeterSchedule;

class TestMeterSchedule : public QObject {
    Q_OBJECT
private slots:
    void retryDelays_data();
    void retryDelays();
    void pollsInTurn_data();
    void pollsInTurn();
};

void TestMeterSchedule::retryDelays_data()
{
    QTest::addColumn<qint64>("periodMs");
    QTest::addColumn<QList<qint64>>("delays"); // after 1, 2, 3 ... failures
    QTest::newRow("10 s") << qint64(10000) << QList<qint64>{10000, 20000, 40000, 60000, 60000};
    QTest::newRow("1 s") << qint64(1000) << QList<qint64>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
    QTest::newRow("period over a minute stays") << qint64(120000) << QList<qint64>{120000, 120000};
}

void TestMeterSchedule::retryDelays()
{
    QFETCH(qint64, periodMs);
    QFETCH(QList<qint64>, delays);
    for (int k = 0; k < delays.size(); ++k)
        QCOMPARE(MeterSchedule::retryDelayMs(k + 1, periodMs), delays[k]);
}

// Three meters polled every 10 s: each step polls the meter next() gives at
// a time, answering or not; the expected meter (-1: none due), and whether
// it counts as online after the poll.
void TestMeterSchedule::pollsInTurn_data()
{
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QList<int>>("meters");
    QTest::addColumn<QList<bool>>("online");

    QTest::newRow("all answer, in turn")
        << QList<qint64>{0, 1, 2, 3, 10000, 10001, 10002}
        << QList<bool>{true, true, true, true, true, true, true}
        << QList<int>{0, 1, 2, -1, 0, 1, 2} << QList<bool>{true, true, true, false, true, true, true};
    // Meter 1 never answers: tried at 0, 10 s, then 20 s later; the
    // others keep their pace.
    QTest::newRow("silent meter backs off")
        << QList<qint64>{0, 1, 2, 10000, 10001, 10002, 20000, 20002, 30000, 30001}
        << QList<bool>{true, false, true, true, false, true, true, true, true, false}
        << QList<int>{0, 1, 2, 0, 1, 2, 0, 2, 0, 1}
        << QList<bool>{true, false, true, true, false, true, true, true, true, false};
    // One lost answer keeps a meter that answered before online; the second
    // in a row takes it offline.
    QTest::newRow("offline after two failures")
        << QList<qint64>{0, 1, 2, 10000, 10001, 10002, 20000}
        << QList<bool>{true, true, true, false, true, true, false}
        << QList<int>{0, 1, 2, 0, 1, 2, 0} << QList<bool>{true, true, true, true, true, true, false};
    // A slow line: meters overdue are taken in turn, none twice before the others.
    QTest::newRow("slow line keeps the turn")
        << QList<qint64>{0, 12000, 24000, 36000, 48000}
        << QList<bool>{true, true, true, true, true}
        << QList<int>{0, 1, 2, 0, 1} << QList<bool>{true, true, true, true, true};
}

void TestMeterSchedule::pollsInTurn()
{
    QFETCH(QList<qint64>, times);
    QFETCH(QList<bool>, answers);
    QFETCH(QList<int>, meters);
    QFETCH(QList<bool>, online);
    MeterSchedule schedule(3, 10000, 0);
    for (int step = 0; step < times.size(); ++step) {
        const std::optional<int> meter = schedule.next(times[step]);
        QCOMPARE(meter.value_or(-1), meters[step]);
        if (!meter)
            continue;
        schedule.polled(*meter, answers[step], times[step]);
        QCOMPARE(schedule.online(*meter), online[step]);
    }
}

QTEST_GUILESS_MAIN(TestMeterSchedule)
#include "test_meter_schedule.moc"
