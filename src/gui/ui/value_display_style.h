#pragma once

class QStyle;

namespace ui {

// The style of the value displays: the application's style, except that the
// panel of a text box (its background and rounded, antialiased frame) is
// drawn once for each size, state and palette and then copied. Drawn anew,
// that panel costs a display several times what its text costs, and the poll
// cycle repaints dozens of displays every cycle. One style for all of them,
// owned by the application.
QStyle *valueDisplayStyle();

} // namespace ui
