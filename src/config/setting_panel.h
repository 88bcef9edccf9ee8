#pragma once

#include "link/meter_writes.h"

#include <QDateTime>
#include <QObject>

#include <functional>

class ControlMap;
class LinkState;
class Messages;
class PollCycle;
class QComboBox;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

// The handlers of the meter-settings page: the meter's Modbus address, baud
// rate, stop bits, wiring, PT and CT ratios in both forms, clock, energy
// reset and CO2 factor.
//
// No button talks to the meter: a press checks its input and raises a
// request flag; the poll cycle serves the flag after its reads and runs the
// write, which reads its input box at that moment. The set buttons work only
// while the link is online; the panel follows the link by itself.
class SettingPanel : public QObject {
    Q_OBJECT
public:
    // The page must be built (see setting_pages.h) inside the window whose
    // connection row the address, baud-rate and stop-bit writes update.
    SettingPanel(LinkState &link, modbus::Transactions &transactions, PollCycle &poll,
                 const i18n::LanguageTexts &texts, Messages &messages, const ControlMap &controls,
                 QObject *parent = nullptr);

    void cmdModbusAddSet_Click();
    void cmdBaudRateSet_Click() { ReqSetBaudRate = true; }
    void cmdStopBitSet_Click() { ReqSetStopBit = true; }
    void cmdWiringSet_Click() { ReqSetWiring = true; }
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

    // The writes, run by the poll cycle.
    void WriteModbusAddress();
    void WriteBaudRate();
    void WriteStopBit();
    void WriteWiring();
    void WritePTRatio();
    void WriteCTRatio();
    void WritePTRatioFloat();
    void WriteCTRatioFloat();
    void WriteCO2Factor();
    void SetMeterClock();
    void WriteClearEnergy();

    bool ReqSetModbusAddress = false;
    bool ReqSetBaudRate = false;
    bool ReqSetStopBit = false;
    bool ReqSetWiring = false;
    bool ReqSetPTRatio = false;
    bool ReqSetCTRatio = false;
    bool ReqSetPTRatioFloat = false;
    bool ReqSetCTRatioFloat = false;
    bool ReqSetCO2 = false;
    bool ReqSetClock = false;
    bool ReqClearEnergy = false;

    // The PC's clock, read when the clock request is served.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

private:
    void connectHandlers();
    void registerRequests(PollCycle &poll);
    void linkOnlineChanged(bool online);
    QComboBox *list(const char *name) const;
    QString text(const char *name) const;
    // Runs a check on a typed box; a rejected text is emptied and reported.
    bool check(const char *box, bool (*accepted)(const QString &), const QString &message);
    void showError(const QString &message);
    void raiseIfFloatRatio(const char *primary, const char *secondary, bool &flag);
    void writeFloatRatio(const char *primary, const char *secondary, int start);
    void selectConnectionAddress(int address);
    // Writes the list position + 1 of a setting and selects the same position
    // in the connection's list.
    void writeAndFollow(const char *setting, int start, const char *connection);
    bool confirmed(const QString &question);

    LinkState &link_;
    const i18n::LanguageTexts &texts_;
    Messages &messages_;
    const ControlMap &controls_;
    MeterWrites writes_;
    bool checking_ = false;
};
