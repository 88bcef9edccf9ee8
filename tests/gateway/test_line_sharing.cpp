// serve sharing its line with Modbus TCP masters, against real parts: two
// simulated meters on one pseudo-terminal line (metersim serves the same
// meters over TCP as well, so that a master can read them directly), three
// listeners on that line (writes left out, writes=lp, and writes=allow from
// the config file), Debian's mbpoll and the tool's own lp download as
// masters, raw sockets as bad ones, a mosquitto broker, /metrics and the
// SQLite archive. One gateway runs through the test functions in order; the
// master's load-profile download starts with it and is checked near the end,
// once the gateway has had its own round again.
#include "free_port.h"
#include "metersim_process.h"
#include "metrics_scrape.h"
#include "mqtt_broker.h"
#include "mqtt_messages.h"
#include "serve_process.h"
#include "test_paths.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kWaitMs = 30000;
// Group 1 of each meter: its records, and the delay of each read of its
// record window, so that the gateway's download and a master's overlap.
constexpr int kGroup1Records = 90;
constexpr int kGroup2Records = 12;
constexpr int kWindowDelayMs = 250;

struct MbpollRun {
    int exitCode = -1;
    QString output;
};

// One mbpoll run against a Modbus TCP server on 127.0.0.1: once, 5 s for
// each answer.
MbpollRun mbpoll(quint16 port, const QStringList &arguments, const QStringList &values = {})
{
    QProcess poll;
    poll.setProcessChannelMode(QProcess::MergedChannels);
    poll.start(QStringLiteral("mbpoll"), QStringList{"-m", "tcp", "-p", QString::number(port), "-1", "-o", "5"}
                                             + arguments + QStringList{"127.0.0.1"} + values);
    if (!poll.waitForFinished(30000)) {
        poll.kill();
        poll.waitForFinished();
    }
    return {poll.exitStatus() == QProcess::NormalExit ? poll.exitCode() : -1, QString::fromLocal8Bit(poll.readAll())};
}

// The values mbpoll printed, by reference ("[4109]: 0x4157").
QMap<int, QString> mbpollValues(const QString &output)
{
    QMap<int, QString> values;
    static const QRegularExpression line(QStringLiteral("^\\[(\\d+)\\]:\\s+(\\S+)"), QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(output); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        values.insert(m.captured(1).toInt(), m.captured(2));
    }
    return values;
}

// ASCII two characters a register, high byte first, from mbpoll's hex values.
QString registerText(const QMap<int, QString> &values)
{
    QByteArray text;
    for (const QString &value : values) {
        const uint v = value.toUInt(nullptr, 16);
        text.append(char(v >> 8)).append(char(v & 0xFF));
    }
    return QString::fromLatin1(text);
}

// What one connection got back: the bytes until the peer closed, want bytes
// came, or timeoutMs passed.
struct Exchange {
    QByteArray answer;
    bool closed = false;
    qint64 closedAfterMs = -1; // since the request was written
};

Exchange exchange(quint16 port, const QByteArray &request, qsizetype want, int timeoutMs)
{
    Exchange result;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000))
        return result;
    socket.write(request);
    socket.waitForBytesWritten(3000);
    QElapsedTimer took;
    took.start();
    while (took.elapsed() < timeoutMs && (want <= 0 || result.answer.size() < want)) {
        const bool more = socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - took.elapsed())));
        result.answer += socket.readAll();
        if (!more && socket.state() == QAbstractSocket::UnconnectedState) {
            result.closed = true;
            result.closedAfterMs = took.elapsed();
            break;
        }
    }
    return result;
}

// The listener's lines about its masters, one count a master and word.
struct MasterLines {
    QMap<QString, int> connected, gone, refused; // gone: "left" or "closed: why"
};

