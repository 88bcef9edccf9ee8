#include "config/setting_panel.h"

#include "link/link_state.h"
#include "ui/control_map.h"

namespace {

// The buttons that write to the meter.
constexpr const char *kSetButtons[] = {
    "cmdModbusAddSet", "cmdBaudRateSet",  "cmdStopBitSet",  "cmdWiringSet",
    "cmdPTRatio1Set",  "cmdCTRatio1Set",  "cmdPTRatio2Set", "cmdCTRatio2Set",
    "cmdTimeSet",      "cmdClrkWh",       "cmdDisplayItemSet", "cmdScrollTimeSet",
};

} // namespace

SettingPanel::SettingPanel(LinkState &link, const ControlMap &controls, QObject *parent)
    : QObject(parent), controls_(controls)
{
    linkOnlineChanged(link.LinkOnline());
    connect(&link, &LinkState::linkOnlineChanged, this, &SettingPanel::linkOnlineChanged);
}

void SettingPanel::linkOnlineChanged(bool online)
{
    setControlsEnabled(controls_, kSetButtons, online);
}
