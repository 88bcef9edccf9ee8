#pragma once

class QWidget;

namespace loadprofile {

// The load-profile pages of SSTab1. The lists stay empty; the window's
// start-up and the load-profile settings fill them.

// Records: clearing the stored records of group 1 and group 2.
void buildLoadProfileRecordsPage(QWidget *page);

// Data read: download by record number (group, first and last record, start
// and stop) and by date range (group, newest record, begin and end, start).
void buildLoadProfileReadPage(QWidget *page);

// Setting: writing the configuration of group 1 and group 2.
void buildLoadProfileSettingPage(QWidget *page);

} // namespace loadprofile
