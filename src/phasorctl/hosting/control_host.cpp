#include "phasorctl/hosting/control_host.h"

#include "phasorctl/hosting/control_registry.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace hosting {

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Loads the library, or says why not. The QLibrary object may go: the library
// stays loaded until the process ends.
bool loadLibrary(QLibrary &library, const QString &path, const QString &purpose, QString *error)
{
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("The library %1 %2 does not exist.").arg(native(path), purpose);
        return false;
    }
    library.setFileName(path);
    if (!library.load()) {
        *error = QStringLiteral("The library %1 %2 cannot be loaded: %3")
                     .arg(native(path), purpose, library.errorString());
        return false;
    }
    return true;
}

} // namespace

ControlCreation createControl(const QString &progId, QWidget *parent)
{
    const RegistrationLookup lookup = findRegistration(progId);
    if (!lookup.registration)
        return {nullptr, lookup.error};
    const ClassRegistration &entry = *lookup.registration;
    const QString purpose = QStringLiteral("registered for the control \"%1\"").arg(progId);

    QLibrary library;
    QString error;
    if (!loadLibrary(library, entry.libraryPath, purpose, &error))
        return {nullptr, error};

    const auto getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(library.resolve("DllGetClassObject"));
    if (!getClassObject)
        return {nullptr, QStringLiteral("The library %1 %2 does not export DllGetClassObject.")
                             .arg(native(entry.libraryPath), purpose)};

    void *object = nullptr;
    const Status found = statusFromCode(getClassObject(&entry.classId, &IID_IClassFactory, &object));
    if (found == Status::ClassNotAvailable)
        return {nullptr, QStringLiteral("The library %1 does not provide the class %2 that is "
                                        "registered for the control \"%3\".")
                             .arg(native(entry.libraryPath), entry.classId.toString(), progId)};
    if (found != Status::Ok || !object)
        return {nullptr, QStringLiteral("The library %1 gave no class factory for the control "
                                        "\"%2\" (%3).")
                             .arg(native(entry.libraryPath), progId, statusText(found))};

    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return {nullptr, QStringLiteral("The control \"%1\" needs a running widget application.")
                             .arg(progId)};

    auto *factory = static_cast<IClassFactory *>(object);
    IControl *control = nullptr;
    const Status created = factory->createInstance(parent, &control);
    if (created != Status::Ok || !control)
        return {nullptr, QStringLiteral("The control \"%1\" could not be created (%2).")
                             .arg(progId, statusText(created))};
    return {control, QString()};
}

QString runLibraryRegistration(const QString &libraryPath, RegistrationAction action)
{
    const char *entryPoint =
        action == RegistrationAction::Register ? "DllRegisterServer" : "DllUnregisterServer";
    QLibrary library;
    QString error;
    if (!loadLibrary(library, libraryPath, QStringLiteral("to register"), &error))
        return error;
    // Both entry points have the same signature.
    const auto run = reinterpret_cast<DllRegisterServerFunction>(library.resolve(entryPoint));
    if (!run)
        return QStringLiteral("The library %1 does not export %2.")
            .arg(native(libraryPath), QLatin1String(entryPoint));
    const Status status = statusFromCode(run());
    if (status != Status::Ok)
        return QStringLiteral("%1 of %2 failed (%3); registry: %4")
            .arg(QLatin1String(entryPoint), native(libraryPath), statusText(status),
                 native(controlRegistryPath()));
    return QString();
}

} // namespace hosting

