#pragma once

#include <QObject>

class ControlMap;
class LinkState;

// The handlers of the meter-setting and display-setting pages. Every set
// button writes to the meter, so the buttons work only while the link is
// online; the panel follows the link by itself.
class SettingPanel : public QObject {
    Q_OBJECT
public:
    // The pages must be built (see setting_pages.h).
    SettingPanel(LinkState &link, const ControlMap &controls, QObject *parent = nullptr);

private:
    void linkOnlineChanged(bool online);

    const ControlMap &controls_;
};
