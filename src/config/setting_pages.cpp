#include "config/setting_pages.h"

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

template <class T>
T *make(QWidget *parent, const QString &name)
{
    auto *control = new T(parent);
    control->setObjectName(name);
    return control;
}

QComboBox *makeList(QWidget *parent, const char *name, bool editable)
{
    auto *list = make<QComboBox>(parent, QLatin1String(name));
    list->setEditable(editable);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(8);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return list;
}

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = make<QPushButton>(parent, QLatin1String(name));
    button->setText(QLatin1String(caption));
    button->setMinimumWidth(150);
    return button;
}

QLineEdit *makeText(QWidget *parent, const char *name, const char *text)
{
    auto *edit = make<QLineEdit>(parent, QLatin1String(name));
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
    addSettingRow(communication, makeList(page, "Combo_Modbus_add", true),
                  makeButton(page, "cmdModbusAddSet", "Modbus Address Set"));
    addSettingRow(communication, makeList(page, "Combo_Modbus_BaudRate", false),
                  makeButton(page, "cmdBaudRateSet", "BaudRate Set"));
    addSettingRow(communication, makeList(page, "Combo_SetStopBit", false),
                  makeButton(page, "cmdStopBitSet", "Stop Bit Set"));
    addSettingRow(communication, makeList(page, "Combo_SetWiring", false),
                  makeButton(page, "cmdWiringSet", "Wiring Set"));
    communication->setRowStretch(communication->rowCount(), 1);

    auto *ratios = new QVBoxLayout;
    auto *wholeRatios = new QGridLayout;
    addSettingRow(wholeRatios, makeList(page, "Combo_PT_Ratio", true),
                  makeButton(page, "cmdPTRatio1Set", "PT Ratio Set"));
    addSettingRow(wholeRatios, makeList(page, "Combo_CT_Ratio", true),
                  makeButton(page, "cmdCTRatio1Set", "CT Ratio Set"));
    auto *floatFrame = make<QGroupBox>(page, QStringLiteral("frmCTPTSetting"));
    floatFrame->setTitle(QStringLiteral("PT / CT Ratio (primary / secondary)"));
    auto *floatRatios = new QGridLayout(floatFrame);
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtPT1", "110"),
                     makeText(floatFrame, "txtPT2", "110"),
                     makeButton(floatFrame, "cmdPTRatio2Set", "PT Ratio Set"));
    addFloatRatioRow(floatRatios, makeText(floatFrame, "txtCT1", "5"),
                     makeText(floatFrame, "txtCT2", "5"),
                     makeButton(floatFrame, "cmdCTRatio2Set", "CT Ratio Set"));
    ratios->addLayout(wholeRatios);
    ratios->addWidget(floatFrame);
    ratios->addStretch();

    auto *meter = new QGridLayout;
    meter->addWidget(makeButton(page, "cmdTimeSet", "Sync Meter Clock to PC"), 0, 0, 1, 2);
    meter->addWidget(makeButton(page, "cmdClrkWh", "Clear Energy (kWh)"), 1, 0, 1, 2);
    auto *co2 = make<QLineEdit>(page, QStringLiteral("txt_set_CO2"));
    co2->setMaximumWidth(90);
    addSettingRow(meter, co2, makeButton(page, "cmdSetCO2", "CO2 Factor Set"));
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
    auto *frame = make<QGroupBox>(page, QStringLiteral("Frame5"));
    frame->setTitle(QStringLiteral("Display Setting"));
    auto *grid = new QGridLayout(frame);

    auto *sequenceLabel = make<QLabel>(frame, QStringLiteral("lblSequency"));
    sequenceLabel->setText(QStringLiteral("Sequence"));
    auto *itemLabel = make<QLabel>(frame, QStringLiteral("lblItem"));
    itemLabel->setText(QStringLiteral("Item"));
    grid->addWidget(sequenceLabel, 0, 0);
    grid->addWidget(makeList(frame, "Combo_Display_Ser_sel", false), 0, 1);
    grid->addWidget(itemLabel, 0, 2);
    grid->addWidget(makeList(frame, "Combo_Display_Item_sel", false), 0, 3);
    grid->addWidget(makeButton(frame, "cmdDisplayItemSet", "Display Item Set"), 0, 4);

    auto *scrollLabel = make<QLabel>(frame, QStringLiteral("lblScrollTime"));
    scrollLabel->setText(QStringLiteral("Scroll Time (s)"));
    grid->addWidget(scrollLabel, 1, 0);
    grid->addWidget(makeList(frame, "Combo1", false), 1, 1);
    grid->addWidget(makeButton(frame, "cmdScrollTimeSet", "Scroll Time Set"), 1, 4);
    grid->addWidget(makeButton(frame, "cmdDisplayindex", "Item List"), 2, 4);
    grid->setRowStretch(3, 1);

    auto *description = make<QPlainTextEdit>(page, QStringLiteral("txtDisplayIndex"));
    description->setReadOnly(true);
    description->setMinimumWidth(220);
    description->hide();

    layout->addWidget(frame);
    layout->addWidget(description);
    layout->addStretch();
}