MasterLines masterLines(const QString &log, quint16 listenerPort)
{
    MasterLines lines;
    const QRegularExpression line(
        QStringLiteral("listener 127\\.0\\.0\\.1:%1: master (\\S+) (connected|left|closed|refused)\\b").arg(listenerPort));
    for (auto match = line.globalMatch(log); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        const QString word = m.captured(2);
        (word == QLatin1String("connected") ? lines.connected
         : word == QLatin1String("refused") ? lines.refused
                                            : lines.gone)[m.captured(1)] += 1;
    }
    return lines;
}

// The masters that were not told as one "connected" and one "left" or
// "closed" line, or were refused and told otherwise too; empty when all were.
QStringList mistold(const MasterLines &lines)
{
    QStringList wrong;
    for (const QString &master : lines.connected.keys() + lines.gone.keys())
        if ((lines.connected.value(master) != 1 || lines.gone.value(master) != 1) && !wrong.contains(master))
            wrong << QStringLiteral("%1 connected %2, left or closed %3").arg(master).arg(lines.connected.value(master))
                         .arg(lines.gone.value(master));
    for (const QString &master : lines.refused.keys())
        if (lines.refused.value(master) != 1 || lines.connected.contains(master))
            wrong << QStringLiteral("%1 refused %2 times, connected %3").arg(master).arg(lines.refused.value(master))
                         .arg(lines.connected.value(master));
    return wrong;
}

// The records of a load-profile CSV file (the tool's or the archive's): the
// date, time and first channel of each record row, in file order.
QStringList recordRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList rows;
    static const QRegularExpression record(QStringLiteral("^\\d{4}/\\d+/\\d+,\\d+:\\d+:\\d+,[^,]+"));
    while (!file.atEnd())
        if (const QRegularExpressionMatch m = record.match(QString::fromUtf8(file.readLine())); m.hasMatch())
            rows << m.captured();
    return rows;
}

// Records 1 to count of metersim's group 1 as recordRows() gives them:
// stamped 15 min apart from 2024-03-01 00:00, the first channel (code 1)
// holding 1 + 0.25 x the record's number.
QStringList meterRecords(int count)
{
    QStringList rows;
    const QDateTime first(QDate(2024, 3, 1), QTime(0, 0));
    for (int i = 1; i <= count; ++i)
        rows << first.addSecs(qint64(i - 1) * 15 * 60).toString(QStringLiteral("yyyy/M/d,H:m:s,"))
                    + QString::number(1 + 0.25 * i, 'f', 4);
    return rows;
}

} // namespace

class TestLineSharing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void readsAsTheMeterAnswers_data();
    void readsAsTheMeterAnswers();
    void gatewayPublishesWhileMastersRead();
    void writesAsTheListenerAllows_data();
    void writesAsTheListenerAllows();
    void requestsGetTheirAnswers_data();
    void requestsGetTheirAnswers();
    void badInputIsClosed_data();
    void badInputIsClosed();
    void mastersBeyondTheLimitAreRefused();
    void masterLeavingMidRequestLosesOnlyItsAnswer();
    void listenerServesOnAndToldOfEachMaster();
    void recordPointerIsShared();
    void metricsCountTheMasters();

private:
    QString writeFile(const QString &name, const QString &text);

    QTemporaryDir dir_;
    MqttBroker broker_;
    testsupport::MeterSim line_; // units 1 and 2 on the pseudo-terminal, and over TCP
    QProcess gateway_;
    QProcess master_; // the tool downloading unit 1's group 1 through the writes=lp listener
    QString log_;     // the gateway's standard error so far
    quint16 readsPort_ = 0, lpPort_ = 0, allowPort_ = 0, metricsPort_ = 0;
    // What was sent to the reads-only listener: its masters, the requests
    // it is to refuse and those that are to fail on the line.
    int readsMasters_ = 0, refused_ = 0, failed_ = 0;
};

QString TestLineSharing::writeFile(const QString &name, const QString &text)
{
    return testsupport::writeTextFile(QDir(dir_.path()), name, text);
}

