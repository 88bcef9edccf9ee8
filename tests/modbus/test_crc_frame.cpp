#include "modbus/crc.h"
#include "modbus/frame.h"

#include "fake_link.h"
#include "modbus/mbap.h"

#include <QTest>

#include <vector>

using modbus::AnswerCheck;
using fake::withCrc;
using modbus::FrameCodec;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes hex(const char *text)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return Bytes(raw.begin(), raw.end());
}

QByteArray toHex(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper();
}

// Answer of `count` registers 0x0101, 0x0202... from `address`, with its CRC.
Bytes rtuReadAnswer(std::uint8_t address, int count)
{
    Bytes answer{address, 3, static_cast<std::uint8_t>(2 * count)};
    for (int i = 1; i <= count; ++i) {
        answer.push_back(static_cast<std::uint8_t>(i));
        answer.push_back(static_cast<std::uint8_t>(i));
    }
    return withCrc(std::move(answer));
}

} // namespace

class TestCrcFrame : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValues_data();
    void crcCheckValues();
    void crcTables();
    void requests_data();
    void requests();
    void requestsOutsideLimitsAreRefused();
    void rtuAnswerCheck_data();
    void rtuAnswerCheck();
    void tcpAnswerMustFitTheRequest_data();
    void tcpAnswerMustFitTheRequest();
    void passedOnAnswers_data();
    void passedOnAnswers();
    void extractionAppendsBlocks();
    void extractionRefusesShortAnswer();
    void mbapRequestsTakenFromAConnection_data();
    void mbapRequestsTakenFromAConnection();
    void requestPduChecked_data();
    void requestPduChecked();
};

void TestCrcFrame::crcCheckValues_data()
{
    QTest::addColumn<Bytes>("input");
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    const char *digits = "123456789";
    QTest::newRow("ascii 123456789") << Bytes(digits, digits + 9) << 0x37 << 0x4B;
    QTest::newRow("read request") << hex("01 03 00 00 00 0A") << 0xC5 << 0xCD;
    QTest::newRow("empty") << Bytes{} << 0xFF << 0xFF;
}

void TestCrcFrame::crcCheckValues()
{
    QFETCH(Bytes, input);
    QFETCH(int, lo);
    QFETCH(int, hi);
    modbus::Crc16 crc;
    crc.CrcTableSetup();
    crc.compute(input);
    QCOMPARE(int(crc.CrcLo), lo);
    QCOMPARE(int(crc.CrcHi), hi);
}

void TestCrcFrame::crcTables()
{
    modbus::Crc16 crc;
    crc.CrcTableSetup();
    const Bytes aStart{0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41};
    const Bytes bStart{0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2};
    const Bytes bEnd{0x41, 0x81, 0x80, 0x40};
    QCOMPARE(Bytes(crc.CrcTableA.begin(), crc.CrcTableA.begin() + 8), aStart);
    QCOMPARE(Bytes(crc.CrcTableB.begin(), crc.CrcTableB.begin() + 8), bStart);
    QCOMPARE(Bytes(crc.CrcTableB.end() - 4, crc.CrcTableB.end()), bEnd);
    QCOMPARE(int(crc.CrcLo), 0xFF);
    QCOMPARE(int(crc.CrcHi), 0xFF);
}

void TestCrcFrame::requests_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("valuesOrCount");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("rtu read 10 at 0") << true << false << 1 << 3 << 0 << QList<int>{10}
                                      << QByteArray("01 03 00 00 00 0A C5 CD") << 25;
    QTest::newRow("tcp read 10 at 0") << false << false << 1 << 3 << 0 << QList<int>{10}
                                      << QByteArray("00 00 00 00 00 06 01 03 00 00 00 0A") << 29;
    QTest::newRow("tcp read input block") << false << false << 15 << 4 << 0x1080 << QList<int>{90}
                                          << QByteArray("00 00 00 00 00 06 0F 04 10 80 00 5A")
                                          << 189;
    QTest::newRow("tcp write 2 registers")
        << false << true << 15 << 16 << 0x1040 << QList<int>{0x0000, 0x3F00}
        << QByteArray("00 00 00 00 00 0B 0F 10 10 40 00 02 04 00 00 3F 00") << 12;
    QTest::newRow("tcp write 0xFFFF") << false << true << 1 << 16 << 0x1000 << QList<int>{0xFFFF}
                                      << QByteArray("00 00 00 00 00 09 01 10 10 00 00 01 02 FF FF")
                                      << 12;
    // CRC of 01 10 00 01 00 01 02 00 0A, checked against an independent bitwise CRC.
    QTest::newRow("rtu write 1 register") << true << true << 1 << 16 << 1 << QList<int>{10}
                                          << QByteArray("01 10 00 01 00 01 02 00 0A 27 86") << 8;
}

