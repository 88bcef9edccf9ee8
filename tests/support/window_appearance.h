#pragma once

#include "gui/ui/back_color.h"
#include "gui/ui/caption.h"

#include <QComboBox>
#include "gui/ui/control_map.h"
#include "gui/ui/lockable_combo_box.h"

#include <QStringList>
#include <QWidget>

namespace testsupport {

// What a technician sees of the link state, one "control: state" line per
// control, so that two appearances compare line by line.
inline QStringList linkAppearance(const ui::ControlMap &controls)
{
    static const char *const kNames[] = {
        "cmdOnLine", "txt_Online", "txt_Online_c", "Command8", "cmdStopLPRead",
        "Combo_CommPort", "Combo_BaudRate_Sel", "Combo_StopBit", "Combo_Modbus_add_sel",
        "IPAddress", "Combo_Port_Sel", "CommModbusModeChange", "cmdScanComPort",
        "Combo_Languages", "langCheck", "cmdSetCO2", "cmdModbusAddSet", "cmdBaudRateSet",
        "cmdPTRatio1Set", "cmdCTRatio1Set", "cmdDisplayItemSet", "cmdScrollTimeSet",
        "cmdTimeSet", "cmdLoadProfileG1Set", "cmdLoadProfileG2Set", "Comm_Clr_G1_Data",
        "Comm_Clr_G2_Data", "cmbLPReadGroupSel1", "cmdClrkWh", "cmdStopBitSet", "cmdWiringSet",
        "cmdPTRatio2Set", "cmdCTRatio2Set", "cmdReadLP2", "cmdPhaseShow(0)", "cmdPhaseShow(1)",
    };
    QStringList lines;
    for (const char *name : kNames) {
        const QWidget *control = controls.find(QLatin1String(name));
        if (!control) {
            lines << QStringLiteral("%1: missing").arg(QLatin1String(name));
            continue;
        }
        // A list's text is the user's choice, not part of the appearance;
        // whether a setting control is offered at all is the meter's
        // firmware's choice, kept until the next connection.
        const bool isList = qobject_cast<const QComboBox *>(control) != nullptr;
        static const QStringList kByFirmware{
            QStringLiteral("cmdPTRatio1Set"), QStringLiteral("cmdCTRatio1Set"),
            QStringLiteral("cmdPTRatio2Set"), QStringLiteral("cmdCTRatio2Set"),
            QStringLiteral("cmdDisplayItemSet")};
        const QString hidden = kByFirmware.contains(QLatin1String(name))
                                   ? QStringLiteral("-")
                                   : QString::number(control->isHidden());
        QString line = QStringLiteral("%1: caption=%2 colour=%3 enabled=%4 hidden=%5")
                           .arg(QLatin1String(name), isList ? QString() : ui::caption(control),
                                ui::backColor(control).name(), QString::number(control->isEnabled()),
                                hidden);
        if (auto *list = qobject_cast<const ui::LockableComboBox *>(control))
            line += QStringLiteral(" locked=%1").arg(list->isLocked());
        lines << line;
    }
    return lines;
}

} // namespace testsupport
