#include "fake_link.h"

#include <QTest>

using fake::Bytes;
using fake::Reply;
using fake::Rig;

namespace {

const std::string kCommError = "Communication Error! Retry 3 times!";

Bytes corruptCrc(Bytes b)
{
    b.back() ^= 0xFF;
    return b;
}

using modbus::Failure;

} // namespace

Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(modbus::Failure)

class TestTransactions : public QObject {
    Q_OBJECT
private slots:
    void answerInSecondAttempt_data();
    void answerInSecondAttempt();
    void trailingGarbageAfterGoodRtuAnswerIsAccepted();
    void staleInputIsDroppedBeforeSending();
    void threeFailuresTakeTheLinkOffline_data();
    void threeFailuresTakeTheLinkOffline();
    void writeBytesPacksPairsIntoRegisters();
    void writeBytesRefusesTooFewBytes();
    void offlineAtTheCallSendsNothing();
    void goingOfflineMidWaitReturnsSilently_data();
    void goingOfflineMidWaitReturnsSilently();
    void dataArrivalKeepsTheLatestTotal();
    void interFrameGapFollowsTheLastAnswer();
    void lineTimingSetsWaitAndGap();
    void tcpReadsWaitTheFixedPause_data();
    void tcpReadsWaitTheFixedPause();
    void answerIsTakenAsSoonAsItIsComplete_data();
    void answerIsTakenAsSoonAsItIsComplete();
    void nestedTransactionMakesTheOuterOneSendAgain();
    void exceptionAnswerEndsAtOnce_data();
    void exceptionAnswerEndsAtOnce();
};

void TestTransactions::answerInSecondAttempt_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<Bytes>("firstReply");
    QTest::addColumn<QString>("firstMessage");
    QTest::newRow("rtu, silent first attempt") << true << Bytes{} << QString();
    QTest::newRow("rtu, crc error first") << true << corruptCrc(fake::rtuReadAnswer(1, 4))
                                          << QStringLiteral("CRC Error");
    QTest::newRow("rtu, other address first") << true << fake::rtuReadAnswer(2, 4)
                                              << QStringLiteral("Address Error");
    QTest::newRow("tcp, silent first attempt") << false << Bytes{} << QString();
    QTest::newRow("tcp, short first answer") << false << Bytes{0, 0, 0, 0, 0, 7, 1, 3, 8, 1}
                                             << QString();
}

void TestTransactions::answerInSecondAttempt()
{
    QFETCH(bool, rtu);
    QFETCH(Bytes, firstReply);
    QFETCH(QString, firstMessage);
    Rig rig;
    const Bytes good = rtu ? fake::rtuReadAnswer(1, 4) : fake::tcpReadAnswer(1, 4);
    std::deque<Reply> &replies = rtu ? rig.serial.replies : rig.tcp.replies;
    replies.push_back(Reply{firstReply});
    replies.push_back(Reply{good});
    const modbus::TransactionResult result = rig.tx.ModbusReadRegisters(1, 3, 0x1000, 4, rtu);

    QVERIFY(result.ok());
    QCOMPARE(result.data, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    QVERIFY(!rig.tx.CommBusy);
    QCOMPARE(rtu ? rig.serial.sent.size() : rig.tcp.sent.size(), std::size_t(2));
    QCOMPARE(rig.host.offlineCalls, 0);
    QCOMPARE(result.lostAttempts.size(), std::size_t(1)); // the first one, for the metrics
    if (firstMessage.isEmpty())
        QVERIFY(rig.host.statusTexts.empty());
    else
        QCOMPARE(rig.host.statusTexts, std::vector<std::string>{firstMessage.toStdString()});
}

void TestTransactions::trailingGarbageAfterGoodRtuAnswerIsAccepted()
{
    Rig rig;
    Bytes answer = fake::rtuReadAnswer(1, 2);
    answer.insert(answer.end(), {0x55, 0xAA, 0x00});
    rig.serial.replies = {Reply{answer}};
    QCOMPARE(rig.tx.ModbusReadRegisters(1, 4, 0x107E, 2, true).data, (Bytes{1, 2, 3, 4}));
    QCOMPARE(rig.serial.sent.size(), std::size_t(1));
}

void TestTransactions::staleInputIsDroppedBeforeSending()
{
    Rig rig;
    // Bytes left over from an earlier exchange look like a complete answer.
    rig.serial.buffer = fake::rtuReadAnswer(1, 2);
    Bytes fresh = fake::rtuReadAnswer(1, 2);
    fresh[3] = 0x77;
    modbus::Crc16 crc;
    crc.CrcTableSetup();
    crc.compute(std::span(fresh).first(fresh.size() - 2));
    fresh[fresh.size() - 2] = crc.CrcLo;
    fresh[fresh.size() - 1] = crc.CrcHi;
    rig.serial.replies = {Reply{fresh}};
    QCOMPARE(rig.tx.ModbusReadRegisters(1, 3, 0, 2, true).data, (Bytes{0x77, 2, 3, 4}));
}

void TestTransactions::threeFailuresTakeTheLinkOffline_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("write");
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<Failure>("failure");
    // 100 waits of more than 10 ms each per attempt, plus the TCP pause.
    QTest::newRow("rtu read, no answer") << true << false << Bytes{} << 3 * 1100 << 3 * 1150 << Failure::NoAnswer;
    QTest::newRow("rtu write, crc errors") << true << true << corruptCrc(fake::rtuWriteAnswer(1, 0x1021, 1))
                                           << 90 << 300 << Failure::BadAnswer;
    QTest::newRow("rtu read, another unit") << true << false << fake::rtuReadAnswer(2, 4) << 90 << 300
                                            << Failure::WrongUnit;
    QTest::newRow("tcp read, short answer") << false << false << Bytes{0, 0, 0, 0, 0, 7, 1, 3, 8, 1}
                                            << 3 * 1300 << 3 * 1320 << Failure::NoAnswer;
    QTest::newRow("tcp write, no answer") << false << true << Bytes{} << 3 * 1600 << 3 * 1620 << Failure::NoAnswer;
}

