#pragma once

#include <QString>

class QWidget;

// The visible caption of a label, button, frame or window.
void setCaption(QWidget *control, const QString &text);
QString caption(const QWidget *control);
