#pragma once

#include <QAbstractButton>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <span>

namespace ui {

// "name(index)", the object name of one element of a control array; the plain
// name for an index below 0 (a control that is not in an array).
QString controlName(const QString &name, int index = -1);
inline QString controlName(const char *name, int index = -1)
{
    return controlName(QLatin1String(name), index);
}

// Finds the controls of a window by their object names ("cmdOnLine", and
// "name(index)" for an element of a control array). The one rule every part
// of the program looks controls up by:
//  - only controls of the root's own window count: a dialog the window owns
//    (the phasor window, say) may carry the same names for its copies;
//  - among those, the first in QObject::findChildren order wins (depth
//    first, in the order the controls were created), the root itself first.
// Lookups are cached; a name that is not cached yet makes the map look
// through the window once more, so controls built later are found too.
class ControlMap {
public:
    explicit ControlMap(QWidget *root) : root_(root) {}

    QWidget *root() const { return root_; }

    // nullptr when there is no such control.
    QWidget *find(const QString &name, int index = -1) const;

    template <class T>
    T *get(const QString &name, int index = -1) const
    {
        return qobject_cast<T *>(find(name, index));
    }

    // For controls a subsystem cannot work without: a missing control or one
    // of another kind is a fault of the window's construction, reported at once.
    template <class T>
    T *require(const QString &name, int index = -1) const
    {
        T *control = get<T>(name, index);
        if (!control)
            missing(controlName(name, index));
        return control;
    }

private:
    [[noreturn]] static void missing(const QString &name);
    void rescan() const;

    QWidget *root_;
    mutable QHash<QString, QPointer<QWidget>> cache_;
};

// Enables or disables each of the named controls; every one must exist.
void setControlsEnabled(const ControlMap &controls, std::span<const char *const> names,
                        bool enabled);

// Runs a handler of receiver when the named button is clicked.
template <class Receiver>
void onClicked(const ControlMap &controls, const char *button, Receiver *receiver,
               void (Receiver::*handler)())
{
    QObject::connect(controls.require<QAbstractButton>(QLatin1String(button)),
                     &QAbstractButton::clicked, receiver, handler);
}

} // namespace ui
