#pragma once

#include "link/meter_writes.h"

#include <QObject>

class ControlMap;
class DownloadState;
class LinkState;
class PollCycle;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

// The handlers of the load-profile pages. Their buttons talk to the meter,
// so they work only while the link is online; the panel follows the link by
// itself. Each change of the link leaves the download's start button shown
// (not its stop button), and a download cut off by going offline marks the
// start button red.
//
// Group settings: the set and clear buttons raise requests that the poll
// cycle serves (rows 9 to 12 of its request service); the lists of channel
// counts, intervals and channel codes are built once the firmware is known.
class LoadProfilePanel : public QObject {
    Q_OBJECT
public:
    // The pages must be built (see load_profile_pages.h).
    LoadProfilePanel(LinkState &link, DownloadState &download, modbus::Transactions &transactions,
                     PollCycle &poll, const i18n::LanguageTexts &texts, const ControlMap &controls,
                     QObject *parent = nullptr);

    void cmdLPindexon_Click();
    void cmdLoadProfileG1Set_Click() { askAndRaiseGroupSetting(0); }
    void cmdLoadProfileG2Set_Click() { askAndRaiseGroupSetting(1); }
    void Comm_Clr_G1_Data_Click() { askAndRaiseClear(0); }
    void Comm_Clr_G2_Data_Click() { askAndRaiseClear(1); }

    // Fills the group, channel-count, interval and channel lists, and the
    // code listing; includeAll offers the THD codes as well.
    void LPBuildSettingLists(bool includeAll);
    void LPWriteGroupSetting(int group);
    void LPClearGroup(int group);

    bool ReqLPSetG1 = false;
    bool ReqLPSetG2 = false;
    bool ReqLPClearG1 = false;
    bool ReqLPClearG2 = false;

private:
    void linkOnlineChanged(bool online);
    void markInterruptedDownload();
    void layoutApplied(bool rLayout);
    void askAndRaiseGroupSetting(int group);
    void askAndRaiseClear(int group);
    bool confirmed(const QString &question);

    PollCycle &poll_;
    const i18n::LanguageTexts &texts_;
    const ControlMap &controls_;
    MeterWrites writes_;
};