void TestCrcFrame::requests()
{
    QFETCH(bool, rtu);
    QFETCH(bool, write);
    QFETCH(int, address);
    QFETCH(int, function);
    QFETCH(int, start);
    QFETCH(QList<int>, valuesOrCount);
    QFETCH(QByteArray, frame);
    QFETCH(int, expectedLength);

    modbus::Crc16 crc;
    FrameCodec codec(crc);
    if (write) {
        std::vector<std::uint16_t> values;
        for (int v : valuesOrCount)
            values.push_back(static_cast<std::uint16_t>(v));
        QVERIFY(codec.buildWriteRequest(std::uint8_t(address), start, values, rtu));
    } else {
        QVERIFY(codec.buildReadRequest(std::uint8_t(address), std::uint8_t(function), start,
                                       valuesOrCount.front(), rtu));
    }
    QCOMPARE(toHex(codec.txFrame()), frame);
    QCOMPARE(codec.expectedLength(), expectedLength);
}

void TestCrcFrame::requestsOutsideLimitsAreRefused()
{
    modbus::Crc16 crc;
    FrameCodec codec(crc);
    QVERIFY(codec.buildReadRequest(1, 3, 0, 10, true));
    QVERIFY(!codec.buildReadRequest(1, 3, 32768, 1, true));
    QVERIFY(!codec.buildReadRequest(1, 3, 0, -1, false));
    const std::vector<std::uint16_t> tooMany(125, 0);
    QVERIFY(!codec.buildWriteRequest(1, 0, tooMany, false));
    QVERIFY(codec.buildWriteRequest(1, 0, std::span(tooMany).first(124), false));
    QCOMPARE(int(codec.txFrame()[5]), 255);
    QVERIFY(!codec.buildWriteRequest(1, 0, {}, true));
}

void TestCrcFrame::rtuAnswerCheck_data()
{
    QTest::addColumn<Bytes>("answer");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("outcome");

    const Bytes good = rtuReadAnswer(1, 10);
    QTest::newRow("valid") << good << 1 << int(AnswerCheck::Valid);

    Bytes trailing = good;
    trailing.insert(trailing.end(), {0xDE, 0xAD});
    QTest::newRow("trailing garbage ignored") << trailing << 1 << int(AnswerCheck::Valid);

    Bytes swapped = good;
    std::swap(swapped[23], swapped[24]);
    QTest::newRow("crc bytes swapped") << swapped << 1 << int(AnswerCheck::CrcError);

    QTest::newRow("other address, right crc") << rtuReadAnswer(2, 10) << 1
                                              << int(AnswerCheck::AddressError);

    Bytes otherFunction = rtuReadAnswer(1, 10);
    // A different function code with a matching CRC is not looked at.
    otherFunction[1] = 4;
    modbus::Crc16 crc;
    crc.CrcTableSetup();
    crc.compute(std::span(otherFunction).first(23));
    otherFunction[23] = crc.CrcLo;
    otherFunction[24] = crc.CrcHi;
    QTest::newRow("function code not compared") << otherFunction << 1 << int(AnswerCheck::Valid);

    QTest::newRow("short") << Bytes(good.begin(), good.end() - 1) << 1
                           << int(AnswerCheck::TooShort);
}

void TestCrcFrame::rtuAnswerCheck()
{
    QFETCH(Bytes, answer);
    QFETCH(int, slave);
    QFETCH(int, outcome);
    modbus::Crc16 crc;
    FrameCodec codec(crc);
    QVERIFY(codec.buildReadRequest(1, 3, 0, 10, true));
    QCOMPARE(int(codec.checkRtuAnswer(answer, slave)), outcome);
}

