#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

// Finds the controls of a window by their object names ("cmdOnLine", and
// "name(index)" for an element of a control array). Lookups are cached; a
// name that is not cached yet makes the map look through the window once
// more, so controls built later are found too.
class ControlMap {
public:
    explicit ControlMap(QWidget *root) : root_(root) {}

    static QString elementName(const QString &name, int index)
    {
        return QStringLiteral("%1(%2)").arg(name).arg(index);
    }

    // nullptr when there is no such control.
    QWidget *find(const QString &name) const;
    QWidget *find(const QString &name, int index) const { return find(elementName(name, index)); }

    template <class T>
    T *get(const QString &name) const
    {
        return qobject_cast<T *>(find(name));
    }
    template <class T>
    T *get(const QString &name, int index) const
    {
        return qobject_cast<T *>(find(name, index));
    }

    // For controls a subsystem cannot work without: a missing control or one
    // of another kind is a fault of the window's construction, reported at once.
    template <class T>
    T *require(const QString &name) const
    {
        T *control = get<T>(name);
        if (!control)
            missing(name);
        return control;
    }
    template <class T>
    T *require(const QString &name, int index) const
    {
        return require<T>(elementName(name, index));
    }

private:
    [[noreturn]] static void missing(const QString &name);
    void rescan() const;

    QWidget *root_;
    mutable QHash<QString, QPointer<QWidget>> cache_;
};
