// Meters files: what a line gives, what a line leaves to the defaults, and
// the line number of a line that does not fit.
#include "gateway/gateway_config.h"
#include "gateway/meter_list.h"

#include <QtTest>

class TestMeterList : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void listeners_data();
    void listeners();
    void listenerClients();
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
        got << QStringLiteral("%1 g%2 %3").arg(job.address.describe()).arg(r.group.number()).arg(span) + timing
                   + (job.clockSyncS ? QStringLiteral(" sync %1").arg(*job.clockSyncS) : QString());
    }
    QCOMPARE(jobs ? got.join(QStringLiteral(" | ")) : error, expected);
}

void TestMeterList::listeners_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // each listener's name, line, writes, clients, limit; or the error
    QTest::newRow("default port, reads only") << "listen=0.0.0.0 rtu=2 baud=9600"
                                              << "0.0.0.0:502 serial port 2 (/dev/ttyUSB1) 9600 refuse 0 16";
    QTest::newRow("beside a meter, every word")
        << "rtu=1 unit=3\nlisten=127.0.0.1:1502 rtu=1 writes=lp clients=10.0.0.0/8,192.168.1.7 masters=4 timeout=300"
        << "127.0.0.1:1502 serial port 1 (/dev/ttyUSB0) 19200 lp 2 4 t300";
    QTest::newRow("IPv6, a TCP line") << "listen=[::1]:1503 tcp=10.1.1.1:502 writes=allow"
                                      << "[::1]:1503 10.1.1.1:502 allow 0 16";
    QTest::newRow("no line") << "listen=0.0.0.0:502 writes=lp" << "line 1: no line to share: give rtu=N or tcp=HOST[:PORT]";
    QTest::newRow("a meter's word") << "listen=0.0.0.0 rtu=1 unit=2" << "line 1: \"unit\" is no word of a listener's line";
    QTest::newRow("writes") << "listen=0.0.0.0 rtu=1 writes=yes" << "line 1: writes must be allow, lp or refuse, not \"yes\"";
    QTest::newRow("clients") << "listen=0.0.0.0 rtu=1 clients=10.0.0.0/33"
                             << "line 1: clients: \"10.0.0.0/33\" is no address or ADDR/BITS";
    QTest::newRow("masters") << "listen=0.0.0.0 rtu=1 masters=0" << "line 1: masters must be a whole number from 1 to 256, not \"0\"";
    QTest::newRow("bad port") << "listen=0.0.0.0:70000 rtu=1" << "line 1: listen: " + [] {
        QString why;
        gateway::parseHostPort(QStringLiteral("0.0.0.0:70000"), false, &why);
        return why;
    }();
}

void TestMeterList::listeners()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    qunsetenv("AMPWRIGHT_COM_DIR");
    QString error;
    const auto served = gateway::parseServedFile(text, gateway::MeterJob(), &error);
    QStringList got;
    for (const gateway::ListenerSettings &l : served ? served->listeners : std::vector<gateway::ListenerSettings>{})
        got << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(l.name(), l.line.describeLine(), l.line.rtu ? QString::number(l.line.baud) : QString())
                   .arg(gateway::writesWord(l.writes)).arg(l.clients.size()).arg(l.maxMasters)
                   .simplified()
                   + (l.line.answerWaitMs ? QStringLiteral(" t%1").arg(*l.line.answerWaitMs) : QString());
    QCOMPARE(served ? got.join(QStringLiteral(" | ")) : error, expected);
    // The tool's meters files have no listeners.
    if (served && !served->listeners.empty())
        QVERIFY(!gateway::parseMeterList(text, gateway::MeterJob(), &error));
}

void TestMeterList::listenerClients()
{
    gateway::ListenerSettings settings;
    QVERIFY(settings.mayConnect(QHostAddress(QStringLiteral("203.0.113.9")))); // no list: anyone
    QString error;
    QVERIFY(*gateway::applyListenerWord(QStringLiteral("clients"), QStringLiteral("192.168.1.0/24,2001:db8::1"), settings, &error));
    QVERIFY(settings.mayConnect(QHostAddress(QStringLiteral("192.168.1.200"))));
    // An IPv4 master on a dual-stack listener.
    QVERIFY(settings.mayConnect(QHostAddress(QStringLiteral("::ffff:192.168.1.5"))));
    QVERIFY(settings.mayConnect(QHostAddress(QStringLiteral("2001:db8::1"))));
    QVERIFY(!settings.mayConnect(QHostAddress(QStringLiteral("192.168.2.1"))));
    QVERIFY(!settings.mayConnect(QHostAddress(QStringLiteral("2001:db8::2"))));
}

QTEST_GUILESS_MAIN(TestMeterList)
#include "test_meter_list.moc"
