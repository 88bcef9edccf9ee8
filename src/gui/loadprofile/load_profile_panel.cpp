#include "gui/loadprofile/load_profile_panel.h"

#include "meter/register_map.h"

#include "gui/loadprofile/download_pace.h"
#include "gui/ui/back_color.h"
#include "gui/ui/caption.h"
#include "gui/ui/confirm_dialog.h"
#include "gui/ui/control_map.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "loadprofile/group_requests.h"
#include "lpdata/channel_codes.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QPlainTextEdit>

#include <vector>

namespace loadprofile {

namespace {

const QColor kInterruptedDownloadColor(0xFF, 0x80, 0x80);

// The controls that talk to the meter.
constexpr const char *kMeterControls[] = {
    "Command8",         "cmdStopLPRead",    "cmdReadLP2",       "cmbLPReadGroupSel1", "cmdLPNew",
    "cmdLoadProfileG1Set", "cmdLoadProfileG2Set", "Comm_Clr_G1_Data", "Comm_Clr_G2_Data",
};

struct GroupLayout {
    const char *settings;  // list array: 0 channel count, 1 interval, 2.. channel codes
    int maxChannels;
    const char *clearQuestion;
    QString defaultChannels;
    std::array<int, 12> defaultPositions; // of each channel's code in the offered list
};
const GroupLayout kGroups[meter::LpGroup::kCount] = {
    {"Combo_G1_Setting", 12, "Clear Group1 Data\uFF1F", QStringLiteral("8"),
     {0, 1, 2, 3, 4, 6, 8, 10, 5, 7, 9, 11}},
    {"Combo_G2_Setting", 8, "Clear Group2 Data\uFF1F", QStringLiteral("4"),
     {5, 11, 12, 13, 0, 1, 2, 3}},
};

} // namespace

LoadProfilePanel::LoadProfilePanel(session::MeterSession &session, DownloadPace &pace,
                                   const i18n::LanguageTexts &texts, const ui::ControlMap &controls, QObject *parent)
    : QObject(parent), session_(session), texts_(texts), controls_(controls)
{
    ui::onClicked(controls_, "cmdLPindexon", this, &LoadProfilePanel::cmdLPindexon_Click);
    ui::onClicked(controls_, "cmdLoadProfileG1Set", this, &LoadProfilePanel::cmdLoadProfileG1Set_Click);
    ui::onClicked(controls_, "cmdLoadProfileG2Set", this, &LoadProfilePanel::cmdLoadProfileG2Set_Click);
    ui::onClicked(controls_, "Comm_Clr_G1_Data", this, &LoadProfilePanel::Comm_Clr_G1_Data_Click);
    ui::onClicked(controls_, "Comm_Clr_G2_Data", this, &LoadProfilePanel::Comm_Clr_G2_Data_Click);
    connect(&session_.poll(), &session::PollCycle::layoutApplied, this, &LoadProfilePanel::layoutApplied);

    ui::setControlsEnabled(controls_, kMeterControls, session_.link().LinkOnline());
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &LoadProfilePanel::linkOnlineChanged);
    connect(&pace, &DownloadPace::interrupted, this, &LoadProfilePanel::markInterruptedDownload);
}

void LoadProfilePanel::linkOnlineChanged(bool online)
{
    controls_.require<QWidget>(QStringLiteral("cmdStopLPRead"))->hide();
    controls_.require<QWidget>(QStringLiteral("Command8"))->show();
    ui::setControlsEnabled(controls_, kMeterControls, online);
}

void LoadProfilePanel::markInterruptedDownload()
{
    ui::setBackColor(controls_.require<QWidget>(QStringLiteral("Command8")),
                 kInterruptedDownloadColor);
}

void LoadProfilePanel::cmdLPindexon_Click()
{
    ui::toggleShown(controls_.require<QWidget>(QStringLiteral("txtLPindex")),
                controls_.require<QWidget>(QStringLiteral("cmdLPindexon")), texts_.dataItem2,
                texts_.dataItem1);
}

