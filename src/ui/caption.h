#pragma once

#include <QString>

class QWidget;

// The visible text of a label, button, frame, text box, list or window.
void setCaption(QWidget *control, const QString &text);
QString caption(const QWidget *control);
