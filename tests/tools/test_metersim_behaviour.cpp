// What the simulated meter does beyond plain reads and writes: fault
// injection, robustness against bad input, record windows, the ticking clock,
// address and rate changes, commands, and its own start and end.

#include "metersim_process.h"
#include "modbus_peer.h"
#include "raw_clients.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <modbus.h>

using testsupport::MeterSim;
using testsupport::MeterWrite;

#define START_SIM(sim, args) QVERIFY2((sim).start(args), qPrintable((sim).errorString()))

namespace {

bool connectPeer(ModbusPeer &peer, const MeterSim &sim, const QString &transport)
{
    return transport == QLatin1String("tcp") ? peer.connectTcp(sim.tcpAddress(), sim.tcpPort())
                                             : peer.connectRtu(sim.ptyPath());
}

#define CONNECT_PEER(peer, sim, transport) \
    QVERIFY2(connectPeer(peer, sim, transport), qPrintable((peer).errorText()))

void addTransports()
{
    QTest::addColumn<QString>("transport");
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("rtu") << "rtu";
}

// How a read ended, in the words of the fault table.
QString outcome(ModbusPeer &peer, const std::optional<QList<quint16>> &values)
{
    if (values)
        return QStringLiteral("ok");
    if (peer.timedOut())
        return QStringLiteral("timeout");
    if (peer.exceptionCode())
        return QStringLiteral("exc%1").arg(peer.exceptionCode());
    if (peer.lastError() == EMBBADCRC)
        return QStringLiteral("crc");
    if (peer.lastError() == EMBBADSLAVE)
        return QStringLiteral("slave");
    return peer.errorText();
}

// The read of PT and CT ratio (holding 0x1021, 2 registers) over TCP, framed by hand.
const QByteArray kTcpRead = hexBytes("00 07 00 00 00 06 0F 03 10 21 00 02");
const QByteArray kTcpAnswer = hexBytes("00 07 00 00 00 07 0F 03 04 00 0A 00 01");
// The same over RTU, with its CRC, and the answer.
const QByteArray kRtuRead = hexBytes("0F 03 10 21 00 02 91 EF");
const QByteArray kRtuAnswer = hexBytes("0F 03 04 00 0A 00 01 F4 31");

} // namespace

class TestMetersimBehaviour : public QObject {
    Q_OBJECT
private slots:
    void faultRules_data();
    void faultRules();
    void suppressedWriteIsNotCarriedOut();
    void answerTiming_data();
    void answerTiming();
    void garbageFollowsAnAnswer();
    void tcpFraming_data();
    void tcpFraming();
    void rtuStreamOverPty_data();
    void rtuStreamOverPty();
    void randomInputIsSurvived();
    void recordWindows_data();
    void recordWindows();
    void writesRestartOrClearProfiles_data();
    void writesRestartOrClearProfiles();
    void clockTicksFromTheValueWritten();
    void addressChangeTakesEffectAfterTheAnswer_data() { addTransports(); }
    void addressChangeTakesEffectAfterTheAnswer();
    void energyResetZeroesCountersAndCo2();
    void baudRateEmulation();
    void consoleCommands_data();
    void consoleCommands();
    void ptyLinkAndCleanExit();
    void startFailureIsReported_data();
    void startFailureIsReported();
    void writeLogLines_data();
    void writeLogLines();
    void answersShareTheLine();
};

void TestMetersimBehaviour::faultRules_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("outcomes"); // of four reads of holding 0x1021

    QTest::newRow("drop the second") << "tcp" << "drop@nth=2" << QStringList{"ok", "timeout", "ok", "ok"};
    QTest::newRow("drop every second once") << "rtu" << "drop@every=2,times=1"
                                            << QStringList{"ok", "timeout", "ok", "ok"};
    QTest::newRow("exception twice by register") << "tcp" << "exception:4@reg=3:0x1021,times=2"
                                                 << QStringList{"exc4", "exc4", "ok", "ok"};
    QTest::newRow("rule for another register") << "rtu" << "drop@reg=3:0x1022"
                                               << QStringList{"ok", "ok", "ok", "ok"};
    QTest::newRow("bad CRC") << "rtu" << "crc@nth=1" << QStringList{"crc", "ok", "ok", "ok"};
    QTest::newRow("wrong address") << "rtu" << "address@nth=3" << QStringList{"ok", "ok", "slave", "ok"};
    QTest::newRow("short answer") << "rtu" << "short:4@nth=2" << QStringList{"ok", "timeout", "ok", "ok"};
    QTest::newRow("late answer") << "tcp" << "delay:700@nth=1" << QStringList{"timeout", "ok", "ok", "ok"};
}