void TestLineSharing::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("mbpoll")).isEmpty())
        QSKIP("mbpoll is not installed (Debian package mbpoll)");
    QString error;
    QVERIFY2(broker_.create(&error), qPrintable(error));
    QDir().mkpath(dir_.filePath(QStringLiteral("com")));
    QVERIFY2(line_.start({"--pty-link", dir_.filePath(QStringLiteral("com/COM1")), "--unit", "1,2", "--lp-count",
                          QStringLiteral("1=%1").arg(kGroup1Records), "--lp-count", QStringLiteral("2=%1").arg(kGroup2Records),
                          "--fault", QStringLiteral("delay:%1@reg=4:0x2000").arg(kWindowDelayMs)}),
             qPrintable(line_.errorString()));
    readsPort_ = quint16(testsupport::freePort());
    lpPort_ = quint16(testsupport::freePort());
    allowPort_ = quint16(testsupport::freePort());
    metricsPort_ = quint16(testsupport::freePort());
    QVERIFY(readsPort_ && lpPort_ && allowPort_ && metricsPort_);
    QVERIFY(QSet<quint16>({readsPort_, lpPort_, allowPort_, metricsPort_}).size() == 4);
    const QString meters = writeFile(QStringLiteral("meters.txt"),
                                     QStringLiteral("rtu=1 unit=1\nrtu=1 unit=2\n"
                                                    "# masters on the same line: reads only, and the record pointer\n"
                                                    "listen=127.0.0.1:%1 rtu=1\nlisten=127.0.0.1:%2 rtu=1 writes=lp\n")
                                         .arg(readsPort_).arg(lpPort_));
    const QString config = writeFile(QStringLiteral("gateway.conf"),
                                     QStringLiteral("listen = 127.0.0.1:%1 rtu=1 writes=allow\n").arg(allowPort_));
    testsupport::startServe(gateway_, dir_.filePath(QStringLiteral("com")),
                            {"serve", "--meters", meters, "--config", config, "--mqtt",
                             QStringLiteral("127.0.0.1:%1").arg(broker_.port()), "--metrics",
                             QStringLiteral("127.0.0.1:%1").arg(metricsPort_), "--every", "2", "--name", "share",
                             "--store", "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))},
                            log_);
    QVERIFY(gateway_.waitForStarted());
    for (const quint16 port : {readsPort_, lpPort_, allowPort_})
        QTRY_VERIFY2_WITH_TIMEOUT(log_.contains(QStringLiteral("listener 127.0.0.1:%1: masters share line").arg(port)),
                                  qPrintable(log_), 15000);
    // The master downloads unit 1's records while the gateway's first round
    // reads the same meter's.
    master_.setProcessChannelMode(QProcess::MergedChannels);
    master_.start(testsupport::cliProgram(),
                  {"lp", "--tcp", QStringLiteral("127.0.0.1:%1").arg(lpPort_), "--unit", "1", "--group", "1", "--from",
                   "1", "--to", QString::number(kGroup1Records), "--out", dir_.filePath(QStringLiteral("master")),
                   "--no-store"});
    QVERIFY(master_.waitForStarted());
}

void TestLineSharing::cleanupTestCase()
{
    if (master_.state() != QProcess::NotRunning) {
        master_.kill();
        master_.waitForFinished();
    }
    if (gateway_.state() != QProcess::NotRunning) {
        gateway_.terminate();
        QVERIFY(gateway_.waitForFinished(10000));
        QCOMPARE(gateway_.exitCode(), 0);
    }
}

void TestLineSharing::readsAsTheMeterAnswers_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("start"); // the wire address
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text"); // what the registers spell, when they spell something
    QTest::newRow("serial number, unit 1") << 1 << "3:hex" << 0x100C << 8 << "AWMETER012345001";
    QTest::newRow("serial number, unit 2") << 2 << "3:hex" << 0x100C << 8 << "AWMETER012345002";
    QTest::newRow("firmware") << 2 << "3:hex" << 0x1018 << 4 << "V3705A00";
    // The settings up to the ratios; the clock after them ticks.
    QTest::newRow("settings") << 2 << "4:hex" << 0x1000 << 0x23 << "";
}

