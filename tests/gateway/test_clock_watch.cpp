// The meter's clock against the gateway's, and when the gateway sets it.
#include "gateway/clock_watch.h"

#include <QDateTime>
#include <QTest>

using namespace gateway;

class TestClockWatch : public QObject {
    Q_OBJECT

private slots:
    void offset_data()
    {
        QTest::addColumn<QList<unsigned>>("clock"); // year - 2000, month, day, hour, minute, second
        QTest::addColumn<int>("receivedMs");         // after 2024-03-09 17:05:00 local time
        QTest::addColumn<int>("offset");             // -1: none
        QTest::newRow("in step") << QList<unsigned>{24, 3, 9, 17, 5, 42} << 42000 << 0;
        QTest::newRow("whole seconds, rounded") << QList<unsigned>{24, 3, 9, 17, 5, 42} << 42600 << -1;
        QTest::newRow("a day behind") << QList<unsigned>{24, 3, 8, 17, 5, 0} << 0 << -86400;
        QTest::newRow("no date: 31 February") << QList<unsigned>{24, 2, 31, 17, 5, 0} << 0 << -1;
    }
    void offset()
    {
        QFETCH(QList<unsigned>, clock);
        QFETCH(int, receivedMs);
        meter::Reading reading;
        reading.identity = meter::MeterIdentity{};
        reading.identity->clock = meter::MeterClock{};
        std::copy(clock.begin(), clock.end(), reading.identity->clock->fields.begin());
        reading.receivedAtMs[meter::VoltageLnA] = QDateTime(QDate(2024, 3, 9), QTime(17, 5)).toMSecsSinceEpoch() + receivedMs;
        QTEST(int(clockOffsetSeconds(reading).value_or(-1)), "offset");
    }

    void syncDueBeyondTheLimitOnceADay()
    {
        QVERIFY(!ClockSync().due(100000, 0)); // off unless asked
        ClockSync sync(60);
        QVERIFY(!sync.due(-60, 0));
        QVERIFY(sync.due(-61, 0));
        sync.setAt(1000);
        QVERIFY(!sync.due(500, 1000 + ClockSync::kLeastBetweenMs - 1));
        QVERIFY(sync.due(500, 1000 + ClockSync::kLeastBetweenMs));
    }
};

QTEST_GUILESS_MAIN(TestClockWatch)
#include "test_clock_watch.moc"
