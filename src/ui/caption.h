#pragma once

#include <QString>

class QWidget;

// The visible text of a label, button, frame, text box, list or window.
void setCaption(QWidget *control, const QString &text);
QString caption(const QWidget *control);

// Shows a hidden box or hides a shown one, and gives the button that does it
// the caption for the new state.
void toggleShown(QWidget *box, QWidget *button, const QString &whenShown,
                 const QString &whenHidden);
