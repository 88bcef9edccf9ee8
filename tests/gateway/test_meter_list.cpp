// Meters files: what a line gives, what a line leaves to the defaults, and
// the line number of a line that does not fit.
#include "gateway/meter_list.h"

#include <QtTest>

class TestMeterList : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
};

void TestMeterList::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // describe() and range of each meter, or the error
    QTest::newRow("tcp with port, defaults") << "tcp=10.0.0.5:1502 from=3 to=9"
                                             << "10.0.0.5:1502, unit 15 g1 3-9";
    QTest::newRow("serial, comments and blanks")
        << "# meters\n\nrtu=4 unit=7 baud=9600 stop-bits=2 group=2\n"
        << "serial port 4 (/dev/ttyUSB3), unit 7 g2 0-0";
    QTest::newRow("dates in quotes") << "tcp=m1 since=\"2024-03-02 06:07\" until=2024-03-02T07:00"
                                     << "m1:502, unit 15 g1 2024-03-02 06:07-2024-03-02 07:00";
    QTest::newRow("two meters") << "tcp=a to=4\nrtu=1" << "a:502, unit 15 g1 0-4 | serial port 1 (/dev/ttyUSB0), unit 15 g1 0-0";
    QTest::newRow("no meter") << "unit=3" << "line 1: no meter: give tcp=HOST[:PORT] or rtu=N";
    QTest::newRow("unknown word") << "\ntcp=a colour=red" << "line 2: unknown word \"colour\"";
    QTest::newRow("port out of range") << "rtu=17" << "line 1: the serial port must be a whole number from 1 to 16, not \"17\"";
    QTest::newRow("unit not a number") << "tcp=a unit=x" << "line 1: the unit must be a whole number from 1 to 247, not \"x\"";
    QTest::newRow("bad date") << "tcp=a since=2024-13-01" << "line 1: \"2024-13-01\" is not a date and time as YYYY-MM-DD HH:MM";
    QTest::newRow("numbers and dates") << "tcp=a from=2 since=\"2024-03-02 06:07\"" << "line 1: choose records by number (from, to) or by date (since, until), not both";
    QTest::newRow("empty host") << "tcp=:502" << "line 1: a TCP meter needs a host, as HOST or HOST:PORT";
    QTest::newRow("clock-sync") << "tcp=a clock-sync=30" << "a:502, unit 15 g1 0-0 sync 30";
    QTest::newRow("clock-sync too large") << "tcp=a clock-sync=86401"
                                          << "line 1: the seconds a clock may be off must be a whole number from 0 to 86400, not \"86401\"";
    QTest::newRow("nothing") << "# none\n" << "the meters file lists no meter";
    QTest::newRow("line timing") << "tcp=a timeout=300 pause=40 attempts=5\ntcp=b"
                                 << "a:502, unit 15 g1 0-0 t300 p40 a5 | b:502, unit 15 g1 0-0";
    QTest::newRow("timeout too short") << "tcp=a timeout=10" << "line 1: timeout (ms) must be a whole number from 50 to 60000, not \"10\"";
    QTest::newRow("no attempt") << "rtu=1 attempts=0" << "line 1: attempts must be a whole number from 1 to 5, not \"0\"";
}

void TestMeterList::lines()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    qunsetenv("AMPWRIGHT_COM_DIR");
    QString error;
    const auto jobs = gateway::parseMeterList(text, gateway::MeterJob(), &error);
    QStringList got;
    for (const gateway::MeterJob &job : jobs.value_or(std::vector<gateway::MeterJob>{})) {
        const loadprofile::LpRange &r = job.range;
        const QString span = r.since ? r.since->toString(u"yyyy-MM-dd HH:mm") + u'-'
                                           + r.until->toString(u"yyyy-MM-dd HH:mm")
                                     : QStringLiteral("%1-%2").arg(r.from.value_or(0)).arg(r.to.value_or(0));
        QString timing;
        const links::MeterAddress &a = job.address;
        if (a.answerWaitMs || a.gapMs || a.attempts)
            timing = QStringLiteral(" t%1 p%2 a%3").arg(a.answerWaitMs.value_or(-1)).arg(a.gapMs.value_or(-1)).arg(a.attempts.value_or(-1));
        got << QStringLiteral("%1 g%2 %3").arg(job.address.describe()).arg(r.group).arg(span) + timing
                   + (job.clockSyncS ? QStringLiteral(" sync %1").arg(*job.clockSyncS) : QString());
    }
    QCOMPARE(jobs ? got.join(QStringLiteral(" | ")) : error, expected);
}

QTEST_GUILESS_MAIN(TestMeterList)
#include "test_meter_list.moc"