void TestLineSharing::readsAsTheMeterAnswers()
{
    QFETCH(int, unit);
    QFETCH(QString, type);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QString, text);
    const QStringList read{"-a", QString::number(unit), "-t", type, "-r", QString::number(start + 1), "-c", QString::number(count)};
    const MbpollRun shared = mbpoll(readsPort_, read);
    ++readsMasters_;
    QVERIFY2(shared.exitCode == 0, qPrintable(shared.output));
    const MbpollRun direct = mbpoll(line_.tcpPort(), read);
    QVERIFY2(direct.exitCode == 0, qPrintable(direct.output));
    const QMap<int, QString> values = mbpollValues(shared.output);
    QCOMPARE(values.size(), count);
    QCOMPARE(values.firstKey(), start + 1);
    QCOMPARE(values, mbpollValues(direct.output));
    if (!text.isEmpty())
        QCOMPARE(registerText(values), text);
    else // the unit address register
        QCOMPARE(values.first().toUInt(nullptr, 16), uint(unit));
}

void TestLineSharing::gatewayPublishesWhileMastersRead()
{
    // mbpoll reads unit 2 over and over while the gateway goes on publishing it.
    MqttSubscriber states(broker_.port(), QStringLiteral("ampwright/+/state"));
    QString error;
    QVERIFY2(states.start(&error), qPrintable(error));
    const QString topic = QStringLiteral("ampwright/%1/state").arg(line_.unitSerials().value(2));
    QProcess poll;
    poll.setProcessChannelMode(QProcess::MergedChannels);
    poll.start(QStringLiteral("mbpoll"), {"-m", "tcp", "-p", QString::number(readsPort_), "-o", "5", "-l", "100", "-a",
                                          "2", "-t", "3:hex", "-r", QString::number(0x100C + 1), "-c", "8", "127.0.0.1"});
    QVERIFY(poll.waitForStarted());
    ++readsMasters_;
    QTRY_VERIFY_WITH_TIMEOUT(testsupport::countOf(states.messages(), topic) >= 2, kWaitMs);
    // Interrupted as at the terminal, it writes out what it read (SIGTERM
    // would lose what its buffered output holds).
    ::kill(pid_t(poll.processId()), SIGINT);
    QVERIFY(poll.waitForFinished(5000));
    const QString output = QString::fromLocal8Bit(poll.readAll());
    const int reads = int(output.count(QStringLiteral("[4109]:")));
    std::printf("mbpoll read the serial number %d times meanwhile\n", reads);
    QVERIFY2(reads >= 5, qPrintable(output.right(2000)));
    QVERIFY2(!output.contains(QLatin1String("failed")), qPrintable(output.right(2000)));
    QCOMPARE(testsupport::json(testsupport::newest(states.messages(), topic)).value("voltage_ln_a").toDouble(), 231.0);
}

void TestLineSharing::writesAsTheListenerAllows_data()
{
    QTest::addColumn<QString>("listener"); // reads, lp or allow
    QTest::addColumn<QString>("writes");   // as the log names them
    QTest::addColumn<quint16>("first");    // the values written to the CO2 factor's two registers
    QTest::addColumn<quint16>("second");
    QTest::newRow("writes left out") << "reads" << "refuse" << quint16(0x1111) << quint16(0x2222);
    QTest::newRow("writes=lp, not the pointer") << "lp" << "lp" << quint16(0x3333) << quint16(0x4444);
    QTest::newRow("writes=allow") << "allow" << "allow" << quint16(0x5555) << quint16(0x6666);
}

