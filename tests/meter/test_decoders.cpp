#include "gui/meter/reading_texts.h"
#include "meter/firmware_layout.h"
#include "meter/lp_status.h"
#include "meter/measurement_decoders.h"
#include "meter/quantities.h"
#include "meter/value_format.h"

#include <QLocale>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)
using meter::TextUpdate;
using meter::TextUpdates;


namespace {

void putFloat(Bytes &b, std::size_t offset, float value)
{
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    b[offset] = std::uint8_t(bits >> 8);
    b[offset + 1] = std::uint8_t(bits);
    b[offset + 2] = std::uint8_t(bits >> 24);
    b[offset + 3] = std::uint8_t(bits >> 16);
}

QString find(const TextUpdates &updates, const char *control, int index)
{
    for (const TextUpdate &u : updates)
        if (u.control == QLatin1String(control) && u.index == index)
            return u.text;
    return QStringLiteral("<absent>");
}

Bytes mainBlock()
{
    Bytes b(meter::kMainBlockBytes, 0);
    putFloat(b, 340, 230.0f);   // Va
    putFloat(b, 352, 229.5f);   // V average
    putFloat(b, 356, 398.4f);   // Vab
    putFloat(b, 372, 5.25f);    // Ia
    putFloat(b, 388, 0.5f);     // kW a
    putFloat(b, 400, -1.5f);    // kW total
    putFloat(b, 436, 0.866f);   // PF a
    putFloat(b, 456, 240.0f);   // angle Vb
    putFloat(b, 472, 90.0f);    // angle Ic
    putFloat(b, 496, 12345.678f); // kVAh
    b[71] = 24; b[73] = 3; b[75] = 5; b[77] = 9; b[79] = 5; b[81] = 3;
    const char serial[] = "AWMETER012345678";
    for (int i = 0; i < 16; ++i)
        b[std::size_t(324 + i)] = std::uint8_t(serial[i]);
    b[477] = 5;
    b[479] = 2;
    return b;
}

} // namespace

class TestDecoders : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void formatting_data();
    void formatting();
    void mainBlockFillsEveryRowAtItsIndexes_data();
    void mainBlockFillsEveryRowAtItsIndexes();
    void mainBlockIdentityTexts();
    void wiringAndPhaseCodes_data();
    void wiringAndPhaseCodes();
    void shortBlocksAreNotDecoded();
    void phaseEnergyIndexesAndTotalsCopy();
    void smallBlocks();
    void thdShowsSixOfEachGroup();
    void typedValues_data();
    void typedValues();
    void catalogueIdsAreUniqueAndFound();
    void firmwareNumber_data();
    void firmwareNumber();
    void panelChoice_data();
    void panelChoice();
    void loadProfileStatus_data();
    void loadProfileStatus();
    void lpGroupNumbering_data();
    void lpGroupNumbering();
};

void TestDecoders::formatting_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("kW") << "C" << 0.5 << 7 << "0.5000000";
    QTest::newRow("voltage") << "C" << 230.0 << 5 << "230.00000";
    QTest::newRow("frequency rounds up") << "C" << double(59.996f) << 2 << "60.00";
    QTest::newRow("PT tenths") << "C" << 123.4 << 1 << "123.4";
    QTest::newRow("no thousands separator") << "en_US" << 12345.678 << 1 << "12345.7";
    QTest::newRow("locale decimal comma") << "de_DE" << 230.0 << 5 << "230,00000";
    QTest::newRow("negative") << "C" << -1.5 << 2 << "-1.50";
    QTest::newRow("negative zero") << "C" << -0.0 << 4 << "0.0000";
    QTest::newRow("tiny negative rounds to zero") << "C" << -0.00001 << 2 << "0.00";
    QTest::newRow("largest single") << "C" << 3.4028234663852886e38 << 0
                                    << "340282346638528859811704183484516925440";
    // Halves exactly representable in binary round away from zero.
    QTest::newRow("half up") << "C" << 0.125 << 2 << "0.13";
    QTest::newRow("half of a negative") << "C" << -2.5 << 0 << "-3";
    // What a meter may send that is no number.
    QTest::newRow("NaN") << "C" << std::numeric_limits<double>::quiet_NaN() << 5 << "nan";
    QTest::newRow("infinity") << "C" << std::numeric_limits<double>::infinity() << 5 << "inf";
    QTest::newRow("negative infinity") << "C" << -std::numeric_limits<double>::infinity() << 2 << "-inf";
}

