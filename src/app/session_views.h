#pragma once

#include "polling/layout_view.h"
#include "polling/reading_view.h"
#include "ui/control_map.h"

#include <QObject>

class HarmonicChart;
class QWidget;
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

// Shows a meter session in the main window: the poll cycle's values and
// layout in their controls, the status line and caption, the harmonic
// spectrum, a setting the meter refused, and the chosen harmonic channel
// handed back to the cycle.
class SessionViews : public QObject {
    Q_OBJECT
public:
    SessionViews(session::MeterSession &session, QWidget *window, HarmonicChart &chart,
                 const i18n::LanguageTexts &texts, QObject *parent = nullptr);

    // The lists that follow the firmware (after the load-profile lists).
    void followLayout();

private:
    void status(const QString &text);
    // The status line's text of the first read the meter refuses, or "".
    QString refusalText(const i18n::LanguageTexts &texts) const;

    session::MeterSession &session_;
    ControlMap controls_;
    ReadingView reading_;
    LayoutView layout_;
    polling::PanelChoice choice_; // of the last layout chosen
    QString refusal_;             // the text of the read refused, while it is
};
