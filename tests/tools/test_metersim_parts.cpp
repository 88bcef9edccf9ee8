// The simulated meter's stream parsing and fault rules, checked without a process.

#include "fault_rules.h"
#include "rtu_framer.h"
#include "wire_codec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace metersim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray framed(const char *text)
{
    QByteArray frame = hex(text);
    appendCrc(frame);
    return frame;
}

// Every frame the framer yields for the chunks, as "address:pdu" in hex.
QStringList framesOf(const QList<QByteArray> &chunks)
{
    RtuFramer framer;
    QStringList frames;
    for (const QByteArray &chunk : chunks) {
        framer.append(chunk, 0);
        while (auto frame = framer.takeFrame())
            frames << QStringLiteral("%1:%2").arg(frame->address).arg(QString::fromLatin1(frame->pdu.toHex()));
    }
    return frames;
}

} // namespace

class TestMetersimParts : public QObject {
    Q_OBJECT
private slots:
    void framerFindsRequests_data();
    void framerFindsRequests();
    void framerSurvivesNoise();
    void faultRuleParsing_data();
    void faultRuleParsing();
    void faultSelectorsAndTimes_data();
    void faultSelectorsAndTimes();
};

void TestMetersimParts::framerFindsRequests_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("frames");

    const QByteArray read = framed("0F 03 10 21 00 02");
    const QByteArray input = framed("0F 04 10 7E 00 02");
    const QByteArray write = framed("0F 10 10 22 00 02 04 00 96 00 01");
    QByteArray badCrc = read;
    badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.back() ^ 0x01);

    QTest::newRow("whole") << QList<QByteArray>{read} << QStringList{"15:0310210002"};
    QTest::newRow("byte by byte") << [&] {
        QList<QByteArray> bytes;
        for (char c : write)
            bytes << QByteArray(1, c);
        return bytes;
    }() << QStringList{"15:10102200020400960001"};
    QTest::newRow("split inside the header") << QList<QByteArray>{read.left(3), read.mid(3)}
                                             << QStringList{"15:0310210002"};
    QTest::newRow("back to back") << QList<QByteArray>{read + input + write}
                                  << QStringList{"15:0310210002", "15:04107e0002", "15:10102200020400960001"};
    QTest::newRow("noise before") << QList<QByteArray>{hex("FF 00 13 37") + read}
                                  << QStringList{"15:0310210002"};
    QTest::newRow("bad CRC dropped") << QList<QByteArray>{badCrc + input} << QStringList{"15:04107e0002"};
    QTest::newRow("bad CRC alone, good frame later") << QList<QByteArray>{badCrc, input}
                                                     << QStringList{"15:04107e0002"};
    QTest::newRow("another unit is a frame too") << QList<QByteArray>{framed("10 03 10 21 00 02") + read}
                                                 << QStringList{"16:0310210002", "15:0310210002"};
    // Looks like the start of a 137-byte write that never comes.
    QTest::newRow("false start of a long write") << QList<QByteArray>{hex("0F 10 00 00 00 40 80 01"), input}
                                                 << QStringList{"15:04107e0002"};
    QTest::newRow("unknown function found by its CRC") << QList<QByteArray>{framed("0F 2B 0E 01 00") + read}
                                                       << QStringList{"15:2b0e0100", "15:0310210002"};
    QTest::newRow("write with a byte count past the largest frame")
        << QList<QByteArray>{hex("0F 10 00 00 00 7D FA") + input} << QStringList{"15:04107e0002"};
}

void TestMetersimParts::framerFindsRequests()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, frames);
    QCOMPARE(framesOf(chunks), frames);
}

void TestMetersimParts::framerSurvivesNoise()
{
    // Arbitrary bytes in arbitrary pieces: the framer never holds more than a
    // frame's worth, and a good request after the noise is still understood.
    QRandomGenerator random(20240301);
    const QByteArray request = framed("0F 04 10 7E 00 02");
    for (int round = 0; round < 200; ++round) {
        RtuFramer framer;
        QByteArray noise(random.bounded(1, 600), Qt::Uninitialized);
        for (char &c : noise)
            c = static_cast<char>(random.bounded(256));
        const QByteArray stream = noise + request;
        QStringList frames;
        for (qsizetype pos = 0; pos < stream.size();) {
            const qsizetype n = qMin<qsizetype>(random.bounded(1, 40), stream.size() - pos);
            framer.append(QByteArrayView(stream).sliced(pos, n), 0);
            pos += n;
            while (auto frame = framer.takeFrame())
                frames << QString::fromLatin1(frame->pdu.toHex());
            QVERIFY(framer.pendingBytes() < RtuFramer::kMaxFrame);
        }
        QVERIFY2(!frames.isEmpty() && frames.last() == QLatin1String("04107e0002"),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(frames.join(' '))));
    }
}

void TestMetersimParts::faultRuleParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("drop nth") << "drop@nth=2" << true;
    QTest::newRow("reg with hex and times") << "drop@reg=3:0x1064,times=3" << true;
    QTest::newRow("split") << "split:4:20@all" << true;
    QTest::newRow("exception every") << "exception:4@every=3" << true;
    QTest::newRow("unknown kind") << "explode@all" << false;
    QTest::newRow("no selector") << "drop" << false;
    QTest::newRow("nth zero") << "drop@nth=0" << false;
    QTest::newRow("reg with function 6") << "drop@reg=6:0x1000" << false;
    QTest::newRow("delay without ms") << "delay@all" << false;
    QTest::newRow("split without pause") << "split:4@all" << false;
    QTest::newRow("times zero") << "drop@all,times=0" << false;
    QTest::newRow("argument on drop") << "drop:3@all" << false;
    QTest::newRow("trailing junk") << "drop@all,times=2,x" << false;
}

void TestMetersimParts::faultRuleParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString error;
    const auto rule = FaultRule::parse(text, &error);
    QCOMPARE(rule.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
}

void TestMetersimParts::faultSelectorsAndTimes_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QList<int>>("hit"); // request numbers 1..8 that the rule hits

    QTest::newRow("nth") << "drop@nth=3" << QList<int>{3};
    QTest::newRow("every") << "drop@every=3" << QList<int>{3, 6};
    QTest::newRow("every, twice") << "drop@every=2,times=2" << QList<int>{2, 4};
    QTest::newRow("all, three times") << "drop@all,times=3" << QList<int>{1, 2, 3};
    // Requests alternate between 3:0x1000 (odd numbers) and 4:0x1080 (even).
    QTest::newRow("register") << "drop@reg=4:0x1080,times=2" << QList<int>{2, 4};
}

void TestMetersimParts::faultSelectorsAndTimes()
{
    QFETCH(QString, rule);
    QFETCH(QList<int>, hit);
    QString error;
    FaultRules rules;
    rules.add(*FaultRule::parse(rule, &error));
    QList<int> dropped;
    for (int n = 1; n <= 8; ++n) {
        const bool odd = n % 2 == 1;
        if (rules.match(n, odd ? 3 : 4, odd ? 0x1000 : 0x1080).drop)
            dropped << n;
    }
    QCOMPARE(dropped, hit);
}

QTEST_GUILESS_MAIN(TestMetersimParts)
#include "test_metersim_parts.moc"
