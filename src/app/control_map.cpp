#include "app/control_map.h"

QWidget *ControlMap::find(const QString &name) const
{
    if (const auto it = cache_.constFind(name); it != cache_.constEnd() && !it->isNull())
        return it->data();
    rescan();
    const auto it = cache_.constFind(name);
    return it == cache_.constEnd() ? nullptr : it->data();
}

void ControlMap::rescan() const
{
    cache_.clear();
    if (!root_)
        return;
    if (!root_->objectName().isEmpty())
        cache_.insert(root_->objectName(), root_);
    const QList<QWidget *> widgets = root_->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString name = widget->objectName();
        // The first control of a name wins, as for the cached lookups.
        if (!name.isEmpty() && !cache_.contains(name))
            cache_.insert(name, widget);
    }
}

void ControlMap::missing(const QString &name)
{
    qFatal("The window has no control named %s of the expected kind", qPrintable(name));
}