void TestCrcFrame::tcpAnswerMustFitTheRequest_data()
{
    QTest::addColumn<Bytes>("answer");
    QTest::addColumn<int>("outcome");
    const Bytes good{0, 0, 0, 0, 0, 7, 1, 3, 4, 0x11, 0x22, 0x33, 0x44};
    const auto with = [&good](std::size_t at, std::uint8_t value) {
        Bytes changed = good;
        changed[at] = value;
        return changed;
    };
    Bytes trailing = good;
    trailing.insert(trailing.end(), {0xEE, 0xEE});
    QTest::newRow("answer") << good << int(AnswerCheck::Valid);
    QTest::newRow("other transaction id and unit") << with(0, 9) << int(AnswerCheck::Valid);
    QTest::newRow("trailing bytes") << trailing << int(AnswerCheck::Valid);
    QTest::newRow("one byte short") << Bytes(good.begin(), good.end() - 1)
                                    << int(AnswerCheck::TooShort);
    QTest::newRow("stream of other bytes") << Bytes(13, 0xEE) << int(AnswerCheck::HeaderError);
    QTest::newRow("protocol identifier") << with(3, 1) << int(AnswerCheck::HeaderError);
    QTest::newRow("length field") << with(5, 9) << int(AnswerCheck::HeaderError);
    QTest::newRow("other function") << with(7, 4) << int(AnswerCheck::HeaderError);
    QTest::newRow("padded exception") << with(7, 0x83) << int(AnswerCheck::HeaderError);
}

void TestCrcFrame::tcpAnswerMustFitTheRequest()
{
    QFETCH(Bytes, answer);
    QFETCH(int, outcome);
    modbus::Crc16 crc;
    FrameCodec codec(crc);
    QVERIFY(codec.buildReadRequest(1, 3, 0, 2, false));
    QCOMPARE(codec.expectedLength(), 13);
    QCOMPARE(int(codec.checkTcpAnswer(answer)), outcome);
}

// A master's request passed on is held to more than the program's own: the
// function, a read's byte count, over TCP the transaction and the unit; the
// PDU handed back is the answer's.
void TestCrcFrame::passedOnAnswers_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<Bytes>("answer");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("pdu"); // of a valid answer
    QTest::newRow("rtu read") << true << rtuReadAnswer(7, 2) << int(AnswerCheck::Valid) << QByteArray("03 04 01 01 02 02");
    QTest::newRow("rtu other function") << true << withCrc(hex("07 04 04 01 01 02 02")) << int(AnswerCheck::HeaderError) << QByteArray();
    QTest::newRow("rtu byte count") << true << withCrc(hex("07 03 05 01 01 02 02")) << int(AnswerCheck::HeaderError) << QByteArray();
    QTest::newRow("rtu other unit") << true << rtuReadAnswer(8, 2) << int(AnswerCheck::AddressError) << QByteArray();
    QTest::newRow("tcp read") << false << hex("12 34 00 00 00 07 07 03 04 01 01 02 02") << int(AnswerCheck::Valid)
                              << QByteArray("03 04 01 01 02 02");
    QTest::newRow("tcp other transaction") << false << hex("12 35 00 00 00 07 07 03 04 01 01 02 02")
                                           << int(AnswerCheck::HeaderError) << QByteArray();
    QTest::newRow("tcp other unit") << false << hex("12 34 00 00 00 07 08 03 04 01 01 02 02") << int(AnswerCheck::HeaderError)
                                    << QByteArray();
}

void TestCrcFrame::passedOnAnswers()
{
    QFETCH(bool, rtu);
    QFETCH(Bytes, answer);
    QFETCH(int, outcome);
    QFETCH(QByteArray, pdu);
    modbus::Crc16 crc;
    FrameCodec codec(crc);
    // Read two registers from 0x0010 of unit 7, as a master asked.
    QVERIFY(codec.buildPduRequest(7, hex("03 00 10 00 02"), 6, rtu, 0x1234));
    QCOMPARE(toHex(codec.txFrame()), rtu ? QByteArray("07 03 00 10 00 02 C5 A8") : QByteArray("12 34 00 00 00 06 07 03 00 10 00 02"));
    QCOMPARE(int(rtu ? codec.checkRtuAnswer(answer, 7) : codec.checkTcpAnswer(answer)), outcome);
    if (outcome == int(AnswerCheck::Valid))
        QCOMPARE(toHex(codec.answerPdu(answer, rtu)), pdu);
    // An exception answer counts only from the unit and transaction asked.
    const Bytes exception = rtu ? withCrc(hex("07 83 02")) : hex("12 34 00 00 00 03 07 83 02");
    QCOMPARE(codec.exceptionCode(exception, 7, rtu), std::optional<std::uint8_t>(2));
    if (!rtu)
        QCOMPARE(codec.exceptionCode(hex("00 00 00 00 00 03 07 83 02"), 7, rtu), std::nullopt);
}