void TestLineSharing::writesAsTheListenerAllows()
{
    QFETCH(QString, listener);
    QFETCH(QString, writes);
    QFETCH(quint16, first);
    QFETCH(quint16, second);
    const quint16 port = listener == QLatin1String("reads") ? readsPort_ : listener == QLatin1String("lp") ? lpPort_ : allowPort_;
    const bool allowed = writes == QLatin1String("allow");
    constexpr int kCo2Factor = 0x1040; // a setting the meter stores as it is
    const QStringList registers{"-a", "2", "-t", "4", "-r", QString::number(kCo2Factor + 1)};
    // Besides the record pointer, which the downloads move.
    const auto settingWrites = [&] { return testsupport::settingWrites(line_.writes()); };
    const qsizetype writesBefore = settingWrites().size();
    const MbpollRun write = mbpoll(port, registers, {QString::number(first), QString::number(second)});
    const MbpollRun back = mbpoll(port, registers + QStringList{"-c", "2"});
    if (port == readsPort_)
        readsMasters_ += 2;
    QVERIFY2(back.exitCode == 0, qPrintable(back.output));
    const QList<QString> values = mbpollValues(back.output).values();
    const QList<QString> written{QString::number(first), QString::number(second)};
    if (allowed) {
        QVERIFY2(write.exitCode == 0, qPrintable(write.output));
        QCOMPARE(values, written);
        QVERIFY(line_.waitForSettingWrites(int(writesBefore) + 1));
        QCOMPARE(settingWrites().mid(writesBefore),
                 (QList<testsupport::MeterWrite>{{quint16(kCo2Factor), {first, second}, 2}}));
    } else {
        QVERIFY2(write.exitCode != 0 && write.output.contains(QLatin1String("Illegal function")), qPrintable(write.output));
        QVERIFY(values != written);
        QTRY_VERIFY2(log_.contains(QRegularExpression(
                     QStringLiteral("listener 127\\.0\\.0\\.1:%1: master 127\\.0\\.0\\.1:\\d+: write of registers "
                                    "0x1040-0x1041 of unit 2 \\(function 16\\) refused: writes=%2\n")
                         .arg(port).arg(writes))),
                 qPrintable(log_));
        QTest::qWait(200);
        QCOMPARE(settingWrites().mid(writesBefore), QList<testsupport::MeterWrite>{});
        if (port == readsPort_)
            ++refused_;
    }
}

void TestLineSharing::requestsGetTheirAnswers_data()
{
    // Raw frames on the reads-only listener, each with a transaction of its
    // own that its answer carries back.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("refused"); // by the listener, before the line
    QTest::addColumn<int>("failed");  // on the line
    QTest::newRow("read of unit 1") << QByteArray::fromHex("1234 0000 0006 01 03 1000 0001")
                                    << QByteArray::fromHex("1234 0000 0005 01 03 02 0001") << 0 << 0;
    QTest::newRow("read of unit 2") << QByteArray::fromHex("fffe 0000 0006 02 03 1000 0001")
                                    << QByteArray::fromHex("fffe 0000 0005 02 03 02 0002") << 0 << 0;
    QTest::newRow("two requests in one segment")
        << QByteArray::fromHex("0001 0000 0006 01 03 1000 0001 0002 0000 0006 02 03 1000 0001")
        << QByteArray::fromHex("0001 0000 0005 01 03 02 0001 0002 0000 0005 02 03 02 0002") << 0 << 0;
    QTest::newRow("unit 0") << QByteArray::fromHex("abcd 0000 0006 00 03 1000 0001")
                            << QByteArray::fromHex("abcd 0000 0003 00 83 0a") << 1 << 0;
    QTest::newRow("unit 248") << QByteArray::fromHex("abce 0000 0006 f8 04 1000 0001")
                              << QByteArray::fromHex("abce 0000 0003 f8 84 0a") << 1 << 0;
    QTest::newRow("unknown function 5") << QByteArray::fromHex("0007 0000 0006 01 05 0000 ff00")
                                        << QByteArray::fromHex("0007 0000 0003 01 85 01") << 1 << 0;
    QTest::newRow("unknown function 0x2b") << QByteArray::fromHex("0008 0000 0005 01 2b 0e 01 00")
                                           << QByteArray::fromHex("0008 0000 0003 01 ab 01") << 1 << 0;
    QTest::newRow("read of 0 registers") << QByteArray::fromHex("0009 0000 0006 01 04 1000 0000")
                                         << QByteArray::fromHex("0009 0000 0003 01 84 03") << 1 << 0;
    QTest::newRow("read of 126 registers") << QByteArray::fromHex("000a 0000 0006 01 04 1000 007e")
                                           << QByteArray::fromHex("000a 0000 0003 01 84 03") << 1 << 0;
    QTest::newRow("write whose byte count is wrong") << QByteArray::fromHex("000b 0000 0009 01 10 1040 0001 04 0001")
                                                     << QByteArray::fromHex("000b 0000 0003 01 90 03") << 1 << 0;
    // Passed on, and the meter's own exception passed back.
    QTest::newRow("register the meter has not") << QByteArray::fromHex("000c 0000 0006 01 03 9000 0001")
                                                << QByteArray::fromHex("000c 0000 0003 01 83 02") << 0 << 0;
    QTest::newRow("unit not on the line") << QByteArray::fromHex("000d 0000 0006 09 03 1000 0001")
                                          << QByteArray::fromHex("000d 0000 0003 09 83 0b") << 0 << 1;
}

