#include "gui/meter/measurement_panel.h"
#include "gui/meter/reading_texts.h"
#include "gui/meter/reading_view.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/named_controls.h"
#include "measurement_pages.h"
#include "meter/measurement_decoders.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

using Bytes = std::vector<std::uint8_t>;

class TestMeasurementPanel : public QObject {
    Q_OBJECT
private slots:
    void everyDecodedControlExists_data();
    void everyDecodedControlExists();
    void harmonicOptionIsReadBack();
    void textsGoInTogetherAndWhenShown_data();
    void textsGoInTogetherAndWhenShown();
    void valueDisplaysLookAsTheStyleDrawsThem_data();
    void valueDisplaysLookAsTheStyleDrawsThem();
};

void TestMeasurementPanel::everyDecodedControlExists_data()
{
    QTest::addColumn<int>("base");
    QTest::newRow("panel 0") << 0;
    QTest::newRow("panel 1") << 100;
}

void TestMeasurementPanel::everyDecodedControlExists()
{
    QFETCH(int, base);
    QWidget root;
    testsupport::addMeasurementPages(&root);

    meter::ReadingView view(&root);
    const ui::ControlMap controls(&root);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("No control named")));

    Bytes block(meter::kMainBlockBytes, 0x41);
    view.apply(meter::DecodeMainBlock(block, base));
    std::array<QString, 5> totals;
    view.apply(meter::DecodePhaseEnergy(std::span(block).first(60), base, totals));
    view.apply(meter::decodeDemand(std::span(block).first(10)));
    view.apply(meter::decodeFrequency(std::span(block).first(4), base));
    view.apply(meter::decodeRatios(std::span(block).first(4)));
    view.apply(meter::decodeFloatRatios(std::span(block).first(8)));
    view.apply(meter::DecodeCO2(std::span(block).first(16)));
    if (base == 0) {
        std::array<double, 24> thd{};
        std::array<double, 32> harmonics{};
        view.apply(meter::DecodeTHD(std::span(block).first(96), thd));
        view.apply(meter::DecodeHarmonic(std::span(block).first(128), true, harmonics));
    }
    for (const char *name : {"cmdPhaseShow(0)", "cmdPhaseShow(1)", "txtFWver", "Command7(48)",
                             "Command7(211)", "lblFreq(1)", "txt_kWh(124)", "txt_Display_Item"})
        QVERIFY2(controls.find(QString::fromLatin1(name), -1), name);

    // The decoded text lands in the display of that name and index.
    const auto *va = root.findChild<QLineEdit *>(QStringLiteral("txt_V_N(%1)").arg(base));
    QVERIFY(va);
    QCOMPARE(va->text(), ui::caption(controls.find(QStringLiteral("txt_V_N"), base)));
    QVERIFY(!va->text().isEmpty());
    QVERIFY(va->isReadOnly());
}

void TestMeasurementPanel::harmonicOptionIsReadBack()
{
    QTabWidget tabs;
    meter::buildMeasurementPanel(&tabs, 0);
    const ui::ControlMap controls(&tabs);
    const auto checked = [&](int k) { return controls.require<QAbstractButton>(QStringLiteral("optHarmonic"), k)->isChecked(); };
    QVERIFY(checked(6));
    QVERIFY(!checked(2));
    controls.require<QAbstractButton>(QStringLiteral("optHarmonic"), 2)->click();
    QVERIFY(checked(2));
    QVERIFY(!checked(6));
}

void TestMeasurementPanel::textsGoInTogetherAndWhenShown_data()
{
    QTest::addColumn<bool>("windowShown");
    QTest::addColumn<QString>("control"); // txt_V_N(0) on the current tab, txt_kWh(0) on the next
    QTest::addColumn<bool>("batch");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("otherWriter"); // sets the control before its tab shows
    QTest::addColumn<QStringList>("changesBefore"); // before the batch ends and the tab shows
    QTest::addColumn<QStringList>("changesAfter"); // when the tab has shown
    const QString shown = QStringLiteral("txt_V_N(0)"), hidden = QStringLiteral("txt_kWh(0)");
    const QStringList both{"1", "2"}, last{"2"};
    QTest::newRow("at once") << true << shown << false << both << QString() << both << both;
    QTest::newRow("in a batch") << true << shown << true << both << QString() << QStringList() << last;
    QTest::newRow("hidden tab") << true << hidden << false << both << QString() << QStringList() << last;
    QTest::newRow("hidden tab, set since") << true << hidden << true << both << "9" << QStringList() << QStringList{"9"};
    QTest::newRow("hidden tab, back to its text") << true << hidden << false << QStringList{"1", "0"} << QString()
                                                 << QStringList() << QStringList();
    QTest::newRow("window not shown") << false << hidden << true << both << QString() << QStringList() << last;
}

void TestMeasurementPanel::textsGoInTogetherAndWhenShown()
{
    QFETCH(bool, windowShown);
    QFETCH(QString, control);
    QFETCH(bool, batch);
    QFETCH(QStringList, texts);
    QFETCH(QString, otherWriter);
    QFETCH(QStringList, changesBefore);
    QFETCH(QStringList, changesAfter);
    QTabWidget tabs;
    meter::buildMeasurementPanel(&tabs, 0);
    tabs.setVisible(windowShown);
    auto *edit = tabs.findChild<QLineEdit *>(control);
    edit->setText(QStringLiteral("0"));
    QStringList changes;
    connect(edit, &QLineEdit::textChanged, this, [&changes](const QString &text) { changes << text; });

    meter::ReadingView view(&tabs);
    if (batch)
        view.beginBatch();
    for (const QString &text : texts)
        view.apply({{control.section(u'(', 0, 0), 0, text}});
    QCOMPARE(changes, changesBefore);
    view.endBatch();
    if (!otherWriter.isEmpty())
        edit->setText(otherWriter);
    tabs.setCurrentIndex(1);
    QCOMPARE(changes, changesAfter);
}

void TestMeasurementPanel::valueDisplaysLookAsTheStyleDrawsThem_data()
{
    // In this order, so that a panel cached for the row before is not taken.
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("height");
    QTest::newRow("enabled") << true << 24;
    QTest::newRow("disabled") << false << 24;
    QTest::newRow("taller") << true << 30;
}

void TestMeasurementPanel::valueDisplaysLookAsTheStyleDrawsThem()
{
    QFETCH(bool, enabled);
    QFETCH(int, height);
    QWidget window;
    QLineEdit *cached = ui::makeValueDisplay(&window, QStringLiteral("cached"));
    QLineEdit *plain = ui::makeValueDisplay(&window, QStringLiteral("plain"));
    plain->setStyle(QApplication::style());
    for (QLineEdit *edit : {cached, plain}) {
        edit->setText(QStringLiteral("230.00000"));
        edit->setEnabled(enabled);
        edit->setFixedSize(120, height);
    }
    // The second time the panel comes from the cache.
    for (int round = 0; round < 2; ++round)
        QCOMPARE(cached->grab().toImage(), plain->grab().toImage());
}

QTEST_MAIN(TestMeasurementPanel)
#include "test_measurement_panel.moc"
