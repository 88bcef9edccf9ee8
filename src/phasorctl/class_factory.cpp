#include "phasorctl/class_factory.h"

#include "phasorctl/phaser.h"

#include <QApplication>

#include <atomic>

namespace gyroscribe {

namespace {

std::atomic<int> serverReferences{0};

class PhaserFactory final : public hosting::IClassFactory {
public:
    QUuid classId() const override { return CLSID_Phaser; }

    hosting::Status createInstance(QWidget *parent, hosting::IControl **control) override
    {
        if (!control)
            return hosting::Status::InvalidArgument;
        *control = nullptr;
        // Widgets need a widget application; without one, refuse instead of aborting.
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return hosting::Status::Failed;
        *control = new Phaser(parent);
        return hosting::Status::Ok;
    }

    void lockServer(bool lock) override
    {
        if (lock)
            serverObjectCreated();
        else
            serverObjectDestroyed();
    }
};

} // namespace

hosting::IClassFactory &phaserFactory()
{
    static PhaserFactory factory;
    return factory;
}

void serverObjectCreated()
{
    ++serverReferences;
}

void serverObjectDestroyed()
{
    // An unbalanced unlock must not make the count negative.
    int current = serverReferences.load();
    while (current > 0 && !serverReferences.compare_exchange_weak(current, current - 1)) {
    }
}

bool serverInUse()
{
    return serverReferences.load() > 0;
}

} // namespace gyroscribe
