#include "polling/widget_poll_view.h"

#include "app/caption.h"

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
    if (QWidget *w = find(control, index))
        setCaption(w, text);
}

QString WidgetPollView::text(const QString &control, int index) const
{
    QWidget *w = find(control, index);
    return w ? caption(w) : QString();
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
