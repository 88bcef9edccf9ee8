#pragma once

#include "gui/meter/layout_view.h"
#include "gui/meter/reading_view.h"
#include "gui/ui/control_map.h"

#include <QObject>

namespace meter {
class HarmonicChart;
}
class QWidget;
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

namespace app {

// Shows a meter session in the main window: the poll cycle's values and
// layout in their controls, the status line and caption, the harmonic
// spectrum, a setting the meter refused, and the chosen harmonic channel
// handed back to the cycle.
class SessionViews : public QObject {
    Q_OBJECT
public:
    SessionViews(session::MeterSession &session, QWidget *window, meter::HarmonicChart &chart,
                 const i18n::LanguageTexts &texts, QObject *parent = nullptr);

    // The lists that follow the firmware (after the load-profile lists).
    void followLayout();

private:
    void status(const QString &text);
    // The status line's text of the first read the meter refuses, or "".
    QString refusalText(const i18n::LanguageTexts &texts) const;

    session::MeterSession &session_;
    ui::ControlMap controls_;
    meter::ReadingView reading_;
    meter::LayoutView layout_;
    meter::PanelChoice choice_; // of the last layout chosen
    QString refusal_;             // the text of the read refused, while it is
};

} // namespace app
