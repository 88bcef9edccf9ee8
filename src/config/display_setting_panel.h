#pragma once

#include "link/meter_writes.h"

#include <QObject>

class ControlMap;
class LinkState;
class PollCycle;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

// The handlers of the display-setting page: the item the meter's display
// shows at one sequence position, the scroll time, and the description of
// the item codes. The writes follow the request pattern of the meter
// settings (see SettingPanel); after a display-item write the poll cycle
// reads the whole sequence back.
class DisplaySettingPanel : public QObject {
    Q_OBJECT
public:
    // The page must be built (see setting_pages.h).
    DisplaySettingPanel(LinkState &link, modbus::Transactions &transactions, PollCycle &poll,
                        const i18n::LanguageTexts &texts, const ControlMap &controls,
                        QObject *parent = nullptr);

    void cmdDisplayItemSet_Click() { ReqSetDisplayItems = true; }
    void cmdScrollTimeSet_Click() { ReqSetScrollTime = true; }
    // Shows or hides the description of the item codes.
    void cmdDisplayindex_Click();

    void WriteDisplayItem();
    void WriteScrollTime();

    bool ReqSetDisplayItems = false;
    bool ReqSetScrollTime = false;

private:
    void linkOnlineChanged(bool online);

    const i18n::LanguageTexts &texts_;
    const ControlMap &controls_;
    MeterWrites writes_;
};
