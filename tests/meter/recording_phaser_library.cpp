// A control library that stands in for the phasor diagram in host tests. It
// provides the diagram's class id; registered under the diagram's ProgID, it
// is what a host creates. Its control draws nothing: it records every
// SetPwrData call in the dynamic property kPwrCallsProperty, one list of the
// twelve Singles per call in argument order, which a test reads through the
// control's widget without knowing this library's types.

#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/interfaces.h"
#include "recording_phaser.h"

#include <QVariantList>
#include <QWidget>

#include <cstdint>

#define RECORDING_PHASER_EXPORT __attribute__((visibility("default")))

using hosting::Status;

namespace {

class RecordingPhaser final : public QWidget, public hosting::IControl {
public:
    explicit RecordingPhaser(QWidget *parent) : QWidget(parent)
    {
        setProperty(kPwrCallsProperty, QVariantList());
    }

    QUuid classId() const override { return gyroscribe::CLSID_Phaser; }
    QWidget *widget() override { return this; }

    Status invoke(hosting::DispId member, hosting::InvokeKind kind,
                  std::span<hosting::Variant> args, hosting::Variant *result) override
    {
        if (member != gyroscribe::dispid::SetPwrData || kind != hosting::InvokeKind::Method)
            return Status::MemberNotFound;
        if (args.size() != gyroscribe::SetPwrDataArgumentCount)
            return Status::BadParamCount;
        // The member takes its Singles by reference; anything else is a
        // host that does not call it as declared.
        QVariantList call;
        for (const hosting::Variant &arg : args) {
            const auto *single = std::get_if<hosting::ByRef<float>>(&arg);
            if (!single || !single->target)
                return Status::TypeMismatch;
            call.append(double(*single->target));
        }
        QVariantList calls = property(kPwrCallsProperty).toList();
        calls.append(QVariant(call));
        setProperty(kPwrCallsProperty, calls);
        if (result)
            *result = true;
        return Status::Ok;
    }

    Status advise(const QUuid &, hosting::IEventSink *, int *) override { return Status::NoInterface; }
    Status unadvise(int) override { return Status::InvalidArgument; }
    void initProperties() override {}
    void readProperties(const hosting::IPropertyBag &) override {}
    void writeProperties(hosting::IPropertyBag &) const override {}
    void setSite(hosting::IControlSite *) override {}
};

class Factory final : public hosting::IClassFactory {
public:
    QUuid classId() const override { return gyroscribe::CLSID_Phaser; }
    Status createInstance(QWidget *parent, hosting::IControl **control) override
    {
        if (!control)
            return Status::InvalidArgument;
        *control = new RecordingPhaser(parent);
        return Status::Ok;
    }
    void lockServer(bool) override {}
};

std::int32_t code(Status status) { return static_cast<std::int32_t>(status); }

} // namespace

extern "C" {

RECORDING_PHASER_EXPORT std::int32_t DllGetClassObject(const QUuid *classId,
                                                       const QUuid *interfaceId, void **object)
{
    if (!object || !classId || !interfaceId)
        return code(Status::InvalidArgument);
    *object = nullptr;
    if (*classId != gyroscribe::CLSID_Phaser)
        return code(Status::ClassNotAvailable);
    if (*interfaceId != hosting::IID_IClassFactory)
        return code(Status::NoInterface);
    static Factory factory;
    *object = static_cast<hosting::IClassFactory *>(&factory);
    return code(Status::Ok);
}

// Never unloaded: the test process may still hold controls.
RECORDING_PHASER_EXPORT std::int32_t DllCanUnloadNow() { return code(Status::False); }

} // extern "C"
