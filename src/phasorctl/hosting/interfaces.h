#pragma once

// The interfaces between a control library and its host. A host includes this
// header (and the control's own type header) but never links the control
// library: it finds the library through the control registry, loads it and
// reaches everything else through DllGetClassObject.
//
// Lifetime rules:
// - The class factory belongs to the library; a host never deletes it.
// - A control is a widget. Like any child widget it belongs to its parent; a
//   control created without a parent belongs to the caller, who deletes it
//   through IControl (the destructor is virtual).
// - A host never unloads a control library while one of its controls lives;
//   the simplest host never unloads it at all.
// - Everything runs on the host's user-interface thread.

#include "phasorctl/hosting/status.h"
#include "phasorctl/hosting/variant.h"

#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <span>

class QWidget;

namespace hosting {

using DispId = std::int32_t;

enum class InvokeKind : std::int32_t {
    Method = 1,
    PropertyGet = 2,
    PropertyPut = 4,
};

// Receives the events of a control's source interface.
class IEventSink {
public:
    virtual void onEvent(DispId event, std::span<const Variant> args) = 0;

protected:
    ~IEventSink() = default;
};

// The container's store of persisted properties.
class IPropertyBag {
public:
    virtual std::optional<Variant> read(const QString &name) const = 0;
    virtual void write(const QString &name, const Variant &value) = 0;
    virtual void remove(const QString &name) = 0;

protected:
    ~IPropertyBag() = default;
};

enum class MessageIcon : std::int32_t { Critical, Exclamation, Information, Question };

// Optional services a host offers to the controls it places. A control shows
// its messages through the site when the host set one, else with a message
// box of its own.
class IControlSite {
public:
    virtual void showMessage(MessageIcon icon, const QString &title, const QString &text) = 0;

protected:
    ~IControlSite() = default;
};

class IControl {
public:
    virtual ~IControl() = default;

    virtual QUuid classId() const = 0;
    // The control's widget, to place in a host window (setParent, move, resize).
    virtual QWidget *widget() = 0;

    // Calls a member by dispatch id. Arguments are in declaration order; a
    // by-reference argument points at the caller's variable. result may be
    // null when the caller does not want it.
    virtual Status invoke(DispId member, InvokeKind kind, std::span<Variant> args,
                          Variant *result) = 0;

    // Connects a sink to the source interface sourceInterface; the cookie
    // identifies the connection for unadvise. The sink must stay alive until
    // unadvise or the control's destruction.
    virtual Status advise(const QUuid &sourceInterface, IEventSink *sink, int *cookie) = 0;
    virtual Status unadvise(int cookie) = 0;

    // Persistence: a new instance gets initProperties, a loaded one
    // readProperties; writeProperties saves into the container's bag.
    virtual void initProperties() = 0;
    virtual void readProperties(const IPropertyBag &bag) = 0;
    virtual void writeProperties(IPropertyBag &bag) const = 0;

    // The site must outlive the control or be reset to nullptr first.
    virtual void setSite(IControlSite *site) = 0;
};

class IClassFactory {
public:
    virtual QUuid classId() const = 0;
    // Creates a control as a child of parent (which may be null). Needs a
    // running QApplication.
    virtual Status createInstance(QWidget *parent, IControl **control) = 0;
    // Keeps the library in use while locked (counted).
    virtual void lockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The interface id a host asks DllGetClassObject for.
inline constexpr QUuid IID_IClassFactory{0x2166b137, 0xb646, 0x4856, 0xb0, 0xef,
                                         0xc2, 0x38, 0x9e, 0x80, 0x79, 0xfb};

// The exported entry points of a control library. Results are Status codes.
extern "C" {
using DllGetClassObjectFunction = std::int32_t (*)(const QUuid *classId, const QUuid *interfaceId,
                                                   void **object);
using DllRegisterServerFunction = std::int32_t (*)();
using DllUnregisterServerFunction = std::int32_t (*)();
using DllCanUnloadNowFunction = std::int32_t (*)();
}

} // namespace hosting
