#include "config/display_setting_panel.h"

#include "config/setting_values.h"
#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "polling/display_items.h"
#include "polling/poll_cycle.h"
#include "ui/caption.h"
#include "ui/control_map.h"

#include <QComboBox>
#include <QPushButton>

namespace {

constexpr const char *kSetButtons[] = {"cmdDisplayItemSet", "cmdScrollTimeSet"};

// Rows of the poll cycle's request service.
constexpr int kScrollTimeRow = 7;
constexpr int kDisplayItemsRow = 8;

} // namespace

DisplaySettingPanel::DisplaySettingPanel(LinkState &link, modbus::Transactions &transactions,
                                         PollCycle &poll, const i18n::LanguageTexts &texts,
                                         const ControlMap &controls, QObject *parent)
    : QObject(parent), texts_(texts), controls_(controls), writes_(transactions, link)
{
    onClicked(controls_, "cmdDisplayItemSet", this, &DisplaySettingPanel::cmdDisplayItemSet_Click);
    onClicked(controls_, "cmdScrollTimeSet", this, &DisplaySettingPanel::cmdScrollTimeSet_Click);
    onClicked(controls_, "cmdDisplayindex", this, &DisplaySettingPanel::cmdDisplayindex_Click);

    poll.addRequestRow({&ReqSetScrollTime, [this] { WriteScrollTime(); }, kScrollTimeRow});
    poll.addRequestRow({&ReqSetDisplayItems,
                        [this, &poll] {
                            WriteDisplayItem();
                            // The next main block shows the meter's sequence anew.
                            poll.markDisplayItemsDirty();
                        },
                        kDisplayItemsRow});

    linkOnlineChanged(link.LinkOnline());
    connect(&link, &LinkState::linkOnlineChanged, this, &DisplaySettingPanel::linkOnlineChanged);
}

void DisplaySettingPanel::linkOnlineChanged(bool online)
{
    setControlsEnabled(controls_, kSetButtons, online);
}

void DisplaySettingPanel::cmdDisplayindex_Click()
{
    toggleShown(controls_.require<QWidget>(QStringLiteral("txtDisplayIndex")),
                controls_.require<QWidget>(QStringLiteral("cmdDisplayindex")), texts_.dataItem4,
                texts_.dataItem3);
}

void DisplaySettingPanel::WriteDisplayItem()
{
    bool isNumber = false;
    const int code = controls_.require<QComboBox>(QStringLiteral("Combo_Display_Item_sel"))
                         ->currentText()
                         .toInt(&isNumber);
    const int position =
        controls_.require<QComboBox>(QStringLiteral("Combo_Display_Ser_sel"))->currentIndex();
    if (!isNumber || code < 0 || code > 0xFFFF || position < 0
        || position >= polling::kDisplayPositions)
        return;
    writes_.registers(config::kFirstDisplayItemRegister + position, {std::uint16_t(code)});
}

void DisplaySettingPanel::WriteScrollTime()
{
    const auto *scroll = controls_.require<QComboBox>(QStringLiteral("Combo1"));
    writes_.registers(config::kScrollTimeRegister,
                      {config::scrollTimeValue(scroll->currentText(), scroll->currentIndex())});
}
