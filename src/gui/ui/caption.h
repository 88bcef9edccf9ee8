#pragma once

#include <QString>

class QWidget;

namespace ui {

// The visible text of a label, button, frame, text box, list or window.
void setCaption(QWidget *control, const QString &text);
QString caption(const QWidget *control);

// Names the language-file key that a caption of our own (one the language
// controller's caption table does not list) takes its text from. number >= 0
// replaces "%1" in the text, or follows it after a blank when the text has
// no "%1". A control keeps its build-time caption until a language applies.
void setCaptionKey(QWidget *control, const char *section, const char *key, int number = -1);

struct CaptionKey {
    QString section, key;
    int number = -1;
};
// Empty section and key when the control has no key of its own.
CaptionKey captionKeyOf(const QWidget *control);
// The caption for a key's text and number.
QString captionText(const QString &text, int number);

// Shows a hidden box or hides a shown one, and gives the button that does it
// the caption for the new state.
void toggleShown(QWidget *box, QWidget *button, const QString &whenShown,
                 const QString &whenHidden);

} // namespace ui