void TestDecoders::formatting()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(meter::formatFixed(value, decimals), text);
}

void TestDecoders::mainBlockFillsEveryRowAtItsIndexes_data()
{
    QTest::addColumn<int>("base");
    QTest::newRow("panel 0") << 0;
    QTest::newRow("panel 1") << 100;
}

void TestDecoders::mainBlockFillsEveryRowAtItsIndexes()
{
    QFETCH(int, base);
    const TextUpdates u = meter::DecodeMainBlock(mainBlock(), base);
    QCOMPARE(find(u, "txt_V_N", base), QStringLiteral("230.00000"));
    QCOMPARE(find(u, "txt_V_N", base + 3), QStringLiteral("229.50000"));
    QCOMPARE(find(u, "txt_V_B", base), QStringLiteral("398.39999"));
    QCOMPARE(find(u, "txt_I_Result", base), QStringLiteral("5.25000"));
    QCOMPARE(find(u, "txt_W_Result", base), QStringLiteral("0.5000000"));
    QCOMPARE(find(u, "txt_W_Result", base + 3), QStringLiteral("-1.5000000"));
    QCOMPARE(find(u, "txt_PF_Result", base), QStringLiteral("0.86600"));
    QCOMPARE(find(u, "txt_V_Angle", base + 1), QStringLiteral("240.00000"));
    QCOMPARE(find(u, "txt_V_Angle", base + 3), QStringLiteral("<absent>"));
    QCOMPARE(find(u, "txt_I_Angle", base + 2), QStringLiteral("90.00000"));
    QCOMPARE(find(u, "txt_kWh", base + 4), QStringLiteral("12345.6777"));
    QCOMPARE(find(u, "txt_kWh", base + 5), QStringLiteral("<absent>"));
    // 4 x 7 rows of four, two angle rows of three, five energy totals, clock,
    // serial, wiring, phase sequence.
    QCOMPARE(u.size(), std::size_t(7 * 4 + 2 * 3 + 5 + 4));
}

void TestDecoders::mainBlockIdentityTexts()
{
    const TextUpdates u = meter::DecodeMainBlock(mainBlock(), 0);
    QCOMPARE(find(u, "Text5", -1), QStringLiteral("2024/3/5  9:5:3"));
    QCOMPARE(find(u, "txtMeterSerial", -1), QStringLiteral("AWMETER012345678"));
    QCOMPARE(find(u, "txt_Wiring", -1), QStringLiteral("3P4W"));
    QCOMPARE(find(u, "txt_Phasor", -1), QStringLiteral("CBA"));

    const auto typed = meter::mainBlockValues(mainBlock());
    QVERIFY(typed);
    QCOMPARE(typed->identity.serial, QStringLiteral("AWMETER012345678"));
    QCOMPARE(typed->identity.clock->dateTime(), QDateTime(QDate(2024, 3, 5), QTime(9, 5, 3)));
    QCOMPARE(typed->identity.wiringCode, 5u);
    QCOMPARE(typed->identity.phaseSequenceCode, 2u);

    Bytes b = mainBlock();
    b[73] = 13; // month 13: shown as it comes, no date and time
    QCOMPARE(find(meter::DecodeMainBlock(b, 0), "Text5", -1), QStringLiteral("2024/13/5  9:5:3"));
    QVERIFY(!meter::mainBlockValues(b)->identity.clock->dateTime());
    b[324] = 0x01;
    b[339] = 0;
    QCOMPARE(find(meter::DecodeMainBlock(b, 0), "txtMeterSerial", -1),
             QStringLiteral("?WMETER01234567"));
}

void TestDecoders::wiringAndPhaseCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("wiring");
    QTest::addColumn<QString>("phase");
    QTest::newRow("0") << 0 << "none" << "none";
    QTest::newRow("1") << 1 << "1P2W" << "ABC";
    QTest::newRow("2") << 2 << "1P3W" << "CBA";
    QTest::newRow("3") << 3 << "3P3W  2CT" << "error";
    QTest::newRow("4") << 4 << "3P3W  3CT" << "error";
    QTest::newRow("7") << 7 << "<absent>" << "error";
}

void TestDecoders::wiringAndPhaseCodes()
{
    QFETCH(int, code);
    QFETCH(QString, wiring);
    QFETCH(QString, phase);
    Bytes b = mainBlock();
    b[477] = std::uint8_t(code);
    b[479] = std::uint8_t(code);
    const TextUpdates u = meter::DecodeMainBlock(b, 0);
    QCOMPARE(find(u, "txt_Wiring", -1), wiring);
    QCOMPARE(find(u, "txt_Phasor", -1), phase);
}

