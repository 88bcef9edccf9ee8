#pragma once

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

namespace config {

// The handlers of the display-setting page: the item the meter's display
// shows at one sequence position, the scroll time, and the description of
// the item codes. The writes are requests to the meter session as the meter
// settings' are (see SettingPanel); after a display-item write the poll
// cycle reads the whole sequence back.
class DisplaySettingPanel : public QObject {
    Q_OBJECT
public:
    // The page must be built (see setting_pages.h).
    DisplaySettingPanel(session::MeterSession &session, const i18n::LanguageTexts &texts,
                        const ui::ControlMap &controls, QObject *parent = nullptr);

    void cmdDisplayItemSet_Click();
    void cmdScrollTimeSet_Click();
    // Shows or hides the description of the item codes.
    void cmdDisplayindex_Click();

private:
    void linkOnlineChanged(bool online);

    session::MeterSession &session_;
    const i18n::LanguageTexts &texts_;
    const ui::ControlMap &controls_;
};

} // namespace config