void TestMetersimBehaviour::faultRules()
{
    QFETCH(QString, transport);
    QFETCH(QString, rule);
    QFETCH(QStringList, outcomes);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--fault", rule}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);
    peer.setTimeoutMs(400);

    QStringList seen;
    for (int i = 0; i < outcomes.size(); ++i) {
        if (i > 0 && seen.last() == QLatin1String("timeout"))
            QTest::qWait(600); // let a late or partial answer pass before the next request
        const auto values = peer.readHolding(0x1021, 2);
        seen << outcome(peer, values);
        if (values)
            QCOMPARE(*values, (QList<quint16>{10, 1}));
    }
    QCOMPARE(seen, outcomes);
}

void TestMetersimBehaviour::suppressedWriteIsNotCarriedOut()
{
    MeterSim sim;
    START_SIM(sim, (QStringList{"--fault", "drop@reg=16:0x1022,times=1", "--fault", "exception:6@nth=3"}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");
    peer.setTimeoutMs(400);

    QVERIFY(!peer.write(0x1022, {150}));
    QVERIFY(peer.timedOut());
    QCOMPARE(valuesOr(peer.readHolding(0x1022, 1)), QList<quint16>{1});
    QVERIFY(!peer.write(0x1022, {200}));
    QCOMPARE(peer.exceptionCode(), 6);
    QVERIFY(peer.write(0x1022, {250}));
    QCOMPARE(valuesOr(peer.readHolding(0x1022, 1)), QList<quint16>{250});
    QCOMPARE(sim.writes(), (QList<MeterWrite>{{0x1022, {250}}}));
}

void TestMetersimBehaviour::answerTiming_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("minMs");    // until the answer is complete
    QTest::addColumn<int>("minChunks");

    QTest::newRow("delay") << "delay:300@all" << 300 << 1;
    QTest::newRow("split") << "split:4:80@all" << 240 << 4; // 13 bytes: 4 + 4 + 4 + 1
    QTest::newRow("delay and split") << "delay:100@all,times=1\nsplit:7:100@all" << 200 << 2;
}

void TestMetersimBehaviour::answerTiming()
{
    QFETCH(QString, rule);
    QFETCH(int, minMs);
    QFETCH(int, minChunks);
    QStringList args;
    for (const QString &r : rule.split('\n'))
        args << "--fault" << r;
    MeterSim sim;
    START_SIM(sim, args);
    RawTcpClient client;
    QVERIFY(client.connectTo(sim.tcpAddress(), sim.tcpPort()));

    client.send(kTcpRead);
    const Arrival arrival = client.receive(kTcpAnswer.size(), 5000);
    QCOMPARE(arrival.bytes.toHex(' '), kTcpAnswer.toHex(' '));
    QVERIFY2(arrival.chunkMs.last() >= minMs - 5, qPrintable(QString::number(arrival.chunkMs.last())));
    QVERIFY2(arrival.chunkMs.size() >= minChunks, qPrintable(QString::number(arrival.chunkMs.size())));
}

void TestMetersimBehaviour::garbageFollowsAnAnswer()
{
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--fault", "garbage:3@nth=1"}));
    RawPtyClient client;
    QVERIFY(client.open(sim.ptyPath()));
    client.send(kRtuRead);
    const Arrival arrival = client.receive(kRtuAnswer.size() + 3, 2000);
    QCOMPARE(arrival.bytes.size(), kRtuAnswer.size() + 3);
    QCOMPARE(arrival.bytes.left(kRtuAnswer.size()).toHex(' '), kRtuAnswer.toHex(' '));
}

void TestMetersimBehaviour::tcpFraming_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // sent 50 ms apart
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("closed");

    const QByteArray twoAnswers = kTcpAnswer + hexBytes("00 08 00 00 00 07 0F 04 04 00 00 42 48");
    QTest::newRow("request in pieces") << QList<QByteArray>{kTcpRead.left(3), kTcpRead.mid(3, 5), kTcpRead.mid(8)}
                                       << kTcpAnswer << false;
    QTest::newRow("two requests in one piece")
        << QList<QByteArray>{kTcpRead + hexBytes("00 08 00 00 00 06 0F 04 10 7E 00 02")} << twoAnswers << false;
    QTest::newRow("another unit, then ours")
        << QList<QByteArray>{hexBytes("00 01 00 00 00 06 10 03 10 21 00 02"), kTcpRead} << kTcpAnswer << false;
    QTest::newRow("length past any frame") << QList<QByteArray>{hexBytes("00 01 00 00 01 00 0F 03")}
                                           << QByteArray() << true;
    QTest::newRow("length 1") << QList<QByteArray>{hexBytes("00 01 00 00 00 01 0F") + kTcpRead}
                              << QByteArray() << true;
    QTest::newRow("protocol not 0") << QList<QByteArray>{hexBytes("00 01 00 01 00 06 0F 03 10 21 00 02")}
                                    << QByteArray() << true;
    QTest::newRow("length longer than the read it carries")
        << QList<QByteArray>{hexBytes("00 01 00 00 00 08 0F 03 10 21 00 02 00 00")} << QByteArray() << true;
    QTest::newRow("byte count disagrees with the length")
        << QList<QByteArray>{hexBytes("00 01 00 00 00 09 0F 10 10 22 00 01 04 00 96")} << QByteArray() << true;
}

