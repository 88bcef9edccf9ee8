#pragma once

#include "gui/ui/control_map.h"
#include "meter/firmware_layout.h"

namespace meter {

// The window's layout for the firmware a poll cycle read: which measurement
// panel shows, which pages and setting controls the firmware offers, and
// the entries of the lists that depend on it.
class LayoutView {
public:
    explicit LayoutView(QWidget *root) : controls_(root) {}

    // The panel and the page buttons (the first step of a layout).
    void applyPanel(const meter::PanelChoice &choice);
    // The setting controls and lists that follow the firmware (the last step,
    // once the load-profile lists have been built).
    void applySettings(const meter::PanelChoice &choice);

private:
    QWidget *find(const char *name, int index = -1) const;
    void setVisible(const char *name, int index, bool visible);

    ui::ControlMap controls_;
};

} // namespace meter
