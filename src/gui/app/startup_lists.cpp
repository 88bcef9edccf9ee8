#include "gui/app/startup_lists.h"

#include "gui/links/connection_row.h"
#include "gui/ui/control_map.h"
#include "gui/ui/named_controls.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QStringList>

namespace app {

namespace {

constexpr int kDateFields = 5;

// Replaces a list's entries and selects one (see fillList).
void fillList(const ui::ControlMap &controls, const QString &name, const QStringList &items,
              int selected)
{
    ui::fillList(controls.require<QComboBox>(name), items, selected);
}

const char *const kDisplayItemDescription[] = {
    "1 : Meter ID 1", "2 : Meter ID 2", "3 : Date", "4 : Time", "5 : Modbus Slave Address",
    "6 : Modbus BaudRate", "7 : PT Ratio * CT Ratio", "8 : PT Ratio", "9 : CT Ratio",
    "10 : Kt", "12 : Modbus Stop Bit", "101 : Vln_a", "102 : Vln_b", "103 : Vln_c",
    "104 : Vln_avg", "105 : Vll_ab", "106 : Vll_bc", "107 : Vll_ca", "108 : Vll_avg",
    "109 : I_a", "110 : I_b", "111 : I_c", "112 : I_avg", "113 : kW_a", "114 : kW_b",
    "115 : kW_c", "116 : kW_total", "117 : kvar_a", "118 : kvar_b", "119 : kvar_c",
    "120 : kvar_total", "121 : kVA_a", "122 : kVA_b", "123 : kVA_c", "124 : kVA_total",
    "125 : PF_a", "126 : PF_b", "127 : PF_c", "128 : PF_avg", "129 : PhaseAngle_V_a",
    "130 : PhaseAngle_V_b", "131 : PhaseAngle_V_c", "132 : PhaseAngle_I_a",
    "133 : PhaseAngle_I_b", "134 : PhaseAngle_I_c", "135 : kWh_deliver", "136 : kWh_receiver",
    "137 : kvarh_lagging", "138 : kvarh_leading", "139 : kVAh",
};

void fillDateSelector(const ui::ControlMap &controls, const QString &name)
{
    // Year as two digits (2011 to 2030, "12" shown), month, day, hour, minute.
    const QStringList items[kDateFields] = {ui::numberTexts(11, 30), ui::numberTexts(1, 12), ui::numberTexts(1, 31),
                                            ui::numberTexts(0, 23), ui::numberTexts(0, 59)};
    for (int field = 0; field < kDateFields; ++field)
        fillList(controls, ui::controlName(name, field), items[field],
                 field == 0 ? items[0].indexOf(QStringLiteral("12")) : 0);
}

} // namespace

void fillStartupLists(const ui::ControlMap &controls)
{
    const QStringList addresses = ui::numberTexts(1, 247);
    const int address15 = addresses.indexOf(QStringLiteral("15"));

    fillList(controls, QStringLiteral("Combo_Modbus_BaudRate"),
             {QStringLiteral("9600"), QStringLiteral("19200")}, 1);
    fillList(controls, QStringLiteral("Combo_Modbus_add"), addresses, address15);
    links::fillConnectionLists(controls);

    QStringList displayItems = ui::numberTexts(0, 10);
    displayItems << QStringLiteral("12") << ui::numberTexts(101, 140);
    fillList(controls, QStringLiteral("Combo_Display_Item_sel"), displayItems,
             displayItems.indexOf(QStringLiteral("1")));

    fillList(controls, QStringLiteral("Combo_PT_Ratio"),
             {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("10")},
             0);
    fillList(controls, QStringLiteral("Combo_CT_Ratio"),
             {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("100"),
              QStringLiteral("200")},
             0);
    fillList(controls, QStringLiteral("Combo1"), ui::numberTexts(3, 15), 0);
    fillList(controls, QStringLiteral("Combo_Display_Ser_sel"), ui::numberTexts(1, 50), 0);
    fillList(controls, QStringLiteral("Combo_SetStopBit"), ui::numberTexts(1, 2), 0);
    fillList(controls, QStringLiteral("Combo_SetWiring"),
             {QStringLiteral("Auto"), QStringLiteral("1P2W"), QStringLiteral("1P3W"),
              QStringLiteral("3P3W 2CT"), QStringLiteral("3P3W 3CT"), QStringLiteral("3P4W")},
             0);

    QString description;
    for (const char *line : kDisplayItemDescription)
        description += QLatin1String(line) + QStringLiteral("\r\n");
    controls.require<QPlainTextEdit>(QStringLiteral("txtDisplayIndex"))->setPlainText(description);

    fillDateSelector(controls, QStringLiteral("cmbLPReadBeginTime"));
    fillDateSelector(controls, QStringLiteral("cmbLPReadEndTime"));
}

} // namespace app