void TestMetersimBehaviour::tcpFraming()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, answer);
    QFETCH(bool, closed);
    MeterSim sim;
    START_SIM(sim, QStringList{});
    RawTcpClient client;
    QVERIFY(client.connectTo(sim.tcpAddress(), sim.tcpPort()));

    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QTest::qWait(50);
        client.send(pieces[i]);
    }
    const Arrival arrival = client.receive(closed ? 1 : answer.size(), closed ? 2000 : 3000);
    QCOMPARE(arrival.bytes.toHex(' '), answer.toHex(' '));
    QCOMPARE(arrival.closed, closed);
    QVERIFY(sim.isRunning());
}

void TestMetersimBehaviour::rtuStreamOverPty_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // written 50 ms apart
    QTest::addColumn<QByteArray>("answer");

    const QByteArray frequencyAnswer = hexBytes("0F 04 04 00 00 42 48 24 D2");
    QTest::newRow("request in pieces") << QList<QByteArray>{kRtuRead.left(2), kRtuRead.mid(2, 3), kRtuRead.mid(5)}
                                       << kRtuAnswer;
    QTest::newRow("noise, bad CRC, another unit, then two requests at once")
        << QList<QByteArray>{hexBytes("FF 00 FE 0F"), hexBytes("0F 03 10 21 00 02 91 EE"),
                             hexBytes("10 03 10 21 00 02 93 80"), kRtuRead + hexBytes("0F 04 10 7E 00 02 14 3D")}
        << kRtuAnswer + frequencyAnswer;
}

void TestMetersimBehaviour::rtuStreamOverPty()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, answer);
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    RawPtyClient client;
    QVERIFY(client.open(sim.ptyPath()));

    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QTest::qWait(50);
        client.send(pieces[i]);
    }
    // Wait past the expected answer as well, to see that nothing else comes.
    const Arrival arrival = client.receive(answer.size() + 1, 700);
    QCOMPARE(arrival.bytes.toHex(' '), answer.toHex(' '));
}

