#pragma once

#include "meter/lp_group.h"

#include <QObject>

namespace ui {
class ControlMap;
}
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

namespace loadprofile {

class DownloadPace;

// The handlers of the load-profile pages. Their buttons talk to the meter,
// so they work only while the link is online; the panel follows the link by
// itself. Each change of the link leaves the download's start button shown
// (not its stop button), and a download cut off by going offline marks the
// start button red.
//
// Group settings: the set and clear buttons hand requests to the meter
// session, whose poll cycle writes them; the lists of channel counts,
// intervals and channel codes are built once the firmware is known.
class LoadProfilePanel : public QObject {
    Q_OBJECT
public:
    // The pages must be built (see load_profile_pages.h).
    LoadProfilePanel(session::MeterSession &session, DownloadPace &pace,
                     const i18n::LanguageTexts &texts, const ui::ControlMap &controls, QObject *parent = nullptr);

    void cmdLPindexon_Click();
    void cmdLoadProfileG1Set_Click() { askAndRaiseGroupSetting(meter::LpGroup::first()); }
    void cmdLoadProfileG2Set_Click() { askAndRaiseGroupSetting(meter::LpGroup::second()); }
    void Comm_Clr_G1_Data_Click() { askAndRaiseClear(meter::LpGroup::first()); }
    void Comm_Clr_G2_Data_Click() { askAndRaiseClear(meter::LpGroup::second()); }

    // Fills the group, channel-count, interval and channel lists, and the
    // code listing; includeAll offers the THD codes as well.
    void LPBuildSettingLists(bool includeAll);

private:
    void linkOnlineChanged(bool online);
    void markInterruptedDownload();
    void layoutApplied(bool rLayout);
    void askAndRaiseGroupSetting(meter::LpGroup group);
    void askAndRaiseClear(meter::LpGroup group);
    bool confirmed(const QString &question);

    session::MeterSession &session_;
    const i18n::LanguageTexts &texts_;
    const ui::ControlMap &controls_;
};

} // namespace loadprofile
