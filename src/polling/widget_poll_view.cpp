#include "polling/widget_poll_view.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

QWidget *WidgetPollView::find(const QString &control, int index) const
{
    const QString name =
        index < 0 ? control : QStringLiteral("%1(%2)").arg(control).arg(index);
    auto it = cache_.constFind(name);
    if (it != cache_.constEnd() && *it)
        return *it;
    // Only controls of the root's own window: a dialog owned by the window
    // (the phasor window, say) may use the same names for its copies.
    QWidget *widget = root_->objectName() == name ? root_ : nullptr;
    if (!widget) {
        const QList<QWidget *> found = root_->findChildren<QWidget *>(name);
        for (QWidget *candidate : found) {
            if (candidate->window() == root_->window()) {
                widget = candidate;
                break;
            }
        }
    }
    if (widget)
        cache_.insert(name, widget);
    else
        qWarning("No control named %s", qPrintable(name));
    return widget;
}

void WidgetPollView::setText(const QString &control, int index, const QString &text)
{
    QWidget *w = find(control, index);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(text);
    else if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        plain->setPlainText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        button->setText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(w))
        combo->setCurrentText(text);
}

QString WidgetPollView::text(const QString &control, int index) const
{
    QWidget *w = find(control, index);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        return plain->toPlainText();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return {};
}

void WidgetPollView::setEnabled(const QString &control, int index, bool enabled)
{
    if (QWidget *w = find(control, index))
        w->setEnabled(enabled);
}

void WidgetPollView::setVisible(const QString &control, int index, bool visible)
{
    if (QWidget *w = find(control, index))
        w->setVisible(visible);
}

bool WidgetPollView::isChecked(const QString &control, int index) const
{
    auto *button = qobject_cast<QAbstractButton *>(find(control, index));
    return button && button->isChecked();
}

void WidgetPollView::setTabEnabled(const QString &control, int index, int tab, bool enabled)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(find(control, index)))
        tabs->setTabEnabled(tab, enabled);
}
