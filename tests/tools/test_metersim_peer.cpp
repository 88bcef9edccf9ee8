// The simulated meter against third-party Modbus clients (libmodbus, mbpoll),
// over TCP and over its pseudo-terminal: the wire format, the float word
// order, the register map and the silence toward other units are theirs to
// judge, not our own codec's.

#include "metersim_process.h"
#include "modbus_peer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

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

// mbpoll with the meter's connection, reference numbers from 0; returns its
// output and exit code. Values to write come after the host or device.
QPair<QString, int> runMbpoll(const MeterSim &sim, const QString &transport, const QStringList &options,
                              const QStringList &values = {})
{
    QStringList all{"-a", "15", "-0", "-1", "-o", "1"};
    if (transport == QLatin1String("tcp"))
        all << "-m" << "tcp" << "-p" << QString::number(sim.tcpPort()) << options << sim.tcpAddress();
    else
        all << "-m" << "rtu" << "-b" << "19200" << "-P" << "none" << options << sim.ptyPath();
    all << values;
    QProcess mbpoll;
    mbpoll.start(QStringLiteral(MBPOLL_EXECUTABLE), all);
    if (!mbpoll.waitForFinished(10000)) {
        mbpoll.kill();
        mbpoll.waitForFinished();
        return {QStringLiteral("mbpoll did not finish"), -1};
    }
    return {QString::fromLocal8Bit(mbpoll.readAllStandardOutput() + mbpoll.readAllStandardError()),
            mbpoll.exitCode()};
}

} // namespace

class TestMetersimPeer : public QObject {
    Q_OBJECT
private slots:
    void readsConfiguredMeasurements_data() { addTransports(); }
    void readsConfiguredMeasurements();
    void mbpollReadsVoltageLowWordFirst_data() { addTransports(); }
    void mbpollReadsVoltageLowWordFirst();
    void readsHoldingRegisters_data() { addTransports(); }
    void readsHoldingRegisters();
    void writeIsLoggedAndReadBack_data() { addTransports(); }
    void writeIsLoggedAndReadBack();
    void mbpollWriteIsLogged();
    void otherUnitGetsNoAnswer_data() { addTransports(); }
    void otherUnitGetsNoAnswer();
    void exceptions_data();
    void exceptions();
    void severalUnitsOnOneLine_data() { addTransports(); }
    void severalUnitsOnOneLine();
};

void TestMetersimPeer::readsConfiguredMeasurements()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--voltage", "231.5", "--current", "4.25", "--frequency", "60"}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);

    const auto main = peer.readInput(0x1080, 90); // the poll's main input block
    QVERIFY2(main, qPrintable(peer.errorText()));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(floatFromRegisters(*main, 2 * i), 231.5F);                // phase voltages
        QCOMPARE(floatFromRegisters(*main, 8 + 2 * i), float(231.5 * std::sqrt(3.0))); // line
        QCOMPARE(floatFromRegisters(*main, 16 + 2 * i), 4.25F);            // currents
    }
    QCOMPARE(floatFromRegisters(*main, 56), 0.0F);   // voltage angle a
    QCOMPARE(floatFromRegisters(*main, 58), 240.0F); // voltage angle b
    QCOMPARE(floatFromRegisters(*main, 62), 330.0F); // current angle a lags by 30 degrees
    const auto frequency = peer.readInput(0x107E, 2);
    QVERIFY2(frequency, qPrintable(peer.errorText()));
    QCOMPARE(floatFromRegisters(*frequency, 0), 60.0F);
    const auto serial = peer.readInput(0x100C, 8);
    QVERIFY2(serial, qPrintable(peer.errorText()));
    QCOMPARE(serial->first(), quint16('A' << 8 | 'W'));
}

void TestMetersimPeer::mbpollReadsVoltageLowWordFirst()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--voltage", "231.5"}));
    const auto [output, exitCode] = runMbpoll(sim, transport, {"-t", "3:float", "-r", "4224", "-c", "2"});
    QVERIFY2(exitCode == 0, qPrintable(output));
    QVERIFY2(output.contains(QRegularExpression(QStringLiteral("\\[4224\\]:\\s+231\\.5\\b"))), qPrintable(output));
    QVERIFY2(output.contains(QRegularExpression(QStringLiteral("\\[4226\\]:\\s+231\\.5\\b"))), qPrintable(output));
}

void TestMetersimPeer::readsHoldingRegisters()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--u16", "holding:0x1021=1234", "--float", "holding:0x0002=103.625"}));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);

    QCOMPARE(valuesOr(peer.readHolding(0x1021, 2)), (QList<quint16>{1234, 1}));
    const auto ratios = peer.readHolding(0x0000, 4);
    QVERIFY2(ratios, qPrintable(peer.errorText()));
    QCOMPARE(floatFromRegisters(*ratios, 0), 1.0F);
    QCOMPARE(floatFromRegisters(*ratios, 2), 103.625F);
    // The two holding blocks of the poll, read whole.
    const auto block1 = peer.readHolding(0x1000, 100);
    QVERIFY2(block1, qPrintable(peer.errorText()));
    QCOMPARE(block1->first(), quint16(15));
    QVERIFY2(peer.readHolding(0x1064, 50), qPrintable(peer.errorText()));
}

