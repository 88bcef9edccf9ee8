#include "config/setting_pages.h"

#include "ui/named_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *makeText(QWidget *parent, const char *name, const char *text)
{
    auto *edit = makeNamed<QLineEdit>(parent, name);
    edit->setText(QLatin1String(text));
    edit->setMaximumWidth(90);
    return edit;
}

// One row of an input and its set button.
void addSettingRow(QGridLayout *grid, QWidget *input, QPushButton *button)
{
    const int row = grid->rowCount();
    grid->addWidget(input, row, 0);
    grid->addWidget(button, row, 1);
}

// A primary/secondary ratio: "primary / secondary  [set]".
void addFloatRatioRow(QGridLayout *grid, QLineEdit *primary, QLineEdit *secondary,
                      QPushButton *button)
{
    const int row = grid->rowCount();
    auto *pair = new QHBoxLayout;
    pair->addWidget(primary);
    pair->addWidget(new QLabel(QStringLiteral("/"), primary->parentWidget()));
    pair->addWidget(secondary);
    grid->addLayout(pair, row, 0);
    grid->addWidget(button, row, 1);
}

} // namespace

void buildMeterSettingsPage(QWidget *page)
{
    auto *columns = new QHBoxLayout(page);

    auto *communication = new QGridLayout;
    addSettingRow(communication, makeNamedList(page, QStringLiteral("Combo_Modbus_add"), 8, true),
                  makeCommandButton(page, "cmdModbusAddSet", "Modbus Address Set"));
    addSettingRow(communication, makeNamedList(page, QStringLiteral("Combo_Modbus_BaudRate"), 8, false),
                  makeCommandButton(page, "cmdBaudRateSet", "BaudRate Set"));
    addSettingRow(communication, makeNamedList(page, QStringLiteral("Combo_SetStopBit"), 8, false),
                  makeCommandButton(page, "cmdStopBitSet", "Stop Bit Set"));
    addSettingRow(communication, makeNamedList(page, QStringLiteral("Combo_SetWiring"), 8, false),
                  makeCommandButton(page, "cmdWiringSet", "Wiring Set"));
    communication->setRowStretch(communication->rowCount(), 1);

    auto *ratios = new QVBoxLayout;
    auto *wholeRatios = new QGridLayout;
    addSettingRow(wholeRatios, makeNamedList(page, QStringLiteral("Combo_PT_Ratio"), 8, true),
                  makeCommandButton(page, "cmdPTRatio1Set", "PT Ratio Set"));
    addSettingRow(wholeRatios, makeNamedList(page, QStringLiteral("Combo_CT_Ratio"), 8, true),
                  makeCommandButton(page, "cmdCTRatio1Set", "CT Ratio Set"));
    auto *floatFrame = makeNamed<QGroupBox>(page, QStringLiteral("frmCTPTSetting"));
    floatFrame->setTitle(QStringLiteral("PT / CT Ratio (primary / secondary)"));
    auto *floatRatios = new QGridLayout(floatFrame);
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtPT1", "110"),
                     makeText(floatFrame, "txtPT2", "110"),
                     makeCommandButton(floatFrame, "cmdPTRatio2Set", "PT Ratio Set"));
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtCT1", "5"),
                     makeText(floatFrame, "txtCT2", "5"),
                     makeCommandButton(floatFrame, "cmdCTRatio2Set", "CT Ratio Set"));
    ratios->addLayout(wholeRatios);
    ratios->addWidget(floatFrame);
    ratios->addStretch();

    auto *meter = new QGridLayout;
    meter->addWidget(makeCommandButton(page, "cmdTimeSet", "Sync Meter Clock to PC"), 0, 0, 1, 2);
    meter->addWidget(makeCommandButton(page, "cmdClrkWh", "Clear Energy (kWh)"), 1, 0, 1, 2);
    auto *co2 = makeNamed<QLineEdit>(page, QStringLiteral("txt_set_CO2"));
    co2->setMaximumWidth(90);
    addSettingRow(meter, co2, makeCommandButton(page, "cmdSetCO2", "CO2 Factor Set"));
    meter->setRowStretch(meter->rowCount(), 1);

    columns->addLayout(communication);
    columns->addSpacing(16);
    columns->addLayout(ratios);
    columns->addSpacing(16);
    columns->addLayout(meter);
    columns->addStretch();
}

void buildDisplaySettingsPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    auto *frame = makeNamed<QGroupBox>(page, QStringLiteral("Frame5"));
    frame->setTitle(QStringLiteral("Display Setting"));
    auto *grid = new QGridLayout(frame);

    auto *sequenceLabel = makeNamed<QLabel>(frame, QStringLiteral("lblSequency"));
    sequenceLabel->setText(QStringLiteral("Sequence"));
    auto *itemLabel = makeNamed<QLabel>(frame, QStringLiteral("lblItem"));
    itemLabel->setText(QStringLiteral("Item"));
    grid->addWidget(sequenceLabel, 0, 0);
    grid->addWidget(makeNamedList(frame, QStringLiteral("Combo_Display_Ser_sel"), 8, false), 0, 1);
    grid->addWidget(itemLabel, 0, 2);
    grid->addWidget(makeNamedList(frame, QStringLiteral("Combo_Display_Item_sel"), 8, false), 0, 3);
    grid->addWidget(makeCommandButton(frame, "cmdDisplayItemSet", "Display Item Set"), 0, 4);

    auto *scrollLabel = makeNamed<QLabel>(frame, QStringLiteral("lblScrollTime"));
    scrollLabel->setText(QStringLiteral("Scroll Time (s)"));
    grid->addWidget(scrollLabel, 1, 0);
    grid->addWidget(makeNamedList(frame, QStringLiteral("Combo1"), 8, false), 1, 1);
    grid->addWidget(makeCommandButton(frame, "cmdScrollTimeSet", "Scroll Time Set"), 1, 4);
    grid->addWidget(makeCommandButton(frame, "cmdDisplayindex", "Item List"), 2, 4);
    grid->setRowStretch(3, 1);

    auto *description = makeNamed<QPlainTextEdit>(page, QStringLiteral("txtDisplayIndex"));
    description->setReadOnly(true);
    description->setMinimumWidth(220);
    description->hide();

    layout->addWidget(frame);
    layout->addWidget(description);
    layout->addStretch();
}
