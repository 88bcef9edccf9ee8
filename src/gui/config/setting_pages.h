#pragma once

class QWidget;

namespace config {

// The meter-settings page of SSTab1: the meter's Modbus address, baud rate,
// stop bits, wiring, PT and CT ratios (whole-number and primary/secondary
// forms), clock, energy reset and CO2 factor, each with its set button.
// The lists stay empty; the window's start-up fills them.
void buildMeterSettingsPage(QWidget *page);

// The display-setting page of SSTab1: a display sequence position and the
// item shown there, the scroll time, and the description of the item codes.
void buildDisplaySettingsPage(QWidget *page);

} // namespace config