void TestTransactions::threeFailuresTakeTheLinkOffline()
{
    QFETCH(bool, rtu);
    QFETCH(bool, write);
    QFETCH(Bytes, reply);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QFETCH(Failure, failure);
    Rig rig;
    (rtu ? rig.serial.replies : rig.tcp.replies) = {Reply{reply}, Reply{reply}, Reply{reply}};
    const std::int64_t start = rig.clock.now;

    const std::uint16_t value = 1234;
    const modbus::TransactionResult result = write ? rig.tx.ModbusWriteRegisters(1, 0x1021, 1, std::span(&value, 1), rtu)
                                                   : rig.tx.ModbusReadRegisters(1, 3, 0x1000, 4, rtu);

    QCOMPARE(rtu ? rig.serial.sent.size() : rig.tcp.sent.size(), std::size_t(3));
    QCOMPARE(rig.host.offlineCalls, 1);
    QCOMPARE(result.failure, failure);
    QCOMPARE(result.lostAttempts, (std::vector<Failure>{failure, failure}));
    QVERIFY(!rig.tx.CommBusy);
    QCOMPARE(rig.host.statusTexts.back(), kCommError);
    QVERIFY(result.data.empty());
    QCOMPARE(rig.clock.answerWaits, 3); // one wait per attempt
    const std::int64_t elapsed = rig.clock.now - start;
    QVERIFY2(elapsed >= minMs && elapsed <= maxMs, qPrintable(QString::number(elapsed)));
}

void TestTransactions::writeBytesPacksPairsIntoRegisters()
{
    Rig rig;
    rig.tcp.replies = {Reply{Bytes{0, 0, 0, 0, 0, 6, 15, 16, 0x10, 0x40, 0, 2}}};
    const std::uint8_t data[5] = {0x00, 0x00, 0x3F, 0x00, 0x99};
    QVERIFY(rig.tx.ModbusWriteBytes(15, 0x1040, 4, data, false).ok());
    QCOMPARE(rig.tcp.sent.size(), std::size_t(1));
    QCOMPARE(rig.tcp.sent[0],
             (Bytes{0, 0, 0, 0, 0, 11, 15, 16, 0x10, 0x40, 0, 2, 4, 0x00, 0x00, 0x3F, 0x00}));
    QVERIFY(!rig.tx.CommBusy);
}

void TestTransactions::writeBytesRefusesTooFewBytes()
{
    Rig rig;
    const std::uint8_t data[3] = {1, 2, 3};
    QCOMPARE(rig.tx.ModbusWriteBytes(15, 0x1040, 4, data, true).failure, Failure::Refused);
    QVERIFY(rig.serial.sent.empty());
    QVERIFY(!rig.tx.CommBusy);
}

void TestTransactions::offlineAtTheCallSendsNothing()
{
    Rig rig;
    rig.host.online = false;
    QCOMPARE(rig.tx.ModbusReadRegisters(1, 3, 0, 2, true).failure, Failure::LinkGone);
    const std::uint16_t v = 1;
    QCOMPARE(rig.tx.ModbusWriteRegisters(1, 0, 1, std::span(&v, 1), false).failure, Failure::LinkGone);
    QVERIFY(rig.serial.sent.empty());
    QVERIFY(rig.tcp.sent.empty());
    QVERIFY(!rig.tx.CommBusy);
}