void LoadProfilePanel::layoutApplied(bool rLayout)
{
    // The channel lists offer the THD codes only to meters whose register
    // layout has harmonics (panel 0); lists never stay empty once a
    // firmware has been read.
    const int offered = controls_.require<QComboBox>(QLatin1String(kGroups[0].settings), 2)->count();
    const int all = int(lpdata::offeredChannelCodes(true).size());
    const int withoutThd = int(lpdata::offeredChannelCodes(false).size());
    if (rLayout || session_.poll().displayBase() == 100) {
        if (offered != withoutThd)
            LPBuildSettingLists(false);
    } else if (offered != all) {
        LPBuildSettingLists(true);
    }
}

void LoadProfilePanel::LPBuildSettingLists(bool includeAll)
{
    const QStringList intervals{QStringLiteral("1"),  QStringLiteral("5"),  QStringLiteral("10"),
                                QStringLiteral("15"), QStringLiteral("30"), QStringLiteral("60")};
    const std::vector<int> codes = lpdata::offeredChannelCodes(includeAll);
    QStringList codeTexts;
    for (int code : codes)
        codeTexts << QString::number(code);
    for (const GroupLayout &group : kGroups) {
        const QStringList counts = ui::numberTexts(1, group.maxChannels);
        ui::fillList(controls_.require<QComboBox>(QLatin1String(group.settings), 0), counts,
                 int(counts.indexOf(group.defaultChannels)));
        ui::fillList(controls_.require<QComboBox>(QLatin1String(group.settings), 1), intervals,
                 int(intervals.indexOf(QStringLiteral("15"))));
        for (int c = 0; c < group.maxChannels; ++c)
            ui::fillList(controls_.require<QComboBox>(QLatin1String(group.settings), 2 + c), codeTexts,
                     group.defaultPositions[std::size_t(c)]);
    }
    const QStringList groups{QStringLiteral("1"), QStringLiteral("2")};
    for (const char *name : {"cmbLPReadGroupSel", "cmbLPReadGroupSel1"})
        ui::fillList(controls_.require<QComboBox>(QLatin1String(name)), groups, 0);
    for (const char *name : {"Combo_LP_Start_No", "Combo_LP_Stop_No"})
        ui::fillList(controls_.require<QComboBox>(QLatin1String(name)), {QStringLiteral("1")}, 0);
    for (int g = 0; g < 2; ++g)
        ui::setCaption(controls_.require<QWidget>(QStringLiteral("Text_Max_int_num"), g),
                   QStringLiteral("100"));
    ui::setCaption(controls_.require<QWidget>(QStringLiteral("txtLPindex")),
               lpdata::channelCodeListing(includeAll));
}

bool LoadProfilePanel::confirmed(const QString &question)
{
    return ui::Dialog_Clr_kWh::of(controls_.root()->window())
        ->ask(question, texts_.Set_Time_OK, texts_.Set_Time_NO);
}

void LoadProfilePanel::askAndRaiseGroupSetting(meter::LpGroup group)
{
    const GroupLayout &layout = kGroups[group.index()];
    const QString wanted = controls_.require<QComboBox>(QLatin1String(layout.settings), 0)->currentText();
    const QString current = QString::number(session_.reading().group(group).channels);
    // A new channel count makes the meter restart the group's records.
    if (wanted != current && !confirmed(texts_.LPF_war))
        return;

    std::vector<std::uint16_t> values;
    for (int element = 0; element < 2 + layout.maxChannels; ++element) {
        const QString text =
            controls_.require<QComboBox>(QLatin1String(layout.settings), element)->currentText();
        if (element == 1 && text == QLatin1String("30sec")) {
            values.push_back(meter::registers::kIntervalThirtySeconds);
            continue;
        }
        bool isNumber = false;
        const int value = text.trimmed().toInt(&isNumber);
        // An empty or foreign list entry is never written as a setting.
        if (!isNumber || value < 0 || value > 0xFFFF)
            return;
        values.push_back(std::uint16_t(value));
    }
    session_.request(loadprofile::groupSettingRequest(group, std::move(values)));
}

void LoadProfilePanel::askAndRaiseClear(meter::LpGroup group)
{
    if (confirmed(QString::fromUtf8(kGroups[group.index()].clearQuestion)))
        session_.request(loadprofile::clearGroupRequest(group));
}

} // namespace loadprofile
