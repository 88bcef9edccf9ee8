#pragma once

class QTabWidget;

namespace meter {

// Fills a measurement panel (SSTab2(0) or SSTab2(1)) with its pages and their
// displays. panel 0 has the pages "Real time Data", "Total kWh", "THD",
// "Harmonic"; panel 1 the first two. Control-array indexes of panel 1 start at 100.
void buildMeasurementPanel(QTabWidget *panel, int panelIndex);

// Fills SSTab3: "Basic Data" (firmware, clock, serial number, wiring, phase
// sequence, ratios) and "Display Item".
void buildBasicDataPanel(QTabWidget *panel);

} // namespace meter