void TestMetersimBehaviour::randomInputIsSurvived()
{
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    QRandomGenerator random(7);
    const auto noise = [&random](int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &c : bytes)
            c = static_cast<char>(random.bounded(256));
        return bytes;
    };
    RawPtyClient pty;
    QVERIFY(pty.open(sim.ptyPath()));
    for (int round = 0; round < 20; ++round) {
        RawTcpClient tcp;
        QVERIFY(tcp.connectTo(sim.tcpAddress(), sim.tcpPort()));
        // Headers that parse, followed by anything: the meter must bear all of it.
        QByteArray bytes = hexBytes("00 01 00 00 00 06 0F") + noise(5);
        bytes += noise(random.bounded(1, 3000));
        tcp.send(bytes);
        pty.send(noise(random.bounded(1, 3000)));
        tcp.receive(1 << 20, 20);
    }
    pty.receive(1 << 20, 300); // drain whatever the noise provoked

    for (const char *transport : {"tcp", "rtu"}) {
        ModbusPeer peer;
        CONNECT_PEER(peer, sim, transport);
        // The line may still hold a fragment of noise: the meter resynchronises
        // on the first good frame, perhaps after a lost request or two on a
        // busy machine, where the noise takes longer to drain.
        auto values = peer.readHolding(0x1021, 2);
        for (int retry = 0; retry < 2 && !values; ++retry)
            values = peer.readHolding(0x1021, 2);
        QCOMPARE(valuesOr(values), (QList<quint16>{10, 1}));
    }
    QVERIFY(sim.isRunning());
    QCOMPARE(sim.stop(), 0);
}

void TestMetersimBehaviour::recordWindows_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("pointer");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<quint16>>("stamps");   // per record: the three time registers
    QTest::addColumn<QList<float>>("values");     // per record: its channel values

    // Group 1: 10 records, 15 min, channels 1, 101, 203. Group 2: 3 records, 30 s, channel 7.
    // Record 1 of both at 2024-03-01 23:30.
    QTest::newRow("one time stamp") << 0 << 9 << 3 << QList<quint16>{0x1803, 0x0201, 0x1E00} << QList<float>{};
    QTest::newRow("last record and one past the end")
        << 0 << 10 << 18 << QList<quint16>{0x1803, 0x0201, 0x2D00, 0, 0, 0}
        << QList<float>{3.5F, 103.5F, 205.5F, 0, 0, 0};
    QTest::newRow("thirty-second records") << 1 << 2 << 10 << QList<quint16>{0x1803, 0x0117, 0x1E1E, 0x1803, 0x0117, 0x1F00}
                                           << QList<float>{7.5F, 7.75F};
    QTest::newRow("record 0 does not exist") << 1 << 0 << 5 << QList<quint16>{0, 0, 0} << QList<float>{0};
}

void TestMetersimBehaviour::recordWindows()
{
    QFETCH(int, group);
    QFETCH(int, pointer);
    QFETCH(int, count);
    QFETCH(QList<quint16>, stamps);
    QFETCH(QList<float>, values);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--lp-count", "1=10", "--lp-interval", "1=15", "--lp-channels", "1=1,101,203",
                                "--lp-count", "2=3", "--lp-interval", "2=230", "--lp-channels", "2=7",
                                "--lp-start", "2024-03-01 23:30"}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");

    QVERIFY(peer.write(0x104D, {quint16(pointer)}));
    const auto window = peer.readInput(0x2000 + 0x100 * group, count);
    QVERIFY2(window, qPrintable(peer.errorText()));
    const int channels = group == 0 ? 3 : 1;
    const int size = 3 + 2 * channels;
    for (qsizetype r = 0; r < stamps.size() / 3; ++r) {
        for (int i = 0; i < 3; ++i)
            QCOMPARE(window->at(r * size + i), stamps[r * 3 + i]);
        for (int ch = 0; ch < channels && r * channels + ch < values.size(); ++ch)
            QCOMPARE(floatFromRegisters(*window, static_cast<int>(r * size + 3 + 2 * ch)), values[r * channels + ch]);
    }
}

void TestMetersimBehaviour::writesRestartOrClearProfiles_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<quint16>>("values");
    QTest::addColumn<QList<quint16>>("counts"); // input 0x1190, 0x1191 afterwards

    QTest::newRow("group 1 settings") << 0x1034 << QList<quint16>{8, 15, 1, 2, 3, 4, 5, 7, 9, 11, 0, 0, 0, 0}
                                      << QList<quint16>{0, 50};
    QTest::newRow("group 2 interval alone") << 0x1044 << QList<quint16>{230} << QList<quint16>{100, 0};
    QTest::newRow("clear group 1") << 0x1033 << QList<quint16>{51} << QList<quint16>{0, 50};
    QTest::newRow("clear group 2 with a wrong value") << 0x1042 << QList<quint16>{50} << QList<quint16>{100, 50};
    QTest::newRow("CO2 factor on channel codes 11 and 12") << 0x1040 << QList<quint16>{0x0000, 0x3F00}
                                                           << QList<quint16>{100, 50};
    QTest::newRow("record pointer") << 0x104D << QList<quint16>{7} << QList<quint16>{100, 50};
}