void TestDecoders::shortBlocksAreNotDecoded()
{
    const Bytes b = mainBlock();
    QVERIFY(meter::DecodeMainBlock(std::span(b).first(519), 0).empty());
    QVERIFY(meter::DecodePhaseEnergy(std::span(b).first(59), 0, {}).empty());
    QVERIFY(meter::decodeDemand(std::span(b).first(9)).empty());
    QVERIFY(meter::decodeFrequency(std::span(b).first(3), 0).empty());
    QVERIFY(meter::decodeRatios(std::span(b).first(1)).empty());
    QVERIFY(meter::decodeFloatRatios(std::span(b).first(7)).empty());
    QVERIFY(meter::DecodeCO2(std::span(b).first(15)).empty());
}

void TestDecoders::phaseEnergyIndexesAndTotalsCopy()
{
    Bytes b(60, 0);
    putFloat(b, 12 * 1 + 4 * 2, 7.5f);  // kWh received, phase c
    putFloat(b, 12 * 4 + 4 * 0, 1.25f); // kVAh, phase a
    const std::array<QString, 5> totals{"1", "2", "3", "4", "5"};
    const TextUpdates u = meter::DecodePhaseEnergy(b, 100, totals);
    QCOMPARE(find(u, "txt_kWh", 100 + 5 + 5 * 2 + 1), QStringLiteral("7.5000"));
    QCOMPARE(find(u, "txt_kWh", 100 + 5 + 5 * 0 + 4), QStringLiteral("1.2500"));
    QCOMPARE(find(u, "txt_kWh", 120), QStringLiteral("1"));
    QCOMPARE(find(u, "txt_kWh", 124), QStringLiteral("5"));
    QCOMPARE(u.size(), std::size_t(20));
}

void TestDecoders::smallBlocks()
{
    Bytes demand(10, 0);
    demand[0] = 0x01;
    demand[1] = 0x02;
    putFloat(demand, 2, 12.5f);
    putFloat(demand, 6, -3.0f);
    const TextUpdates d = meter::decodeDemand(demand);
    QCOMPARE(find(d, "txt_Dmd", 6), QStringLiteral("258"));
    QCOMPARE(find(d, "txt_Dmd", 0), QStringLiteral("12.50000"));
    QCOMPARE(find(d, "txt_Dmd", 1), QStringLiteral("-3.00000"));

    const Bytes ratios{0x04, 0xD2, 0xFF, 0xFF};
    const TextUpdates r = meter::decodeRatios(ratios);
    QCOMPARE(find(r, "txt_PTRatio", -1), QStringLiteral("123.4"));
    QCOMPARE(find(r, "txt_CTRatio", -1), QStringLiteral("65535.0"));

    Bytes co2(16, 0);
    putFloat(co2, 4, 0.5f);
    putFloat(co2, 12, 0.000123f);
    const TextUpdates c = meter::DecodeCO2(co2);
    QCOMPARE(find(c, "txtCO2_out", -1), QStringLiteral("0.5000"));
    QCOMPARE(find(c, "txtCO2", -1), QStringLiteral("0.000123"));
}

void TestDecoders::thdShowsSixOfEachGroup()
{
    Bytes b(96, 0);
    putFloat(b, 4 * 8, 3.5f);  // first value of the second group
    putFloat(b, 4 * 6, 9.0f);  // not shown
    std::array<double, 24> table{};
    const TextUpdates u = meter::DecodeTHD(b, table);
    QCOMPARE(u.size(), std::size_t(18));
    QCOMPARE(find(u, "txtTHD", 6), QStringLiteral("3.50000"));
    QCOMPARE(table[6], 9.0);
}