void TestCrcFrame::extractionAppendsBlocks()
{
    modbus::RxBuffer rx;
    QVERIFY(rx.isEmptyState());
    const Bytes first = rtuReadAnswer(1, 2);
    const Bytes second = rtuReadAnswer(1, 3);
    QVERIFY(FrameCodec::extractReadData(first, 2, true, rx));
    QVERIFY(FrameCodec::extractReadData(second, 3, true, rx));
    const Bytes expected{1, 1, 2, 2, 1, 1, 2, 2, 3, 3};
    QCOMPARE(Bytes(rx.bytes().begin(), rx.bytes().end()), expected);

    Bytes tcp{0, 0, 0, 0, 0, 7, 1, 3, 4, 9, 8, 7, 6};
    rx.reset();
    QVERIFY(FrameCodec::extractReadData(tcp, 2, false, rx));
    QCOMPARE(Bytes(rx.bytes().begin(), rx.bytes().end()), (Bytes{9, 8, 7, 6}));
}

void TestCrcFrame::extractionRefusesShortAnswer()
{
    modbus::RxBuffer rx;
    const Bytes answer = rtuReadAnswer(1, 2);
    QVERIFY(!FrameCodec::extractReadData(std::span(answer).first(6), 2, true, rx));
    QVERIFY(rx.isEmptyState());
}

void TestCrcFrame::mbapRequestsTakenFromAConnection_data()
{
    // What a connection delivered; each request taken from its front in turn
    // ("TRANSACTION UNIT PDU"), then what is left: "need more" or "bad".
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("then");
    QTest::newRow("nothing") << Bytes{} << QStringList{} << "need more";
    QTest::newRow("part of the header") << hex("1234 0000 00") << QStringList{} << "need more";
    QTest::newRow("header, part of the PDU") << hex("1234 0000 0006 11 03 10") << QStringList{} << "need more";
    QTest::newRow("whole") << hex("1234 0000 0006 11 03 1000 0002") << QStringList{"1234 11 03 10 00 00 02"} << "need more";
    QTest::newRow("whole, the next begun") << hex("1234 0000 0006 11 03 1000 0002 1235 00")
                                           << QStringList{"1234 11 03 10 00 00 02"} << "need more";
    QTest::newRow("two back to back") << hex("0001 0000 0006 01 03 1000 0001 0002 0000 0006 02 04 1000 0001")
                                      << QStringList{"0001 01 03 10 00 00 01", "0002 02 04 10 00 00 01"} << "need more";
    QTest::newRow("a function code alone") << hex("0001 0000 0002 01 07") << QStringList{"0001 01 07"} << "need more";
    QTest::newRow("protocol identifier 1") << hex("0001 0001 0006 01 03 1000 0001") << QStringList{} << "bad";
    QTest::newRow("protocol told by 6 bytes") << hex("0001 ffff 0006") << QStringList{} << "bad";
    QTest::newRow("length 0") << hex("0001 0000 0000 01 03") << QStringList{} << "bad";
    QTest::newRow("length 1") << hex("0001 0000 0001 01") << QStringList{} << "bad";
    QTest::newRow("length 254: a frame of 260") << hex("0001 0000 00fe 01 10") << QStringList{} << "need more";
    QTest::newRow("length 255") << hex("0001 0000 00ff 01 10") << QStringList{} << "bad";
    QTest::newRow("length 65535") << hex("0001 0000 ffff 01 10") << QStringList{} << "bad";
    QTest::newRow("good, then bad") << hex("0001 0000 0006 01 03 1000 0001 0002 0000 0000")
                                    << QStringList{"0001 01 03 10 00 00 01"} << "bad";
}

