#pragma once

class QWidget;

namespace app {

// Builds the main window's page, top to bottom: the connection row
// (Frame9(1)); the measurement panels SSTab2(0)/SSTab2(1) in Frame9(0) with
// their page buttons Command9(0..3) beside the basic-data panel SSTab3 in
// Frame9(3) with Command11(0..1); the page buttons Command10(0..4) over the
// settings and load-profile pages SSTab1 (in settingPages); and Frame9(2)
// with the language choice. The bands are placed by PageScroller. The tab controls show no tab bar of their own: their page buttons
// select the tabs and show which one is selected.
void buildMainPage(QWidget *page);

// The page button index of Command10 for each tab of SSTab1, and back.
int sstab1TabOfCommand10(int index);
int command10OfSstab1Tab(int tab);

} // namespace app