void TestDecoders::typedValues_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QList<int>>("quantities"); // as the decoder gives them, in order
    QTest::addColumn<QList<double>>("values");  // NaN: not checked
    const double any = std::numeric_limits<double>::quiet_NaN();
    Bytes demand(10, 0);
    demand[1] = 90;
    putFloat(demand, 6, 12.5f);
    QTest::newRow("demand") << "demand" << demand
                            << QList<int>{meter::DemandTimeLeft, meter::DemandKw, meter::DemandMaxKw}
                            << QList<double>{90, 0, 12.5};
    QTest::newRow("demand short") << "demand" << Bytes(9, 0) << QList<int>{} << QList<double>{};
    Bytes frequency(4, 0);
    putFloat(frequency, 0, 59.96f);
    QTest::newRow("frequency") << "frequency" << frequency << QList<int>{meter::Frequency}
                               << QList<double>{double(59.96f)};
    QTest::newRow("ratios") << "ratios" << Bytes{0x04, 0xD2, 0x00, 0x05}
                            << QList<int>{meter::PtRatio, meter::CtRatio} << QList<double>{123.4, 5};
    Bytes floatRatios(8, 0);
    putFloat(floatRatios, 4, 2.5f);
    QTest::newRow("float ratios") << "floatRatios" << floatRatios
                                  << QList<int>{meter::PtRatioFloat, meter::CtRatioFloat} << QList<double>{0, 2.5};
    Bytes co2(16, 0);
    putFloat(co2, 4, 7.0f);
    putFloat(co2, 12, 0.5f);
    QTest::newRow("CO2") << "co2" << co2 << QList<int>{meter::Co2Emission, meter::Co2Factor}
                         << QList<double>{7, 0.5};
    Bytes phases(60, 0);
    putFloat(phases, 12 * 1 + 4 * 2, 7.5f); // kWh received, phase c
    QList<int> phaseIds;
    QList<double> phaseValues;
    for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 5; ++q) {
            phaseIds << meter::PhaseEnergyA + 5 * p + q;
            phaseValues << (p == 2 && q == 1 ? 7.5 : 0);
        }
    QTest::newRow("phase energy") << "phaseEnergy" << phases << phaseIds << phaseValues;
    Bytes thd(96, 0);
    putFloat(thd, 4 * 8, 3.5f);
    QList<int> thdIds;
    for (int i = 0; i < 18; ++i)
        thdIds << meter::Thd + i;
    QList<double> thdValues(18, 0);
    thdValues[6] = 3.5; // group 2, first value
    QTest::newRow("THD, six of eight") << "thd" << thd << thdIds << thdValues;
    QList<int> mainIds;
    for (auto [first, count] : {std::pair{meter::CurrentA, 4}, {meter::KwA, 4}, {meter::KvarA, 4},
                                {meter::KvaA, 4}, {meter::AngleVA, 3}, {meter::AngleIA, 3},
                                {meter::PfA, 4}, {meter::VoltageLnA, 4}, {meter::VoltageLlAb, 4},
                                {meter::KwhDelivered, 5}})
        for (int i = 0; i < count; ++i)
            mainIds << first + i;
    QList<double> mainValues(mainIds.size(), any);
    mainValues[mainIds.indexOf(meter::VoltageLnA)] = 230;
    mainValues[mainIds.indexOf(meter::KwTotal)] = -1.5;
    mainValues[mainIds.indexOf(meter::AngleIC)] = 90;
    mainValues[mainIds.indexOf(meter::Kvah)] = double(12345.678f);
    QTest::newRow("main block") << "main" << mainBlock() << mainIds << mainValues;
}

void TestDecoders::typedValues()
{
    QFETCH(QString, block);
    QFETCH(Bytes, bytes);
    QFETCH(QList<int>, quantities);
    QFETCH(QList<double>, values);
    std::optional<meter::Samples> samples;
    if (block == "demand") samples = meter::demandValues(bytes);
    if (block == "frequency") samples = meter::frequencyValues(bytes);
    if (block == "ratios") samples = meter::ratioValues(bytes);
    if (block == "floatRatios") samples = meter::floatRatioValues(bytes);
    if (block == "co2") samples = meter::co2Values(bytes);
    if (block == "phaseEnergy") samples = meter::phaseEnergyValues(bytes);
    if (block == "thd" && meter::thdValues(bytes)) samples = meter::thdSamples(*meter::thdValues(bytes));
    if (block == "main" && meter::mainBlockValues(bytes)) samples = meter::mainBlockValues(bytes)->samples;
    QCOMPARE(samples.has_value(), !quantities.isEmpty());
    if (!samples)
        return;
    QCOMPARE(qsizetype(samples->size()), quantities.size());
    for (qsizetype i = 0; i < quantities.size(); ++i) {
        QCOMPARE(int((*samples)[std::size_t(i)].quantity), quantities[i]);
        if (!std::isnan(values[i]))
            QCOMPARE((*samples)[std::size_t(i)].value, values[i]);
    }
}

