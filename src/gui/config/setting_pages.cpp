#include "gui/config/setting_pages.h"

#include "gui/ui/named_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace config {

namespace {

QLineEdit *makeText(QWidget *parent, const char *name, const char *text)
{
    auto *edit = ui::makeNamed<QLineEdit>(parent, name);
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
    addSettingRow(communication, ui::makeNamedList(page, QStringLiteral("Combo_Modbus_add"), 8, true),
                  ui::makeCommandButton(page, "cmdModbusAddSet", "Modbus Address Set"));
    addSettingRow(communication, ui::makeNamedList(page, QStringLiteral("Combo_Modbus_BaudRate"), 8, false),
                  ui::makeCommandButton(page, "cmdBaudRateSet", "BaudRate Set"));
    addSettingRow(communication, ui::makeNamedList(page, QStringLiteral("Combo_SetStopBit"), 8, false),
                  ui::makeCommandButton(page, "cmdStopBitSet", "Stop Bit Set"));
    addSettingRow(communication, ui::makeNamedList(page, QStringLiteral("Combo_SetWiring"), 8, false),
                  ui::makeCommandButton(page, "cmdWiringSet", "Wiring Set"));
    communication->setRowStretch(communication->rowCount(), 1);

    auto *ratios = new QVBoxLayout;
    auto *wholeRatios = new QGridLayout;
    addSettingRow(wholeRatios, ui::makeNamedList(page, QStringLiteral("Combo_PT_Ratio"), 8, true),
                  ui::makeCommandButton(page, "cmdPTRatio1Set", "PT Ratio Set"));
    addSettingRow(wholeRatios, ui::makeNamedList(page, QStringLiteral("Combo_CT_Ratio"), 8, true),
                  ui::makeCommandButton(page, "cmdCTRatio1Set", "CT Ratio Set"));
    auto *floatFrame = ui::makeNamed<QGroupBox>(page, QStringLiteral("frmCTPTSetting"));
    floatFrame->setTitle(QStringLiteral("PT / CT Ratio (primary / secondary)"));
    auto *floatRatios = new QGridLayout(floatFrame);
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtPT1", "110"),
                     makeText(floatFrame, "txtPT2", "110"),
                     ui::makeCommandButton(floatFrame, "cmdPTRatio2Set", "PT Ratio Set"));
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtCT1", "5"),
                     makeText(floatFrame, "txtCT2", "5"),
                     ui::makeCommandButton(floatFrame, "cmdCTRatio2Set", "CT Ratio Set"));
    ratios->addLayout(wholeRatios);
    ratios->addWidget(floatFrame);
    ratios->addStretch();

    auto *meter = new QGridLayout;
    meter->addWidget(ui::makeCommandButton(page, "cmdTimeSet", "Sync Meter Clock to PC"), 0, 0, 1, 2);
    meter->addWidget(ui::makeCommandButton(page, "cmdClrkWh", "Clear Energy (kWh)"), 1, 0, 1, 2);
    auto *co2 = ui::makeNamed<QLineEdit>(page, QStringLiteral("txt_set_CO2"));
    co2->setMaximumWidth(90);
    addSettingRow(meter, co2, ui::makeCommandButton(page, "cmdSetCO2", "CO2 Factor Set"));
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
    auto *frame = ui::makeNamed<QGroupBox>(page, QStringLiteral("Frame5"));
    frame->setTitle(QStringLiteral("Display Setting"));
    auto *grid = new QGridLayout(frame);

    auto *sequenceLabel = ui::makeNamed<QLabel>(frame, QStringLiteral("lblSequency"));
    sequenceLabel->setText(QStringLiteral("Sequence"));
    auto *itemLabel = ui::makeNamed<QLabel>(frame, QStringLiteral("lblItem"));
    itemLabel->setText(QStringLiteral("Item"));
    grid->addWidget(sequenceLabel, 0, 0);
    grid->addWidget(ui::makeNamedList(frame, QStringLiteral("Combo_Display_Ser_sel"), 8, false), 0, 1);
    grid->addWidget(itemLabel, 0, 2);
    grid->addWidget(ui::makeNamedList(frame, QStringLiteral("Combo_Display_Item_sel"), 8, false), 0, 3);
    grid->addWidget(ui::makeCommandButton(frame, "cmdDisplayItemSet", "Display Item Set"), 0, 4);

    auto *scrollLabel = ui::makeNamed<QLabel>(frame, QStringLiteral("lblScrollTime"));
    scrollLabel->setText(QStringLiteral("Scroll Time (s)"));
    grid->addWidget(scrollLabel, 1, 0);
    grid->addWidget(ui::makeNamedList(frame, QStringLiteral("Combo1"), 8, false), 1, 1);
    grid->addWidget(ui::makeCommandButton(frame, "cmdScrollTimeSet", "Scroll Time Set"), 1, 4);
    grid->addWidget(ui::makeCommandButton(frame, "cmdDisplayindex", "Item List"), 2, 4);
    grid->setRowStretch(3, 1);

    auto *description = ui::makeNamed<QPlainTextEdit>(page, QStringLiteral("txtDisplayIndex"));
    description->setReadOnly(true);
    description->setMinimumWidth(220);
    description->hide();

    layout->addWidget(frame);
    layout->addWidget(description);
    layout->addStretch();
}

} // namespace config
