#pragma once

#include "session/meter_request.h"

#include <QDateTime>
#include <QObject>

#include <functional>

namespace ui {
class ControlMap;
}
namespace ui {
class Messages;
}
class QComboBox;
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

namespace config {

// The handlers of the meter-settings page: the meter's Modbus address, baud
// rate, stop bits, wiring, PT and CT ratios in both forms, clock, energy
// reset and CO2 factor.
//
// No button talks to the meter: a press checks its input and hands the
// setting with its value to the meter session, whose poll cycle writes it
// after its reads. The set buttons work only while the link is online; the
// panel follows the link by itself, and the connection row follows a new
// address, rate or stop bits once the meter has taken it.
class SettingPanel : public QObject {
    Q_OBJECT
public:
    // The page must be built (see setting_pages.h) inside the window whose
    // connection row the address, baud-rate and stop-bit writes update.
    SettingPanel(session::MeterSession &session, const i18n::LanguageTexts &texts, ui::Messages &messages,
                 const ui::ControlMap &controls, QObject *parent = nullptr);

    void cmdModbusAddSet_Click();
    void cmdBaudRateSet_Click();
    void cmdStopBitSet_Click();
    void cmdWiringSet_Click();
    void cmdPTRatio1Set_Click();
    void cmdCTRatio1Set_Click();
    void cmdPTRatio2Set_Click();
    void cmdCTRatio2Set_Click();
    void cmdSetCO2_Click();
    void cmdTimeSet_Click();
    void cmdClrkWh_Click();

    // Checks of the typed boxes, run when a box loses the focus (so before
    // the click on a set button is handled). A rejected text is reported and
    // emptied; an empty box is left alone.
    void Combo_CT_Ratio_Validate();
    void Combo_PT_Ratio_Validate();
    void Combo_Modbus_add_Validate();
    // The connection's address: an accepted text becomes SlaveAddress.
    void Combo_Modbus_add_sel_Validate();

    // A setting of this kind waits for the poll cycle.
    bool pending(session::RequestKind kind) const;

    // The PC's clock, read when the clock request is served.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

private:
    void connectHandlers();
    void linkOnlineChanged(bool online);
    void connectionFollowed(const session::ConnectionChange &change);
    QComboBox *list(const char *name) const;
    QString text(const char *name) const;
    // Runs a check on a typed box; a rejected text is emptied and reported.
    bool check(const char *box, bool (*accepted)(const QString &), const QString &message);
    void showError(const QString &message);
    void requestFloatRatio(const char *primary, const char *secondary, bool pt);
    void selectConnectionAddress(int address);
    bool confirmed(const QString &question);

    session::MeterSession &session_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    const ui::ControlMap &controls_;
    bool checking_ = false;
};

} // namespace config