void TestMetersimPeer::writeIsLoggedAndReadBack()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);

    QVERIFY2(peer.write(0x1022, {150}), qPrintable(peer.errorText()));
    QCOMPARE(valuesOr(peer.readHolding(0x1022, 1)), QList<quint16>{150});
    QList<quint16> co2(2);
    co2[0] = 0x0000; // 0.5, low-order word first
    co2[1] = 0x3F00;
    QVERIFY2(peer.write(0x1040, co2), qPrintable(peer.errorText()));
    QCOMPARE(sim.writes(), (QList<MeterWrite>{{0x1022, {150}}, {0x1040, {0x0000, 0x3F00}}}));
    QVERIFY(sim.waitForWrites(2));
    QVERIFY(sim.outputLines().contains(QStringLiteral("WRITE start=0x1040 count=2 values=0x0000,0x3F00")));
}

void TestMetersimPeer::mbpollWriteIsLogged()
{
    MeterSim sim;
    START_SIM(sim, QStringList{});
    // Two values, so mbpoll writes with function 16.
    const auto [output, exitCode] = runMbpoll(sim, "tcp", {"-t", "4", "-r", "4129"}, {"25", "150"});
    QVERIFY2(exitCode == 0, qPrintable(output));
    QCOMPARE(sim.writes(), (QList<MeterWrite>{{0x1021, {25, 150}}}));
}

void TestMetersimPeer::otherUnitGetsNoAnswer()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);
    peer.setTimeoutMs(400);

    peer.setUnit(16);
    QVERIFY(!peer.readHolding(0x1000, 1));
    QVERIFY2(peer.timedOut(), qPrintable(peer.errorText()));
    peer.setUnit(15);
    QCOMPARE(valuesOr(peer.readHolding(0x1000, 1)), QList<quint16>{15});
}

void TestMetersimPeer::exceptions_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<int>("code");

    const struct {
        const char *name;
        const char *pdu;
        int code;
    } cases[] = {
        {"unmapped holding register", "03 0004 0001", 2},
        {"read across a gap", "04 1010 000A", 2},
        {"read past the last register", "03 FFFF 0002", 2},
        {"input register that is only holding", "04 0000 0002", 2},
        {"write outside the map", "10 0004 0001 02 0001", 2},
        {"count 0", "03 1000 0000", 3},
        {"count 126", "04 1400 007E", 3},
        {"write count 0", "10 1000 0000 00", 3},
        {"byte count not twice the count", "10 1022 0001 04 0096 0001", 3},
        {"unit address 0 refused", "10 1000 0001 02 0000", 3},
        {"month 13 refused", "10 1024 0001 02 000D", 3},
        {"write single register", "06 1022 0096", 1},
        {"read coils", "01 0000 0008", 1},
    };
    for (const char *transport : {"tcp", "rtu"}) {
        for (const auto &c : cases) {
            QTest::addRow("%s %s", transport, c.name)
                << QString::fromLatin1(transport) << QByteArray::fromHex(QByteArray(c.pdu).replace(' ', ""))
                << c.code;
        }
    }
}

void TestMetersimPeer::exceptions()
{
    QFETCH(QString, transport);
    QFETCH(QByteArray, pdu);
    QFETCH(int, code);
    MeterSim sim;
    START_SIM(sim, QStringList{"--pty"});
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);

    const auto answer = peer.raw(pdu);
    QVERIFY2(answer, qPrintable(peer.errorText()));
    QByteArray expected;
    expected.append(static_cast<char>(pdu[0] | 0x80));
    expected.append(static_cast<char>(code));
    QCOMPARE(answer->toHex(' '), expected.toHex(' '));
    QVERIFY(sim.writes().isEmpty());
}

void TestMetersimPeer::severalUnitsOnOneLine()
{
    QFETCH(QString, transport);
    MeterSim sim;
    START_SIM(sim, (QStringList{"--pty", "--unit", "1,2,3"}));
    QCOMPARE(sim.unitSerials().value(3), QStringLiteral("AWMETER012345003"));
    ModbusPeer peer;
    CONNECT_PEER(peer, sim, transport);
    peer.setTimeoutMs(400);

    // Per unit 1..4: the end of its serial number, its voltage and current, or "timeout".
    const auto meters = [&peer] {
        QStringList seen;
        for (int unit = 1; unit <= 4; ++unit) {
            peer.setUnit(unit);
            const auto serial = peer.readInput(0x1012, 2);
            const auto main = serial ? peer.readInput(0x1080, 18) : std::nullopt;
            seen << (main ? QStringLiteral("%1%2 %3 %4").arg(serial->at(0), 4, 16).arg(serial->at(1), 4, 16)
                                .arg(floatFromRegisters(*main, 0)).arg(floatFromRegisters(*main, 16))
                          : peer.timedOut() ? QStringLiteral("timeout") : peer.errorText());
        }
        return seen;
    };
    // "5001" and so on, in ASCII.
    QCOMPARE(meters(), (QStringList{"35303031 230 5", "35303032 231 5.5", "35303033 232 6", "timeout"}));
    QVERIFY(sim.sendCommand("unit=2 drop@all"));
    QCOMPARE(meters(), (QStringList{"35303031 230 5", "timeout", "35303033 232 6", "timeout"}));
    QVERIFY(sim.sendCommand("unit=2 clear-faults"));
    QCOMPARE(meters().at(1), QStringLiteral("35303032 231 5.5"));

    // A write goes to its own meter alone.
    peer.setUnit(3);
    QVERIFY2(peer.write(0x1022, {150}), qPrintable(peer.errorText()));
    peer.setUnit(1);
    QCOMPARE(valuesOr(peer.readHolding(0x1022, 1)), QList<quint16>{1});
    QCOMPARE(sim.writes(), (QList<MeterWrite>{{0x1022, {150}, 3}}));
}

QTEST_GUILESS_MAIN(TestMetersimPeer)
#include "test_metersim_peer.moc"