void TestCrcFrame::mbapRequestsTakenFromAConnection()
{
    QFETCH(Bytes, bytes);
    QFETCH(QStringList, requests);
    QFETCH(QString, then);
    QStringList taken;
    std::span<const std::uint8_t> rest(bytes);
    modbus::MbapTake take;
    while ((take = modbus::takeMbapRequest(rest)).state == modbus::MbapTake::State::Request && taken.size() <= requests.size()) {
        QVERIFY(take.consumed > 0 && take.consumed <= rest.size());
        QCOMPARE(take.consumed, modbus::kMbapHeader + take.request.pdu.size());
        taken << QStringLiteral("%1 %2 %3")
                     .arg(take.request.transaction, 4, 16, QLatin1Char('0'))
                     .arg(take.request.unit, 2, 16, QLatin1Char('0'))
                     .arg(QString::fromLatin1(toHex(take.request.pdu).toLower()));
        rest = rest.subspan(take.consumed);
    }
    QCOMPARE(taken, requests);
    QCOMPARE(take.state == modbus::MbapTake::State::Bad ? QStringLiteral("bad") : QStringLiteral("need more"), then);
    QCOMPARE(take.why.empty(), take.state != modbus::MbapTake::State::Bad);
}

void TestCrcFrame::requestPduChecked_data()
{
    QTest::addColumn<Bytes>("pdu");
    QTest::addColumn<int>("exception"); // 0: a request to pass on
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("answerLength");
    QTest::newRow("read holding, 125") << hex("03 1000 007d") << 0 << 0x1000 << 125 << 252;
    QTest::newRow("read input, 1") << hex("04 0000 0001") << 0 << 0 << 1 << 4;
    QTest::newRow("read the last register") << hex("04 ffff 0001") << 0 << 0xFFFF << 1 << 4;
    QTest::newRow("write one") << hex("06 104d 0005") << 0 << 0x104D << 1 << 5;
    QTest::newRow("write two") << hex("10 1040 0002 04 0001 0002") << 0 << 0x1040 << 2 << 5;
    QTest::newRow("read 0") << hex("03 1000 0000") << 3 << 0 << 0 << 0;
    QTest::newRow("read 126") << hex("04 1000 007e") << 3 << 0 << 0 << 0;
    QTest::newRow("read past the last register") << hex("03 ffff 0002") << 3 << 0 << 0 << 0;
    QTest::newRow("read a byte short") << hex("03 1000 00") << 3 << 0 << 0 << 0;
    QTest::newRow("read a byte long") << hex("03 1000 0001 00") << 3 << 0 << 0 << 0;
    QTest::newRow("write one, a byte short") << hex("06 104d 00") << 3 << 0 << 0 << 0;
    QTest::newRow("write 0") << hex("10 1040 0000 00") << 3 << 0 << 0 << 0;
    QTest::newRow("write 124") << hex("10 1000 007c f8") << 3 << 0 << 0 << 0;
    QTest::newRow("byte count not twice the count") << hex("10 1040 0002 02 0001") << 3 << 0 << 0 << 0;
    QTest::newRow("fewer bytes than the byte count") << hex("10 1040 0002 04 0001 00") << 3 << 0 << 0 << 0;
    QTest::newRow("write past the last register") << hex("10 ffff 0002 04 0001 0002") << 3 << 0 << 0 << 0;
    QTest::newRow("function 5") << hex("05 0000 ff00") << 1 << 0 << 0 << 0;
    QTest::newRow("function 0x2b") << hex("2b 0e 01 00") << 1 << 0 << 0 << 0;
    QTest::newRow("no function") << Bytes{} << 1 << 0 << 0 << 0;
}

void TestCrcFrame::requestPduChecked()
{
    QFETCH(Bytes, pdu);
    QFETCH(int, exception);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(int, answerLength);
    const modbus::PduCheck check = modbus::checkRequestPdu(pdu);
    QCOMPARE(check.ok, exception == 0);
    QCOMPARE(int(check.exceptionCode), exception);
    if (check.ok) {
        QCOMPARE(check.shape.function, pdu.front());
        QCOMPARE(check.shape.start, start);
        QCOMPARE(check.shape.count, count);
        QCOMPARE(int(check.shape.answerLength), answerLength);
        QCOMPARE(check.shape.write(), pdu.front() == 6 || pdu.front() == 16);
    }
}

QTEST_GUILESS_MAIN(TestCrcFrame)
#include "test_crc_frame.moc"
