#pragma once

#include <QString>

// Times the load-profile viewer on an archive holding a year of a meter's
// group 1 (8 channels): the first paint of a month of every channel, then
// month after month stepped back, and the whole year (the median of five); prints each time
// against the 300 ms aim of a period change. False when the viewer never
// drew.
bool timeViewer(const QString &archivePath);
