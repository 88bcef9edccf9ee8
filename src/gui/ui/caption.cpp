#include "gui/ui/caption.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>

namespace ui {

void setCaption(QWidget *control, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (auto *frame = qobject_cast<QGroupBox *>(control))
        frame->setTitle(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        // Setting the same text again would still lay the field out anew
        // (and move its cursor): the poll sets every value each cycle.
        if (edit->text() != text)
            edit->setText(text);
    }
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(control))
        plain->setPlainText(text);
    else if (auto *list = qobject_cast<QComboBox *>(control))
        list->setCurrentText(text);
    else if (control)
        control->setWindowTitle(text);
}

QString caption(const QWidget *control)
{
    if (auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(control))
        return frame->title();
    if (auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (auto *plain = qobject_cast<const QPlainTextEdit *>(control))
        return plain->toPlainText();
    if (auto *list = qobject_cast<const QComboBox *>(control))
        return list->currentText();
    return control ? control->windowTitle() : QString();
}

namespace {

constexpr const char *kSectionProperty = "captionSection";
constexpr const char *kKeyProperty = "captionKey";
constexpr const char *kNumberProperty = "captionNumber";

} // namespace

void setCaptionKey(QWidget *control, const char *section, const char *key, int number)
{
    control->setProperty(kSectionProperty, QLatin1String(section));
    control->setProperty(kKeyProperty, QLatin1String(key));
    control->setProperty(kNumberProperty, number);
}

CaptionKey captionKeyOf(const QWidget *control)
{
    CaptionKey k;
    k.section = control->property(kSectionProperty).toString();
    k.key = control->property(kKeyProperty).toString();
    const QVariant number = control->property(kNumberProperty);
    k.number = number.isValid() ? number.toInt() : -1;
    return k;
}

QString captionText(const QString &text, int number)
{
    if (number < 0)
        return text;
    if (text.contains(QLatin1String("%1")))
        return text.arg(number);
    return text + QLatin1Char(' ') + QString::number(number);
}

void toggleShown(QWidget *box, QWidget *button, const QString &whenShown,
                 const QString &whenHidden)
{
    const bool show = box->isHidden();
    box->setVisible(show);
    setCaption(button, show ? whenShown : whenHidden);
}

} // namespace ui
