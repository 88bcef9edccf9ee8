#pragma once

namespace ui {
class ControlMap;
}

namespace app {

// Fills the lists of the main window with their entries and selects their
// defaults, in the order the window's start-up does it. Selecting a default
// runs the list's selection handler, so the serial settings (19200,n,8,1) and
// the meter address (15) follow the defaults. Also writes the description of
// the display-item codes into txtDisplayIndex.
void fillStartupLists(const ui::ControlMap &controls);

} // namespace app