void TestLineSharing::requestsGetTheirAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, refused);
    QFETCH(int, failed);
    // A silent unit is asked three times, 1.1 s each.
    const Exchange got = exchange(readsPort_, request, answer.size(), 15000);
    ++readsMasters_;
    QCOMPARE(got.answer.toHex(' '), answer.toHex(' '));
    QVERIFY(!got.closed);
    refused_ += refused;
    failed_ += failed;
}

void TestLineSharing::badInputIsClosed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why"); // as the log says it
    QTest::addColumn<int>("minMs");   // closed after
    QTest::addColumn<int>("maxMs");
    QTest::newRow("protocol identifier 1") << QByteArray::fromHex("0001 0001 0006 01 03 1000 0001")
                                           << "protocol identifier 1, not Modbus" << 0 << 1500;
    QTest::newRow("length 255") << QByteArray::fromHex("0001 0000 00ff 01 03 1000 0001")
                                << "length field 255 (a frame is 8 to 260 bytes)" << 0 << 1500;
    QTest::newRow("length 0") << QByteArray::fromHex("0001 0000 0000 01 03 1000 0001") << "length field 0" << 0 << 1500;
    QTest::newRow("length 1") << QByteArray::fromHex("0001 0000 0001 01") << "length field 1" << 0 << 1500;
    QTest::newRow("garbage") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
                             << "protocol identifier 21536, not Modbus" << 0 << 1500; // "T "
    QTest::newRow("shorter than its header says, then idle")
        << QByteArray::fromHex("0001 0000 0006 01 03 10") << "a request did not arrive whole within 3 s" << 2500 << 6000;
}

void TestLineSharing::badInputIsClosed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    const qsizetype logged = log_.size();
    const Exchange got = exchange(readsPort_, bytes, 0, 10000);
    ++readsMasters_;
    QVERIFY2(got.closed, "the connection is still open");
    QVERIFY2(got.closedAfterMs >= minMs && got.closedAfterMs <= maxMs, qPrintable(QString::number(got.closedAfterMs)));
    QCOMPARE(got.answer, QByteArray());
    QTRY_VERIFY2(log_.mid(logged).contains(QStringLiteral(" closed: ") + why), qPrintable(log_.mid(logged)));
}

