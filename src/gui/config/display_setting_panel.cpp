#include "gui/config/display_setting_panel.h"

#include "config/setting_requests.h"
#include "config/setting_values.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "i18n/language_texts.h"
#include "meter/display_items.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QPushButton>

namespace config {

namespace {

constexpr const char *kSetButtons[] = {"cmdDisplayItemSet", "cmdScrollTimeSet"};

} // namespace

DisplaySettingPanel::DisplaySettingPanel(session::MeterSession &session, const i18n::LanguageTexts &texts,
                                         const ui::ControlMap &controls, QObject *parent)
    : QObject(parent), session_(session), texts_(texts), controls_(controls)
{
    ui::onClicked(controls_, "cmdDisplayItemSet", this, &DisplaySettingPanel::cmdDisplayItemSet_Click);
    ui::onClicked(controls_, "cmdScrollTimeSet", this, &DisplaySettingPanel::cmdScrollTimeSet_Click);
    ui::onClicked(controls_, "cmdDisplayindex", this, &DisplaySettingPanel::cmdDisplayindex_Click);
    linkOnlineChanged(session_.link().LinkOnline());
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &DisplaySettingPanel::linkOnlineChanged);
}

void DisplaySettingPanel::linkOnlineChanged(bool online)
{
    ui::setControlsEnabled(controls_, kSetButtons, online);
}

void DisplaySettingPanel::cmdDisplayindex_Click()
{
    ui::toggleShown(controls_.require<QWidget>(QStringLiteral("txtDisplayIndex")),
                controls_.require<QWidget>(QStringLiteral("cmdDisplayindex")), texts_.dataItem4,
                texts_.dataItem3);
}

void DisplaySettingPanel::cmdDisplayItemSet_Click()
{
    bool isNumber = false;
    const int code = controls_.require<QComboBox>(QStringLiteral("Combo_Display_Item_sel"))
                         ->currentText()
                         .toInt(&isNumber);
    const int position =
        controls_.require<QComboBox>(QStringLiteral("Combo_Display_Ser_sel"))->currentIndex();
    if (!isNumber || code < 0 || code > 0xFFFF || position < 0
        || position >= meter::kDisplayPositions)
        return;
    session_.request(config::displayItemRequest(position, std::uint16_t(code)));
}

void DisplaySettingPanel::cmdScrollTimeSet_Click()
{
    const auto *scroll = controls_.require<QComboBox>(QStringLiteral("Combo1"));
    session_.request(config::scrollTimeRequest(config::scrollTimeValue(scroll->currentText(), scroll->currentIndex())));
}

} // namespace config
