// Two meter sessions side by side in one process, each on a simulated meter
// of its own over TCP, both polled on their own timers at the same time:
// each reads its own meter, and neither holds the other up for long.
#include "metersim_process.h"
#include "session/meter_session.h"

#include <QTest>

class TestSessionsWithMeter : public QObject {
    Q_OBJECT
private slots:
    void twoSessionsEachReadTheirOwnMeter();
};

void TestSessionsWithMeter::twoSessionsEachReadTheirOwnMeter()
{
    testsupport::MeterSim a, b;
    QVERIFY2(a.start({QStringLiteral("--serial"), QStringLiteral("SESSIONAAAAAAAA1"), QStringLiteral("--voltage"),
                      QStringLiteral("221.5")}),
             qPrintable(a.errorString()));
    QVERIFY2(b.start({QStringLiteral("--serial"), QStringLiteral("SESSIONBBBBBBBB2"), QStringLiteral("--voltage"),
                      QStringLiteral("238.25"), QStringLiteral("--firmware"), QStringLiteral("V2500A00")}),
             qPrintable(b.errorString()));
    session::MeterSession first(session::MeterSession::Pacing::Timed), second(session::MeterSession::Pacing::Timed);
    int cycles[2] = {0, 0};
    for (auto entry : {std::tuple{&first, &a, &cycles[0]}, std::tuple{&second, &b, &cycles[1]}}) {
        auto *session = std::get<0>(entry);
        auto *sim = std::get<1>(entry);
        int *count = std::get<2>(entry);
        links::MeterAddress address;
        address.rtu = false;
        address.host = sim->tcpAddress();
        address.tcpPort = sim->tcpPort();
        address.tcpPauseMs = 0;
        QString error;
        QVERIFY2(session->open(address, &error), qPrintable(error));
        connect(&session->poll(), &session::PollCycle::cycleEnded, this, [count] { ++*count; });
    }
    // Both poll on their own Timer1Sec, in this one thread.
    QVERIFY(QTest::qWaitFor([&] { return cycles[0] >= 5 && cycles[1] >= 5; }, 30000));
    const auto check = [](session::MeterSession &s, const char *serial, double volts, int panel) {
        QVERIFY(s.reading().identity);
        QCOMPARE(s.reading().identity->serial, QString::fromLatin1(serial));
        QCOMPARE(s.reading().value(meter::VoltageLnA).value_or(0), volts);
        QCOMPARE(s.poll().displayBase(), panel);
    };
    check(first, "SESSIONAAAAAAAA1", 221.5, 0);
    check(second, "SESSIONBBBBBBBB2", 238.25, 100);
    QVERIFY(first.link().LinkOnline() && second.link().LinkOnline());
}

QTEST_GUILESS_MAIN(TestSessionsWithMeter)
#include "test_sessions_with_meter.moc"