void TestLineSharing::mastersBeyondTheLimitAreRefused()
{
    const qsizetype logged = log_.size();
    std::vector<std::unique_ptr<QTcpSocket>> masters;
    for (int m = 0; m < 16; ++m) {
        masters.push_back(std::make_unique<QTcpSocket>());
        masters.back()->connectToHost(QStringLiteral("127.0.0.1"), readsPort_);
        QVERIFY(masters.back()->waitForConnected(3000));
    }
    readsMasters_ += 16;
    QTRY_VERIFY2(log_.mid(logged).contains(QStringLiteral("connected (16 of 16)")), qPrintable(log_.mid(logged)));
    const Exchange seventeenth = exchange(readsPort_, QByteArray::fromHex("0001 0000 0006 01 03 1000 0001"), 0, 5000);
    QVERIFY2(seventeenth.closed && seventeenth.closedAfterMs < 1500, qPrintable(QString::number(seventeenth.closedAfterMs)));
    QCOMPARE(seventeenth.answer, QByteArray());
    QTRY_VERIFY(log_.mid(logged).contains(QStringLiteral("refused: 16 masters are connected already")));
    // The sixteen are still there, and the last of them is served.
    for (const auto &master : masters)
        QCOMPARE(master->state(), QAbstractSocket::ConnectedState);
    QTcpSocket &last = *masters.back();
    last.write(QByteArray::fromHex("0042 0000 0006 02 03 1000 0001"));
    QByteArray answer;
    while (answer.size() < 11 && last.waitForReadyRead(5000))
        answer += last.readAll();
    QCOMPARE(answer.toHex(' '), QByteArray::fromHex("0042 0000 0005 02 03 02 0002").toHex(' '));
    for (const auto &master : masters)
        master->disconnectFromHost();
    QTRY_COMPARE(log_.mid(logged).count(QStringLiteral(" left\n")), 16);
}

void TestLineSharing::masterLeavingMidRequestLosesOnlyItsAnswer()
{
    const qsizetype logged = log_.size();
    {
        // Its request whole: on the line, the answer dropped.
        QTcpSocket whole;
        whole.connectToHost(QStringLiteral("127.0.0.1"), readsPort_);
        QVERIFY(whole.waitForConnected(3000));
        whole.write(QByteArray::fromHex("0101 0000 0006 01 04 100c 0008"));
        QVERIFY(whole.waitForBytesWritten(3000));
        whole.abort();
        // Half of it, then gone.
        QTcpSocket half;
        half.connectToHost(QStringLiteral("127.0.0.1"), readsPort_);
        QVERIFY(half.waitForConnected(3000));
        half.write(QByteArray::fromHex("0102 0000 0006 01"));
        QVERIFY(half.waitForBytesWritten(3000));
        half.disconnectFromHost();
    }
    readsMasters_ += 2;
    QTRY_COMPARE(log_.mid(logged).count(QStringLiteral(" left\n")), 2);
    // The next master's answer is its own.
    const Exchange next = exchange(readsPort_, QByteArray::fromHex("0103 0000 0006 02 03 1000 0001"), 11, 5000);
    ++readsMasters_;
    QCOMPARE(next.answer.toHex(' '), QByteArray::fromHex("0103 0000 0005 02 03 02 0002").toHex(' '));
}

void TestLineSharing::listenerServesOnAndToldOfEachMaster()
{
    const MbpollRun after = mbpoll(readsPort_, {"-a", "1", "-t", "3:hex", "-r", QString::number(0x100C + 1), "-c", "8"});
    ++readsMasters_;
    QVERIFY2(after.exitCode == 0, qPrintable(after.output));
    QCOMPARE(registerText(mbpollValues(after.output)), QStringLiteral("AWMETER012345001"));
    QVERIFY(gateway_.state() == QProcess::Running);
    // Every master of the reads-only listener told once on its way in and
    // once on its way out; the refused one once.
    QTRY_COMPARE_WITH_TIMEOUT(masterLines(log_, readsPort_).connected.size(), readsMasters_, 5000);
    QTRY_VERIFY2_WITH_TIMEOUT(mistold(masterLines(log_, readsPort_)).isEmpty(),
                              qPrintable(mistold(masterLines(log_, readsPort_)).join(u'\n')), 5000);
    QCOMPARE(masterLines(log_, readsPort_).refused.size(), 1);
}

