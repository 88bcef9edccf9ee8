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
        QTest::addColumn<int>("receivedMsIntoMinute"); // 2024-03-09 17:05:00.000 local time plus this
        QTest::addColumn<int>("offset");              // -1: none
        QTest::newRow("in step") << QList<unsigned>{24, 3, 9, 17, 5, 42} << 42000 << 0;
        QTest::newRow("whole second rounds") << QList<unsigned>{24, 3, 9, 17, 5, 42} << 42600 << -1;
        QTest::newRow("ahead across the hour") << QList<unsigned>{24, 3, 9, 18, 0, 0} << 0 << 3300;
        QTest::newRow("a day behind") << QList<unsigned>{24, 3, 8, 17, 5, 0} << 0 << -86400;
        QTest::newRow("no date: 31 February") << QList<unsigned>{24, 2, 31, 17, 5, 0} << 0 << -1;
    }
    void offset()
    {
        QFETCH(QList<unsigned>, clock);
        QFETCH(int, receivedMsIntoMinute);
        QFETCH(int, offset);
        meter::Reading reading;
        meter::MeterIdentity identity;
        identity.clock = meter::MeterClock{};
        std::copy(clock.begin(), clock.end(), identity.clock->fields.begin());
        reading.identity = identity;
        reading.values[meter::VoltageLnA] = 230;
        reading.receivedAtMs[meter::VoltageLnA] =
            QDateTime(QDate(2024, 3, 9), QTime(17, 5)).toMSecsSinceEpoch() + receivedMsIntoMinute;
        const std::optional<qint64> got = clockOffsetSeconds(reading);
        QCOMPARE(got.value_or(-1), qint64(offset));
    }

    void syncDue()
    {
        ClockSync never;
        QVERIFY(!never.due(100000, 0));
        ClockSync sync(60);
        QVERIFY(!sync.due(60, 0));  // within what is allowed
        QVERIFY(!sync.due(-60, 0));
        QVERIFY(sync.due(-61, 0));  // behind as much as ahead
        sync.setAt(1000);
        QVERIFY(!sync.due(500, 1000 + ClockSync::kLeastBetweenMs - 1)); // once a day at most
        QVERIFY(sync.due(500, 1000 + ClockSync::kLeastBetweenMs));
    }
};

QTEST_GUILESS_MAIN(TestClockWatch)
#include "test_clock_watch.moc"