void TestMetersimBehaviour::writesRestartOrClearProfiles()
{
    QFETCH(int, start);
    QFETCH(QList<quint16>, values);
    QFETCH(QList<quint16>, counts);
    MeterSim sim;
    START_SIM(sim, QStringList{});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");

    QVERIFY2(peer.write(start, values), qPrintable(peer.errorText()));
    QCOMPARE(valuesOr(peer.readInput(0x1190, 2)), counts);
    // Setting registers read back what was written; the clear commands read 0.
    const bool command = start == 0x1033 || start == 0x1042;
    QCOMPARE(valuesOr(peer.readHolding(start, static_cast<int>(values.size()))),
             command ? QList<quint16>(values.size(), 0) : values);
}

void TestMetersimBehaviour::clockTicksFromTheValueWritten()
{
    MeterSim sim;
    START_SIM(sim, QStringList{});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");

    // Saturday 2024-03-09 17:05:42.
    QVERIFY(peer.write(0x1023, {24, 3, 9, 17, 5, 42, 6}));
    const auto before = peer.readHolding(0x1023, 7);
    QVERIFY(before);
    QCOMPARE(before->mid(0, 5), (QList<quint16>{24, 3, 9, 17, 5}));
    QVERIFY(before->at(5) == 42 || before->at(5) == 43);
    QCOMPARE(before->at(6), quint16(6));
    QTest::qWait(2100);
    const auto after = peer.readHolding(0x1028, 1);
    QVERIFY(after && (after->first() == 44 || after->first() == 45));

    // February 30th is refused and changes nothing; a single field can be set.
    QVERIFY(!peer.write(0x1024, {2, 30}));
    QCOMPARE(peer.exceptionCode(), 3);
    QVERIFY(peer.write(0x1026, {8}));
    QCOMPARE(valuesOr(peer.readHolding(0x1023, 5)), (QList<quint16>{24, 3, 9, 8, 5}));
    // 2000-01-02 was a Sunday: the weekday follows the date.
    QVERIFY(peer.write(0x1023, {0, 1, 2}));
    QCOMPARE(valuesOr(peer.readHolding(0x1029, 1)), QList<quint16>{0});
}

void TestMetersimBehaviour::addressChangeTakesEffectAfterTheAnswer()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);
    peer.setTimeoutMs(400);

    // The answer to the write still comes from 15.
    QVERIFY2(peer.write(0x1000, {100}), qPrintable(peer.errorText()));
    QVERIFY(!peer.readHolding(0x1000, 1));
    QVERIFY(peer.timedOut());
    peer.setUnit(100);
    QCOMPARE(valuesOr(peer.readHolding(0x1000, 1)), QList<quint16>{100});
    QCOMPARE(sim.writes(), (QList<MeterWrite>{{0x1000, {100}}}));
}

void TestMetersimBehaviour::energyResetZeroesCountersAndCo2()
{
    MeterSim sim;
    START_SIM(sim, QStringList{});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");

    const auto co2Before = peer.readInput(0x044C, 8);
    QVERIFY(co2Before);
    QCOMPARE(floatFromRegisters(*co2Before, 0), 0.5F);
    QCOMPARE(floatFromRegisters(*co2Before, 2), 12345.5F * 0.5F); // kWh delivered x factor
    QCOMPARE(floatFromRegisters(*co2Before, 6), 12345.5F * 0.5F / 1000.0F);

    QVERIFY(peer.write(0x1012, {0x0055}));
    QCOMPARE(valuesOr(peer.readInput(0x10C6, 10)), QList<quint16>(10, 0));
    QCOMPARE(valuesOr(peer.readInput(0x10D4, 30)), QList<quint16>(30, 0));
    const auto co2After = peer.readInput(0x044C, 8);
    QVERIFY(co2After);
    QCOMPARE(floatFromRegisters(*co2After, 0), 0.5F);
    for (int value = 1; value < 4; ++value)
        QCOMPARE(floatFromRegisters(*co2After, 2 * value), 0.0F);
    QCOMPARE(valuesOr(peer.readHolding(0x1012, 1)), QList<quint16>{0});
}

