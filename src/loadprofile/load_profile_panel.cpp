#include "loadprofile/load_profile_panel.h"

#include "link/link_state.h"
#include "loadprofile/download_state.h"
#include "ui/back_color.h"
#include "ui/control_map.h"

namespace {

const QColor kInterruptedDownloadColor(0xFF, 0x80, 0x80);

// The controls that talk to the meter.
constexpr const char *kMeterControls[] = {
    "Command8",         "cmdStopLPRead",    "cmdReadLP2",       "cmbLPReadGroupSel1",
    "cmdLoadProfileG1Set", "cmdLoadProfileG2Set", "Comm_Clr_G1_Data", "Comm_Clr_G2_Data",
};

} // namespace

LoadProfilePanel::LoadProfilePanel(LinkState &link, DownloadState &download,
                                   const ControlMap &controls, QObject *parent)
    : QObject(parent), controls_(controls)
{
    setControlsEnabled(controls_, kMeterControls, link.LinkOnline());
    connect(&link, &LinkState::linkOnlineChanged, this, &LoadProfilePanel::linkOnlineChanged);
    connect(&download, &DownloadState::downloadInterrupted, this,
            &LoadProfilePanel::markInterruptedDownload);
}

void LoadProfilePanel::linkOnlineChanged(bool online)
{
    controls_.require<QWidget>(QStringLiteral("cmdStopLPRead"))->hide();
    controls_.require<QWidget>(QStringLiteral("Command8"))->show();
    setControlsEnabled(controls_, kMeterControls, online);
}

void LoadProfilePanel::markInterruptedDownload()
{
    setBackColor(controls_.require<QWidget>(QStringLiteral("Command8")),
                 kInterruptedDownloadColor);
}
