// The simulated meter's stream parsing, fault rules, record stamps and
// noise, checked without a process.

#include "fault_rules.h"
#include "load_profile.h"
#include "meter_model.h"
#include "register_addresses.h"
#include "rtu_framer.h"
#include "wire_codec.h"

#include <cmath>

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
    void recordStamps_data();
    void recordStamps();
    void noiseStaysAroundTheValues();
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
    QTest::newRow("unit after times") << "drop@nth=1,times=2,unit=3" << true;
    QTest::newRow("unit before times") << "delay:5@all,unit=250,times=1" << true;
    QTest::newRow("unit 0") << "drop@all,unit=0" << false;
    QTest::newRow("unit twice") << "drop@all,unit=2,unit=3" << false;
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
    // The requests go to unit 15.
    QTest::newRow("aimed at the unit") << "drop@every=4,unit=15" << QList<int>{4, 8};
    QTest::newRow("aimed at another unit") << "drop@all,unit=16" << QList<int>{};
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
        if (rules.match(15, n, odd ? 3 : 4, odd ? 0x1000 : 0x1080).drop)
            dropped << n;
    }
    QCOMPARE(dropped, hit);
}

void TestMetersimParts::recordStamps_data()
{
    QTest::addColumn<QList<StampShift>>("shifts");
    QTest::addColumn<QList<int>>("records");
    QTest::addColumn<QList<int>>("minutes"); // each record's stamp after the start, 15-minute records

    const QList<int> around60{59, 60, 67, 68};
    QTest::newRow("even") << QList<StampShift>{} << around60 << QList<int>{870, 885, 990, 1005};
    // Records 60..67 carry the stamps of 52..59 again.
    QTest::newRow("clock set back") << QList<StampShift>{{60, -120}} << around60 << QList<int>{870, 765, 870, 885};
    QTest::newRow("power-off gap") << QList<StampShift>{{60, 600}} << around60 << QList<int>{870, 1485, 1590, 1605};
    QTest::newRow("one record out of order") << QList<StampShift>{{30, 60}, {31, -60}} << QList<int>{29, 30, 31}
                                             << QList<int>{420, 495, 450};
}

void TestMetersimParts::recordStamps()
{
    QFETCH(QList<StampShift>, shifts);
    QFETCH(QList<int>, records);
    QFETCH(QList<int>, minutes);
    LoadProfileGroup group;
    group.shifts = shifts;
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC);
    QList<int> seen;
    for (int number : records)
        seen << int(start.secsTo(loadprofile::recordStamp(group, start, number)) / 60);
    QCOMPARE(seen, minutes);
}

namespace {

// The floats of input registers start.. in one read.
QList<float> floatsRead(MeterModel &model, quint16 start, int floats)
{
    QList<quint16> words;
    model.read(RegisterKind::Input, start, static_cast<quint16>(2 * floats), words);
    QList<float> values;
    for (qsizetype i = 0; i + 1 < words.size(); i += 2)
        values << registersToFloat(words[i], words[i + 1]);
    return values;
}

constexpr int kMeasurements = (reg::kCurrentAngle + 6 - reg::kFrequency) / 2;

} // namespace

void TestMetersimParts::noiseStaysAroundTheValues()
{
    const QList<float> stored = floatsRead(*std::make_unique<MeterModel>(MeterConfig{}), reg::kFrequency, kMeasurements);
    MeterConfig noisy;
    noisy.noisePercent = 2;
    noisy.noiseSeed = 42;
    MeterModel first(noisy);
    MeterModel again(noisy);
    QVERIFY(first.write(reg::kClearEnergy, {reg::kClearEnergyValue}) == MeterModel::Outcome::Ok);
    const int angles = (reg::kVoltageAngle - reg::kFrequency) / 2;
    QList<float> previous;
    QList<float> energy = floatsRead(first, reg::kEnergyTotals, 5);
    for (int read = 0; read < 20; ++read) {
        const QList<float> values = floatsRead(first, reg::kFrequency, kMeasurements);
        QCOMPARE(floatsRead(again, reg::kFrequency, kMeasurements), values); // same seed, same draws
        QVERIFY(values != previous);
        for (qsizetype i = 0; i < values.size(); ++i) {
            // Angles move by up to 0.02 rad, wrapping at 360; the rest by up to 2 %.
            const double limit = i >= angles ? 0.02 * 180 / M_PI : 0.02 * std::abs(stored[i]);
            const double off = std::remainder(double(values[i]) - stored[i], i >= angles ? 360.0 : 1e9);
            QVERIFY2(std::abs(off) <= limit * 1.0001, qPrintable(QStringLiteral("%1: %2").arg(i).arg(values[i])));
        }
        QCOMPARE(values[angles], 0.0F); // the reference angle
        previous = values;
        // The energy counters never go back.
        QTest::qWait(5);
        const QList<float> now = floatsRead(first, reg::kEnergyTotals, 5);
        for (int q = 0; q < 5; ++q)
            QVERIFY(now[q] >= energy[q]);
        energy = now;
    }
    // 30 degrees lagging: delivered, lagging and kVAh grow; received and leading stay 0.
    QVERIFY(energy[0] > 0 && energy[2] > 0 && energy[4] > energy[0]);
    QCOMPARE(energy[1] + energy[3], 0.0F);
}

QTEST_GUILESS_MAIN(TestMetersimParts)
#include "test_metersim_parts.moc"
