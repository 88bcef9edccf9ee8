// The values the meter-setting writes send, the reading of typed numbers,
// and the display-item list read back from the meter.
#include "config/setting_values.h"
#include "config/typed_number.h"
#include "polling/display_items.h"
#include "polling/measurement_decoders.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>

#include <optional>
#include <vector>

using Register = std::optional<std::uint16_t>;
Q_DECLARE_METATYPE(Register)
Q_DECLARE_METATYPE(std::vector<int>)

class TestSettingValues : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void ratiosInRegisterForm_data();
    void ratiosInRegisterForm();
    void floatFormsRejectWhatCannotBeWritten_data();
    void floatFormsRejectWhatCannotBeWritten();
    void leadingNumber_data();
    void leadingNumber();
    void clockValues_data();
    void clockValues();
    void scrollTimes();
    void displayItemsListNamedPositions();
};

void TestSettingValues::ratiosInRegisterForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Register>("ptTenths");
    QTest::addColumn<Register>("ct");
    QTest::newRow("2.5") << "2.5" << Register(25) << Register(2);
    QTest::newRow("1.25 halves to even") << "1.25" << Register(12) << Register(1);
    QTest::newRow("6250 beyond a signed register") << "6250" << Register(62500)
                                                    << Register(6250);
    QTest::newRow("7000 beyond any register") << "7000" << Register() << Register(7000);
    QTest::newRow("not a number") << "abc" << Register() << Register();
    QTest::newRow("negative") << "-5" << Register() << Register();
}

void TestSettingValues::ratiosInRegisterForm()
{
    QFETCH(QString, text);
    QFETCH(Register, ptTenths);
    QFETCH(Register, ct);
    QCOMPARE(config::ptRatioTenths(text), ptTenths);
    QCOMPARE(config::ctRatioValue(text), ct);
}

void TestSettingValues::floatFormsRejectWhatCannotBeWritten_data()
{
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("secondary");
    QTest::addColumn<bool>("writable");
    QTest::newRow("11400 / 110") << "11400" << "110" << true;
    QTest::newRow("not a number") << "11400" << "abc" << false;
    QTest::newRow("zero divisor") << "5" << "0" << false;
    QTest::newRow("negative divisor") << "5" << "-5" << false;
    QTest::newRow("negative ratio") << "-5" << "5" << false;
    QTest::newRow("beyond a single") << "1e39" << "1" << false;
}

void TestSettingValues::floatFormsRejectWhatCannotBeWritten()
{
    QFETCH(QString, primary);
    QFETCH(QString, secondary);
    QFETCH(bool, writable);
    QCOMPARE(config::floatRatio(primary, secondary).has_value(), writable);
    QCOMPARE(config::co2Factor(primary).has_value(), primary != QLatin1String("1e39"));
}

void TestSettingValues::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "2400.5" << 2400.5;
    QTest::newRow("blanks inside") << " 1 2.5 " << 12.5;
    QTest::newRow("stops at a letter") << "25kV" << 25.0;
    QTest::newRow("exponent") << "1.5e2x" << 150.0;
    QTest::newRow("sign") << "-5" << -5.0;
    QTest::newRow("none") << "abc" << 0.0;
    QTest::newRow("bare point") << "." << 0.0;
}

void TestSettingValues::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(config::leadingNumber(text), value);
}

void TestSettingValues::clockValues_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<std::vector<int>>("values");
    QTest::newRow("Saturday") << QDateTime(QDate(2024, 3, 9), QTime(17, 5, 42))
                              << std::vector<int>{24, 3, 9, 17, 5, 42, 6};
    QTest::newRow("Sunday of 2000") << QDateTime(QDate(2000, 1, 2), QTime(0, 0, 0))
                                    << std::vector<int>{0, 1, 2, 0, 0, 0, 0};
}

void TestSettingValues::clockValues()
{
    QFETCH(QDateTime, time);
    QFETCH(std::vector<int>, values);
    const auto clock = config::meterClockValues(time);
    QCOMPARE(std::vector<int>(clock.begin(), clock.end()), values);
}

void TestSettingValues::scrollTimes()
{
    QCOMPARE(config::scrollTimeValue(QStringLiteral("3"), 0), std::uint16_t(3));
    QCOMPARE(config::scrollTimeValue(QStringLiteral("15"), 12), std::uint16_t(15));
    QCOMPARE(config::scrollTimeValue(QStringLiteral("Fixed"), 13), std::uint16_t(250));
}

void TestSettingValues::displayItemsListNamedPositions()
{
    std::vector<std::uint8_t> block(polling::kMainBlockBytes, 0);
    block[167] = 101;                // position 2
    block[163 + 2 * 50] = 139;       // position 50
    block[163 + 2 * 3] = 50;         // position 3: no name, no line
    QCOMPARE(polling::displayItemsText(block),
             QStringLiteral("Display Item  : \r\n2 : Vln_a(101)\r\n50 : kVAh(139)\r\n"));
    QVERIFY(polling::displayItemsText(std::span(block).first(100)).isEmpty());
}

QTEST_GUILESS_MAIN(TestSettingValues)
#include "test_setting_values.moc"