void TestLineSharing::recordPointerIsShared()
{
    // The master's download, started with the gateway, ends well.
    QTRY_VERIFY_WITH_TIMEOUT(master_.state() == QProcess::NotRunning, 60000);
    const QString said = QString::fromLocal8Bit(master_.readAll());
    QVERIFY2(master_.exitStatus() == QProcess::NormalExit && master_.exitCode() == 0, qPrintable(said));
    const QStringList files = QDir(dir_.filePath(QStringLiteral("master"))).entryList({"*.csv"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QStringList downloaded = recordRows(dir_.filePath(QStringLiteral("master/") + files.front()));
    QCOMPARE(downloaded, meterRecords(kGroup1Records));
    // The gateway left its round to the master and came back for the rest.
    QVERIFY2(log_.contains(QRegularExpression(QStringLiteral("meter \\S+ ?.*(load profile 1: .* the rest is left for later|"
                                                             "load profiles left for \\d+ s): a master moved its record pointer"))),
             qPrintable(log_));
    // The archive ends with every record once, in both groups.
    const auto archived = [&](int group) {
        const QString out = dir_.filePath(QStringLiteral("export%1").arg(group));
        QDir(out).removeRecursively();
        QProcess exporter;
        exporter.start(testsupport::cliProgram(),
                       {"archive", "export", "--serial", line_.unitSerials().value(1), "--group", QString::number(group),
                        "--out", out, "--store", "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))});
        exporter.waitForFinished(10000);
        QStringList times;
        for (const QString &file : QDir(out).entryList({"*.csv"}, QDir::Files))
            times += recordRows(QDir(out).filePath(file));
        return times;
    };
    QTRY_VERIFY_WITH_TIMEOUT(archived(1).size() >= kGroup1Records && archived(2).size() >= kGroup2Records, 60000);
    QCOMPARE(archived(1), meterRecords(kGroup1Records));
    const QStringList group2 = archived(2);
    QCOMPARE(group2.size(), kGroup2Records);
    QCOMPARE(QSet<QString>(group2.begin(), group2.end()).size(), kGroup2Records);
}

void TestLineSharing::metricsCountTheMasters()
{
    const QHash<QString, QString> samples = testsupport::metricSamples(testsupport::scrapeMetrics(metricsPort_));
    const auto sample = [&](const QString &name, quint16 port, const QString &outcome = {}) {
        const QString labels = outcome.isEmpty() ? QStringLiteral("{listener=\"127.0.0.1:%1\"}").arg(port)
                                                 : QStringLiteral("{listener=\"127.0.0.1:%1\",outcome=\"%2\"}").arg(port).arg(outcome);
        return samples.value(name + labels);
    };
    // Every master of the reads-only listener has left.
    QCOMPARE(sample("ampwright_listener_masters", readsPort_), QStringLiteral("0"));
    QVERIFY2(sample("ampwright_listener_requests_total", readsPort_, "passed").toDouble() >= 20,
             qPrintable(sample("ampwright_listener_requests_total", readsPort_, "passed")));
    QCOMPARE(sample("ampwright_listener_requests_total", readsPort_, "refused").toInt(), refused_);
    QCOMPARE(sample("ampwright_listener_requests_total", readsPort_, "failed").toInt(), failed_);
    QVERIFY(sample("ampwright_listener_wait_seconds_count", readsPort_).toDouble() >= 20);
    // The master's download: every request passed.
    QVERIFY(sample("ampwright_listener_requests_total", lpPort_, "passed").toDouble() > 10);
    QCOMPARE(sample("ampwright_listener_requests_total", lpPort_, "failed"), QStringLiteral("0"));
    QCOMPARE(sample("ampwright_listener_masters", allowPort_), QStringLiteral("0"));
    const auto complaints = testsupport::promtoolComplaints(testsupport::scrapeMetrics(metricsPort_));
    if (complaints)
        QVERIFY2(complaints->isEmpty(), qPrintable(*complaints));
}

QTEST_GUILESS_MAIN(TestLineSharing)
#include "test_line_sharing.moc"