void TestMetersimBehaviour::baudRateEmulation()
{
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--baud", "9600"}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "rtu");
    peer.setTimeoutMs(3000);

    // 8 request bytes and 205 answer bytes of 10 bit times each.
    const auto timedRead = [&peer] {
        QElapsedTimer clock;
        clock.start();
        return peer.readHolding(0x1000, 100) ? clock.elapsed() : -1;
    };
    QCOMPARE(valuesOr(peer.readHolding(0x1001, 1)), QList<quint16>{1}); // the rate it emulates
    const double wire9600 = 213 * 10 * 1000.0 / 9600;
    const qint64 slow = timedRead();
    QVERIFY2(slow >= 0.95 * wire9600, qPrintable(QString::number(slow)));

    QVERIFY(peer.write(0x1001, {2})); // 19200 from the next request on
    const qint64 fast = timedRead();
    QVERIFY2(fast >= 0.95 * wire9600 / 2, qPrintable(QString::number(fast)));
    QVERIFY2(fast < 0.8 * slow, qPrintable(QStringLiteral("%1 ms after %2 ms").arg(fast).arg(slow)));
}

void TestMetersimBehaviour::consoleCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("kind"); // 3 holding, 4 input: read one pair from reg afterwards
    QTest::addColumn<int>("reg");
    QTest::addColumn<QList<quint16>>("expected");

    QTest::newRow("set") << "set holding:0x1021=1234" << true << 3 << 0x1021 << QList<quint16>{1234, 1};
    QTest::newRow("setf") << "setf input:0x1080=199.5" << true << 4 << 0x1080 << QList<quint16>{0x8000, 0x4347};
    QTest::newRow("setf on a computed register") << "setf input:0x044E=2.5" << true << 4 << 0x044E
                                                 << QList<quint16>{0x0000, 0x4020};
    QTest::newRow("unmapped") << "set holding:0x0004=1" << false << 3 << 0x0002 << QList<quint16>{0x0000, 0x3F80};
    QTest::newRow("float past the map") << "setf holding:0x0003=1" << false << 3 << 0x0002
                                        << QList<quint16>{0x0000, 0x3F80};
    QTest::newRow("value too large") << "set holding:0x1022=70000" << false << 3 << 0x1021 << QList<quint16>{10, 1};
    QTest::newRow("unit address 0") << "set holding:0x1000=0" << false << 3 << 0x1000 << QList<quint16>{15, 2};
    QTest::newRow("add records") << "add-records 2 9" << true << 4 << 0x1190 << QList<quint16>{100, 59};
    QTest::newRow("add records to group 3") << "add-records 3 9" << false << 4 << 0x1190 << QList<quint16>{100, 50};
    QTest::newRow("nonsense") << "make coffee" << false << 3 << 0x1021 << QList<quint16>{10, 1};
}

void TestMetersimBehaviour::consoleCommands()
{
    QFETCH(QString, command);
    QFETCH(bool, accepted);
    QFETCH(int, kind);
    QFETCH(int, reg);
    QFETCH(QList<quint16>, expected);
    MeterSim sim;
    START_SIM(sim, QStringList{});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "tcp");

    QString reply;
    QCOMPARE(sim.sendCommand(command, &reply), accepted);
    QVERIFY2(accepted ? reply == "OK" : reply.startsWith("ERR "), qPrintable(reply));
    QCOMPARE(valuesOr(kind == 3 ? peer.readHolding(reg, 2) : peer.readInput(reg, 2)), expected);
}