void TestTransactions::goingOfflineMidWaitReturnsSilently_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("userOffline"); // false: the socket closes, the link stays online
    QTest::newRow("rtu") << true << true;
    QTest::newRow("tcp, closed by the meter") << false << false;
}

void TestTransactions::goingOfflineMidWaitReturnsSilently()
{
    QFETCH(bool, rtu);
    QFETCH(bool, userOffline);
    Rig rig;
    const std::int64_t start = rig.clock.now;
    // 300 ms into the wait the user goes offline, or the meter closes the socket.
    rig.clock.after(300, [&] {
        rig.host.online = !userOffline;
        rig.serial.open = false;
        rig.tcp.connected = false;
        rig.clock.inputArrived();
    });
    const modbus::TransactionResult result = rig.tx.ModbusReadRegisters(1, 3, 0, 2, rtu);

    QVERIFY(rig.host.statusTexts.empty());
    QCOMPARE(rig.host.offlineCalls, 0);
    QCOMPARE(rig.clock.now - start, std::int64_t(300));
    // The missing answer is not a success, and the link is free for the next transaction.
    QCOMPARE(result.failure, Failure::LinkGone);
    QVERIFY(!rig.tx.CommBusy);
}

void TestTransactions::dataArrivalKeepsTheLatestTotal()
{
    Rig rig;
    rig.tx.Winsock_DataArrival(5);
    rig.tx.Winsock_DataArrival(12);
    QCOMPARE(rig.tx.TcpBytesPending, std::int16_t(12));
    rig.tx.Winsock_DataArrival(100000);
    QCOMPARE(rig.tx.TcpBytesPending, std::int16_t(32767));
}

void TestTransactions::interFrameGapFollowsTheLastAnswer()
{
    Rig rig;
    rig.serial.replies = {Reply{fake::rtuReadAnswer(1, 2), 5}, Reply{fake::rtuReadAnswer(1, 2), 5}};
    rig.tx.ModbusReadRegisters(1, 3, 0, 2, true);
    const std::int64_t answered = rig.tx.LastRxTime;
    rig.tx.ModbusReadRegisters(1, 3, 0, 2, true);
    QCOMPARE(rig.serial.sentAt.size(), std::size_t(2));
    QVERIFY(rig.serial.sentAt[1] - answered > 12);
    QVERIFY(rig.serial.sentAt[1] - answered < 20);
}

void TestTransactions::lineTimingSetsWaitAndGap()
{
    Rig rig; // a slow converter: 150 ms after each answer, 300 ms for one
    rig.tx.setAnswerWaitMs(300);
    rig.tx.setGapMs(150);
    rig.serial.replies = {Reply{fake::rtuReadAnswer(1, 2), 5}};
    rig.tx.ModbusReadRegisters(1, 3, 0, 2, true);
    const std::int64_t answered = rig.tx.LastRxTime;
    QCOMPARE(rig.tx.ModbusReadRegisters(1, 3, 0, 2, true, {2, false}).failure, Failure::NoAnswer);
    QVERIFY(rig.serial.sentAt.size() == 3 && rig.serial.sentAt[1] - answered > 150 && rig.serial.sentAt[1] - answered < 160);
    QVERIFY(rig.clock.now - answered >= 150 + 2 * 300 && rig.clock.now - answered < 150 + 2 * 340);
}

void TestTransactions::tcpReadsWaitTheFixedPause_data()
{
    QTest::addColumn<std::optional<int>>("pauseMs"); // nothing: the window's pauses
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("atLeastMs");
    QTest::addColumn<int>("belowMs");
    QTest::newRow("window, read") << std::optional<int>() << false << 200 << 220;
    QTest::newRow("window, write") << std::optional<int>() << true << 500 << 520;
    // The tool: the answer (5 ms after the request) as soon as it is complete.
    QTest::newRow("no pause") << std::optional<int>(0) << false << 5 << 20;
    QTest::newRow("a gateway's pause") << std::optional<int>(50) << true << 50 << 70;
}

void TestTransactions::tcpReadsWaitTheFixedPause()
{
    QFETCH(std::optional<int>, pauseMs);
    QFETCH(bool, write);
    QFETCH(int, atLeastMs);
    QFETCH(int, belowMs);
    Rig rig;
    rig.tx.setTcpPauseMs(pauseMs);
    rig.tcp.replies = {Reply{write ? Bytes{0, 0, 0, 0, 0, 6, 1, 16, 0, 0, 0, 1} : fake::tcpReadAnswer(1, 2), 5}};
    const std::int64_t start = rig.clock.now;
    const std::uint16_t value = 7;
    const modbus::TransactionResult result = write ? rig.tx.ModbusWriteRegisters(1, 0, 1, std::span(&value, 1), false)
                                                   : rig.tx.ModbusReadRegisters(1, 3, 0, 2, false);
    QVERIFY(result.ok());
    QVERIFY2(rig.clock.now - start >= atLeastMs && rig.clock.now - start < belowMs,
             qPrintable(QString::number(rig.clock.now - start)));
}

