#include "loadprofile/load_profile_panel.h"

#include "link/link_state.h"
#include "i18n/language_texts.h"
#include "loadprofile/download_state.h"
#include "ui/back_color.h"
#include "ui/caption.h"
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
                                   const i18n::LanguageTexts &texts, const ControlMap &controls,
                                   QObject *parent)
    : QObject(parent), texts_(texts), controls_(controls)
{
    onClicked(controls_, "cmdLPindexon", this, &LoadProfilePanel::cmdLPindexon_Click);
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

void LoadProfilePanel::cmdLPindexon_Click()
{
    QWidget *description = controls_.require<QWidget>(QStringLiteral("txtLPindex"));
    const bool show = description->isHidden();
    description->setVisible(show);
    setCaption(controls_.require<QWidget>(QStringLiteral("cmdLPindexon")),
               show ? texts_.dataItem2 : texts_.dataItem1);
}