void TestMetersimBehaviour::ptyLinkAndCleanExit()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    MeterSim sim;
    START_SIM(sim, (QStringList{"--no-tcp", "--pty-link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());

    // Faults can be added and removed while it runs.
    QVERIFY(sim.sendCommand("drop@all"));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, "rtu");
    peer.setTimeoutMs(300);
    QVERIFY(!peer.readHolding(0x1000, 1));
    QVERIFY(sim.sendCommand("clear-faults"));
    QCOMPARE(valuesOr(peer.readHolding(0x1000, 1)), QList<quint16>{15});

    QCOMPARE(sim.stop(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestMetersimBehaviour::startFailureIsReported_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");

    QTest::newRow("unit 0") << QStringList{"--unit", "0"} << "--unit";
    QTest::newRow("short firmware text") << QStringList{"--firmware", "V37"} << "--firmware";
    QTest::newRow("bad fault rule") << QStringList{"--fault", "drop@sometimes"} << "unknown selector";
    QTest::newRow("nothing to serve") << QStringList{"--no-tcp"} << "nothing to serve";
    QTest::newRow("unknown option") << QStringList{"--volume", "11"} << "volume";
    QTest::newRow("shift of no minutes") << QStringList{"--lp-shift", "1=60:0"} << "--lp-shift";
    QTest::newRow("shift without a record") << QStringList{"--lp-shift", "2=-120"} << "--lp-shift";
    QTest::newRow("noise past 50 %") << QStringList{"--noise", "80"} << "--noise";
    QTest::newRow("unit twice") << QStringList{"--unit", "3,3"} << "--unit 3 is given twice";
    QTest::newRow("a serial for one of two units") << QStringList{"--unit", "1,2", "--serial", "SERIAL0000000004"}
                                                   << "one serial number per unit";
}

void TestMetersimBehaviour::startFailureIsReported()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    MeterSim sim;
    QVERIFY(!sim.start(args));
    QVERIFY2(sim.errorString().contains(reason), qPrintable(sim.errorString()));
}

void TestMetersimBehaviour::writeLogLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<quint16>>("values");

    QTest::newRow("one value") << "WRITE start=0x1021 count=1 values=0x04D2" << true << 0x1021 << QList<quint16>{1234};
    QTest::newRow("clock") << "WRITE start=0x1023 count=7 values=0x0018,0x0003,0x0009,0x0011,0x0005,0x002A,0x0006"
                           << true << 0x1023 << QList<quint16>{24, 3, 9, 17, 5, 42, 6};
    QTest::newRow("count disagrees") << "WRITE start=0x1021 count=2 values=0x04D2" << false << 0 << QList<quint16>{};
    QTest::newRow("decimal value") << "WRITE start=0x1021 count=1 values=1234" << false << 0 << QList<quint16>{};
    QTest::newRow("other line") << "READY" << false << 0 << QList<quint16>{};
    QTest::newRow("a unit of a line") << "WRITE start=0x1021 count=1 values=0x04D2 unit=3" << true << 0x1021
                                      << QList<quint16>{1234};
}

void TestMetersimBehaviour::writeLogLines()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(int, start);
    QFETCH(QList<quint16>, values);
    const auto parsed = testsupport::parseWriteLine(line);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, (MeterWrite{quint16(start), values, line.contains("unit=3") ? 3 : 0}));
}

void TestMetersimBehaviour::answersShareTheLine()
{
    // Two clients ask two units of one line at once: at 9600 baud each exchange
    // of 12 + 209 bytes takes 230 ms, and the second can only follow the first.
    MeterSim sim;
    START_SIM(sim, (QStringList{"--unit", "1,2", "--baud", "9600"}));
    RawTcpClient clients[2];
    for (RawTcpClient &client : clients)
        QVERIFY(client.connectTo(sim.tcpAddress(), sim.tcpPort()));
    clients[0].send(hexBytes("00 01 00 00 00 06 01 03 10 00 00 64"));
    clients[1].send(hexBytes("00 01 00 00 00 06 02 03 10 00 00 64"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(clients[0].receive(209, 3000).bytes.size() + clients[1].receive(209, 3000).bytes.size(), 2 * 209);
    const double exchangeMs = 221 * 10 * 1000.0 / 9600;
    QVERIFY2(clock.elapsed() >= 2 * 0.95 * exchangeMs, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestMetersimBehaviour)
#include "test_metersim_behaviour.moc"