void TestDecoders::catalogueIdsAreUniqueAndFound()
{
    QSet<QString> ids;
    for (int q = 0; q < meter::kQuantityCount; ++q) {
        const meter::Quantity &quantity = meter::quantity(meter::Q(q));
        QVERIFY2(!ids.contains(quantity.id), qPrintable(quantity.id));
        ids.insert(quantity.id);
        QCOMPARE(meter::findQuantity(quantity.id), std::optional(meter::Q(q)));
    }
    QCOMPARE(meter::findQuantity(QStringLiteral("frequency")), std::optional(meter::Frequency));
    QVERIFY(!meter::findQuantity(QStringLiteral("txt_V_N")));
    QCOMPARE(meter::quantity(meter::KwhReceived).id, QStringLiteral("kwh_received"));
    QCOMPARE(meter::quantity(meter::Q(meter::PhaseEnergyC + 4)).id, QStringLiteral("kvah_c"));
}

void TestDecoders::firmwareNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("rLayout");
    QTest::addColumn<QString>("shown");
    QTest::newRow("2605") << QByteArray("V2605A01") << 2605 << false << "V2605A01";
    QTest::newRow("R layout") << QByteArray("R2650B00") << 2650 << true << "R2650B00";
    QTest::newRow("letters") << QByteArray("Vab12C00") << 0 << false << "Vab12C00";
    QTest::newRow("blanks around") << QByteArray("V 260 X0") << 260 << false << "V 260 X0";
    QTest::newRow("half rounds to even") << QByteArray("V 2.5 00") << 2 << false << "V 2.5 00";
    QTest::newRow("too large for 16 bits") << QByteArray("V9e99000") << 0 << false << "V9e99000";
    QTest::newRow("zero bytes") << QByteArray::fromHex("5600000000303030") << 0 << false << "V000";
}

void TestDecoders::firmwareNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(int, number);
    QFETCH(bool, rLayout);
    QFETCH(QString, shown);
    const Bytes bytes(text.begin(), text.end());
    const meter::FirmwareInfo info = meter::decodeFirmware(bytes);
    QCOMPARE(info.number, number);
    QCOMPARE(info.rLayout, rLayout);
    QCOMPARE(info.text, shown);
}

void TestDecoders::panelChoice_data()
{
    // What a firmware text makes of the window: panel (0/100), THD and
    // harmonic pages, load-profile pages (- left as they are), ratio form,
    // display-item controls, "Fixed", "30sec", CO2 on panel 0.
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<QString>("layout");
    const auto row = [](const char *firmware, const char *layout) {
        QTest::newRow(firmware) << QByteArray(firmware) << QString::fromLatin1(layout);
    };
    row("V2405A00", "100 thd0 lp- whole items1 fixed0 30s0 co20");
    row("V2406A00", "100 thd0 lp- float items1 fixed0 30s0 co20");
    row("V2499A00", "100 thd0 lp- float items1 fixed0 30s0 co20");
    row("V2500A00", "100 thd0 lp- whole items1 fixed0 30s0 co20");
    row("V2503A00", "100 thd0 lp- whole items1 fixed0 30s0 co20");
    row("V2504A00", "100 thd0 lp- float items1 fixed0 30s0 co20");
    row("V2599A00", "100 thd0 lp- float items1 fixed0 30s0 co20");
    row("V2600A00", "100 thd0 lp- whole items1 fixed0 30s0 co20");
    row("V2601A00", "0 thd1 lp1 float items1 fixed0 30s0 co20");
    row("V2604A00", "0 thd1 lp1 float items1 fixed0 30s0 co21");
    row("V2605A00", "0 thd1 lp1 float items1 fixed0 30s1 co21");
    row("V2999A00", "0 thd1 lp1 float items1 fixed0 30s1 co21");
    row("V3000A00", "0 thd1 lp1 float items1 fixed0 30s0 co20");
    row("V3604A00", "0 thd1 lp1 float items1 fixed0 30s0 co21");
    row("V3605A00", "0 thd1 lp1 float items1 fixed1 30s1 co21");
    row("V3700A00", "0 thd1 lp1 float items1 fixed1 30s1 co21");
    row("V3999A00", "0 thd1 lp1 float items1 fixed1 30s1 co21");
    row("V4000A00", "0 thd1 lp1 float items1 fixed0 30s0 co20");
    row("V5899A00", "0 thd1 lp1 float items1 fixed0 30s0 co20");
    row("V5900A00", "0 thd0 lp0 float items1 fixed0 30s0 co20");
    row("R3700A00", "100 thd0 lp- float-set items0 fixed0 30s0 co20");
    row("VABCDA00", "100 thd0 lp- whole items1 fixed0 30s0 co20"); // no number: 0
}

