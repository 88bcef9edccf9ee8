// The values the meter-setting writes send, the reading of typed numbers,
// and the display-item list read back from the meter.
#include "config/setting_values.h"
#include "config/typed_number.h"
#include "meter/display_items.h"
#include "meter/measurement_decoders.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>

#include <optional>
#include <vector>

using Register = std::optional<std::uint16_t>;
Q_DECLARE_METATYPE(Register)

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
    void clockOfSundayInTheYear2000AndFixedScrollTime();
    void displayItemsListNamedPositions();
};

void TestSettingValues::ratiosInRegisterForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Register>("ptTenths");
    QTest::addColumn<Register>("ct");
    // 2.5, 1.25 and 6250 are written to the simulated meter in test_settings_with_meter.
    QTest::newRow("0.25 halves to even") << "0.25" << Register(2) << Register(0);
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

void TestSettingValues::clockOfSundayInTheYear2000AndFixedScrollTime()
{
    // A Saturday of 2024 is written to the simulated meter in test_settings_with_meter.
    const auto clock = config::meterClockValues(QDateTime(QDate(2000, 1, 2), QTime(0, 0, 0)));
    QCOMPARE(std::vector<int>(clock.begin(), clock.end()), (std::vector<int>{0, 1, 2, 0, 0, 0, 0}));
    // The simulated meter's firmware offers no "Fixed"; the scroll list of 3..15 is tested there.
    QCOMPARE(config::scrollTimeValue(QStringLiteral("Fixed"), 13), std::uint16_t(250));
}

void TestSettingValues::displayItemsListNamedPositions()
{
    std::vector<std::uint8_t> block(meter::kMainBlockBytes, 0);
    block[167] = 101;                // position 2
    block[163 + 2 * 50] = 139;       // position 50
    block[163 + 2 * 3] = 50;         // position 3: no name, no line
    QCOMPARE(meter::displayItemsText(block),
             QStringLiteral("Display Item  : \r\n2 : Vln_a(101)\r\n50 : kVAh(139)\r\n"));
    QVERIFY(meter::displayItemsText(std::span(block).first(100)).isEmpty());
}

QTEST_GUILESS_MAIN(TestSettingValues)
#include "test_setting_values.moc"
