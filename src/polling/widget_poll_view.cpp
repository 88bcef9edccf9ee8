#include "polling/widget_poll_view.h"

#include "ui/caption.h"
#include "ui/named_controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

QWidget *WidgetPollView::find(const QString &control, int index) const
{
    QWidget *widget = controls_.find(control, index);
    if (!widget)
        qWarning("No control named %s", qPrintable(controlName(control, index)));
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

void WidgetPollView::setListItems(const QString &control, int index, const QStringList &items,
                                  int selected)
{
    if (auto *list = qobject_cast<QComboBox *>(find(control, index)))
        fillList(list, items, selected);
}