void TestDecoders::panelChoice()
{
    QFETCH(QByteArray, firmware);
    QFETCH(QString, layout);
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(firmware.constData()), 8);
    const meter::FirmwareInfo info = meter::decodeFirmware(bytes);
    const meter::PanelChoice c =
        info.rLayout ? meter::rFirmwarePanel() : meter::firmwarePanel(info.number);
    const auto flag = [](const std::optional<bool> &value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    const char *ratios = c.ratios == meter::RatioForm::Whole   ? "whole"
                         : c.ratios == meter::RatioForm::Float ? "float"
                                                                 : "float-set";
    const bool co2 = c.displayBase == 0 && meter::firmwareHasCO2(info.number);
    QCOMPARE(QStringLiteral("%1 thd%2 lp%3 %4 items%5 fixed%6 30s%7 co2%8")
                 .arg(c.displayBase)
                 .arg(flag(c.thdPages), flag(c.profilePages), QLatin1String(ratios))
                 .arg(c.displayItemControls)
                 .arg(c.fixedScrollTime)
                 .arg(c.thirtySecondInterval)
                 .arg(co2),
             layout);
}

void TestDecoders::loadProfileStatus_data()
{
    QTest::addColumn<int>("channels1");
    QTest::addColumn<int>("interval1");
    QTest::addColumn<int>("channels2");
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<QString>("capacity1");
    QTest::addColumn<QString>("capacity2");
    QTest::newRow("12 and 8 channels") << 12 << 15 << 8 << "15" << "7200" << "6800";
    QTest::newRow("30 s, group 2 with 9") << 1 << 230 << 9 << "30 sec" << "39000" << "<absent>";
    QTest::newRow("no channels") << 0 << 1 << 0 << "1" << "<absent>" << "<absent>";
}

void TestDecoders::loadProfileStatus()
{
    QFETCH(int, channels1);
    QFETCH(int, interval1);
    QFETCH(int, channels2);
    QFETCH(QString, intervalText);
    QFETCH(QString, capacity1);
    QFETCH(QString, capacity2);
    Bytes block(meter::kMainBlockBytes, 0);
    block[2 * 0x34 + 1] = std::uint8_t(channels1);
    block[2 * 0x35 + 1] = std::uint8_t(interval1);
    block[2 * 0x43 + 1] = std::uint8_t(channels2);
    block[2 * 0x36 + 11 * 2] = 0x01; // group 1, channel 12: code 256 + 2
    block[2 * 0x36 + 11 * 2 + 1] = 0x02;
    const TextUpdates updates = meter::DecodeLPStatus(block);
    QCOMPARE(find(updates, "Text_LP_Data_Counter", 0), QString::number(channels1));
    QCOMPARE(find(updates, "txtLPInterval", 0), intervalText);
    QCOMPARE(find(updates, "Text_LP_G1_Data", 11), QStringLiteral("258"));
    // A capacity is shown only for a channel count the group can have.
    QCOMPARE(find(updates, "Text_Max_int_num", 0), capacity1);
    QCOMPARE(find(updates, "Text_Max_int_num", 1), capacity2);
    QVERIFY(meter::DecodeLPStatus(std::span(block).first(519)).empty());
}

// The user's numbers 1 and 2 and the indexes 0 and 1 name the same groups,
// and nothing else names a group.
void TestDecoders::lpGroupNumbering_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("index"); // -1: no group
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("2") << 2 << 1;
    QTest::newRow("3") << 3 << -1;
    QTest::newRow("-1") << -1 << -1;
}

void TestDecoders::lpGroupNumbering()
{
    QFETCH(int, number);
    QFETCH(int, index);
    const std::optional<meter::LpGroup> group = meter::LpGroup::fromNumber(number);
    QCOMPARE(group.has_value(), index >= 0);
    QVERIFY(meter::LpGroup::fromRow(number - 1) == group);
    if (!group)
        return;
    QCOMPARE(group->number(), number);
    QCOMPARE(int(group->index()), index);
    QVERIFY(meter::LpGroup::atIndex(group->index()) == *group);
    meter::Reading reading;
    reading.lpGroups[std::size_t(index)].channels = 7;
    QCOMPARE(reading.group(*group).channels, 7u);
}

QTEST_GUILESS_MAIN(TestDecoders)
#include "test_decoders.moc"
