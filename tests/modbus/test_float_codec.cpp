#include "modbus/float_codec.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

using modbus::FloatBytes;

Q_DECLARE_METATYPE(FloatBytes)

namespace {

FloatBytes bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return {a, b, c, d};
}

// Received order of the register pair that holds the single f.
FloatBytes receivedOrder(float f)
{
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
    return {std::uint8_t(bits >> 8), std::uint8_t(bits), std::uint8_t(bits >> 24),
            std::uint8_t(bits >> 16)};
}

} // namespace

class TestFloatCodec : public QObject {
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void decodeIsExactForFiniteSingles();
    void encode_data();
    void encode();
    void encodeTruncatesTowardZero();
    void registerOrder();
};

void TestFloatCodec::decode_data()
{
    QTest::addColumn<FloatBytes>("received");
    QTest::addColumn<double>("value");
    QTest::newRow("1.0") << bytes(0x00, 0x00, 0x3F, 0x80) << 1.0;
    QTest::newRow("-1.0") << bytes(0x00, 0x00, 0xBF, 0x80) << -1.0;
    QTest::newRow("200.0 low word first") << bytes(0x00, 0x00, 0x43, 0x48) << 200.0;
    QTest::newRow("infinity decodes to 1") << bytes(0x00, 0x00, 0x7F, 0x80) << 1.0;
    QTest::newRow("negative infinity to -1") << bytes(0x00, 0x00, 0xFF, 0x80) << -1.0;
    QTest::newRow("NaN decodes to 0") << bytes(0x00, 0x01, 0x7F, 0x80) << 0.0;
    QTest::newRow("zero") << bytes(0, 0, 0, 0) << 0.0;
    QTest::newRow("smallest subnormal") << bytes(0x00, 0x01, 0x00, 0x00) << std::ldexp(1.0, -149);
    QTest::newRow("largest finite") << bytes(0xFF, 0xFF, 0x7F, 0x7F)
                                    << double(std::numeric_limits<float>::max());
}

void TestFloatCodec::decode()
{
    QFETCH(FloatBytes, received);
    QFETCH(double, value);
    QCOMPARE(modbus::Trans_4Bytes_to_Float(received), value);
}

void TestFloatCodec::decodeIsExactForFiniteSingles()
{
    // Walk the whole exponent range with assorted mantissas, both signs.
    for (std::uint32_t exponent = 0; exponent < 255; ++exponent) {
        for (std::uint32_t mantissa : {0u, 1u, 0x400000u, 0x7FFFFFu, 0x123456u}) {
            for (std::uint32_t sign : {0u, 1u}) {
                const float f = std::bit_cast<float>((sign << 31) | (exponent << 23) | mantissa);
                QCOMPARE(modbus::Trans_4Bytes_to_Float(receivedOrder(f)), double(f));
            }
        }
    }
}

void TestFloatCodec::encode_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<FloatBytes>("expected");
    QTest::newRow("1.0") << 1.0 << bytes(0x3F, 0x80, 0x00, 0x00);
    QTest::newRow("-2.5") << -2.5 << bytes(0xC0, 0x20, 0x00, 0x00);
    QTest::newRow("0") << 0.0 << bytes(0, 0, 0, 0);
    QTest::newRow("0.1 truncated, not rounded") << 0.1 << bytes(0x3D, 0xCC, 0xCC, 0xCC);
    QTest::newRow("4.0e38 overflows to infinity") << 4.0e38 << bytes(0x7F, 0x80, 0x00, 0x00);
    QTest::newRow("-4.0e38") << -4.0e38 << bytes(0xFF, 0x80, 0x00, 0x00);
    QTest::newRow("huge double") << 1.0e300 << bytes(0x7F, 0x80, 0x00, 0x00);
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity()
                              << bytes(0x7F, 0x80, 0x00, 0x00);
    QTest::newRow("NaN encodes as zero") << std::numeric_limits<double>::quiet_NaN()
                                         << bytes(0, 0, 0, 0);
    QTest::newRow("subnormal 1e-40") << 1.0e-40 << bytes(0x00, 0x01, 0x16, 0xC2);
    QTest::newRow("smallest normal") << std::ldexp(1.0, -126) << bytes(0x00, 0x80, 0x00, 0x00);
    QTest::newRow("below smallest subnormal") << 1.0e-50 << bytes(0, 0, 0, 0);
    QTest::newRow("0.5") << 0.5 << bytes(0x3F, 0x00, 0x00, 0x00);
    QTest::newRow("PT 11400/110") << 11400.0 / 110.0 << bytes(0x42, 0xCF, 0x45, 0xD1);
}

void TestFloatCodec::encode()
{
    QFETCH(double, value);
    QFETCH(FloatBytes, expected);
    QCOMPARE(modbus::Trans_Float_to_4Bytes(value), expected);
}

void TestFloatCodec::encodeTruncatesTowardZero()
{
    // Every encoded magnitude is the nearest single at or below the input,
    // so decoding never gives more than was asked for.
    for (double x : {0.1, 0.2, 1.0 / 3.0, 103.63636363636364, 230.123456789, 1.0e-39, 3.0e38}) {
        const FloatBytes f = modbus::Trans_Float_to_4Bytes(x);
        const FloatBytes received{f[2], f[3], f[0], f[1]};
        const double back = modbus::Trans_4Bytes_to_Float(received);
        QVERIFY2(back <= x, qPrintable(QString::number(x)));
        QVERIFY(back >= double(std::nextafter(float(x), 0.0f)) || back == double(float(x)));
    }
}

void TestFloatCodec::registerOrder()
{
    const auto data = modbus::floatToRegisterBytes(0.5);
    QCOMPARE(FloatBytes(data), bytes(0x00, 0x00, 0x3F, 0x00));
}

QTEST_GUILESS_MAIN(TestFloatCodec)
#include "test_float_codec.moc"
