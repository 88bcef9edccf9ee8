#include "gui/ui/control_map.h"

namespace ui {

QString controlName(const QString &name, int index)
{
    // Built by concatenation: the poll looks up every value's control each cycle.
    return index < 0 ? name : name + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

QWidget *ControlMap::find(const QString &name, int index) const
{
    const QString full = controlName(name, index);
    if (const auto it = cache_.constFind(full); it != cache_.constEnd() && !it->isNull())
        return it->data();
    rescan();
    const auto it = cache_.constFind(full);
    return it == cache_.constEnd() ? nullptr : it->data();
}

void ControlMap::rescan() const
{
    cache_.clear();
    if (!root_)
        return;
    if (!root_->objectName().isEmpty())
        cache_.insert(root_->objectName(), root_);
    const QWidget *window = root_->window();
    const QList<QWidget *> widgets = root_->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString name = widget->objectName();
        if (name.isEmpty() || cache_.contains(name) || widget->window() != window)
            continue;
        cache_.insert(name, widget);
    }
}

void ControlMap::missing(const QString &name)
{
    qFatal("The window has no control named %s of the expected kind", qPrintable(name));
}

void setControlsEnabled(const ControlMap &controls, std::span<const char *const> names,
                        bool enabled)
{
    for (const char *name : names)
        controls.require<QWidget>(QLatin1String(name))->setEnabled(enabled);
}

} // namespace ui