void TestTransactions::answerIsTakenAsSoonAsItIsComplete_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("split");
    QTest::newRow("3 ms") << 3 << false;
    QTest::newRow("57 ms") << 57 << false;
    QTest::newRow("arriving in two parts") << 40 << true;
}

void TestTransactions::answerIsTakenAsSoonAsItIsComplete()
{
    QFETCH(int, delayMs);
    QFETCH(bool, split);
    Rig rig;
    const Bytes answer = fake::rtuReadAnswer(1, 2);
    if (split) {
        // Half the answer early; the rest at delayMs.
        rig.serial.replies = {Reply{Bytes(answer.begin(), answer.begin() + 4), 5}};
        rig.clock.after(delayMs, [&] {
            rig.serial.buffer.insert(rig.serial.buffer.end(), answer.begin() + 4, answer.end());
            rig.clock.inputArrived();
        });
    } else {
        rig.serial.replies = {Reply{answer, delayMs}};
    }
    const std::int64_t start = rig.clock.now;
    QCOMPARE(rig.tx.ModbusReadRegisters(1, 3, 0, 2, true).data, (Bytes{1, 2, 3, 4}));
    QCOMPARE(rig.clock.now - start, std::int64_t(delayMs));
    QCOMPARE(rig.tx.LastRxTime, start + delayMs);
}

void TestTransactions::nestedTransactionMakesTheOuterOneSendAgain()
{
    Rig rig;
    // The outer read gets no answer to its first request; meanwhile another
    // transaction runs to its end inside the outer one's wait.
    rig.serial.replies = {Reply{}, Reply{fake::rtuWriteAnswer(1, 0x1021, 1), 5},
                          Reply{fake::rtuReadAnswer(1, 2), 5}};
    rig.clock.after(100, [&] {
        const std::uint16_t v = 25;
        rig.tx.ModbusWriteRegisters(1, 0x1021, 1, std::span(&v, 1), true);
    });
    const modbus::TransactionResult outer = rig.tx.ModbusReadRegisters(1, 3, 0, 2, true);

    QCOMPARE(rig.serial.sent.size(), std::size_t(3));
    // The outer request goes out again unchanged, not the inner one's frame.
    QCOMPARE(rig.serial.sent[2], rig.serial.sent[0]);
    QCOMPARE(rig.serial.sentAt[2], rig.serial.sentAt[1] + 5 + 13);
    QCOMPARE(outer.data, (Bytes{1, 2, 3, 4}));
    QVERIFY(!rig.tx.CommBusy);
    QCOMPARE(rig.host.offlineCalls, 0);
}

void TestTransactions::exceptionAnswerEndsAtOnce_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("write");
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<int>("pauseMs"); // of the window over TCP
    // An RTU exception with its CRC; over TCP the header of a 3-byte PDU.
    QTest::newRow("rtu read") << true << false << Bytes{1, 0x83, 2, 0xC0, 0xF1} << 0;
    QTest::newRow("tcp read") << false << false << Bytes{0, 0, 0, 0, 0, 3, 1, 0x83, 2} << 200;
    QTest::newRow("tcp write") << false << true << Bytes{0, 0, 0, 0, 0, 3, 1, 0x90, 2} << 500;
}

void TestTransactions::exceptionAnswerEndsAtOnce()
{
    QFETCH(bool, rtu);
    QFETCH(bool, write);
    QFETCH(Bytes, reply);
    QFETCH(int, pauseMs);
    Rig rig;
    (rtu ? rig.serial.replies : rig.tcp.replies) = {Reply{reply, 20}};
    const std::int64_t start = rig.clock.now;
    const std::uint16_t value = 1;
    const modbus::TransactionResult result = write ? rig.tx.ModbusWriteRegisters(1, 0x1021, 1, std::span(&value, 1), rtu)
                                                   : rig.tx.ModbusReadRegisters(1, 3, 0x1000, 4, rtu);
    QCOMPARE(result.failure, Failure::Exception);
    QCOMPARE(result.exceptionCode, std::uint8_t(2));
    // One request, taken as soon as the exception is in; the meter answered, the link stays.
    QCOMPARE(rtu ? rig.serial.sent.size() : rig.tcp.sent.size(), std::size_t(1));
    QCOMPARE(rig.clock.now - start, std::int64_t(rtu ? 20 : pauseMs));
    QCOMPARE(rig.host.offlineCalls, 0);
    QVERIFY(!rig.tx.CommBusy);
}

QTEST_GUILESS_MAIN(TestTransactions)
#include "test_transactions.moc"
