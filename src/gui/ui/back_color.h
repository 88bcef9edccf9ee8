#pragma once

#include <QColor>

class QWidget;

namespace ui {

// The background colour of a control (a coloured box, or a button's face).
void setBackColor(QWidget *control, const QColor &color);
QColor backColor(const QWidget *control);
// Back to the colour the platform gives such a control (a button's face).
void resetBackColor(QWidget *control);

} // namespace ui
