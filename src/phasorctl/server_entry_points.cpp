// The four entry points of the Gyroscribe library: registration in the
// control registry, the class factory and the unload check. They are the only
// symbols the library exports.

#include "phasorctl/class_factory.h"
#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/control_registry.h"

#include <QFileInfo>
#include <QString>

#include <cstdint>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#define GYROSCRIBE_EXPORT __declspec(dllexport)
#else
#include <dlfcn.h>
#define GYROSCRIBE_EXPORT __attribute__((visibility("default")))
#endif

using hosting::Status;

namespace {

std::int32_t code(Status status)
{
    return static_cast<std::int32_t>(status);
}

// The file this code was loaded from, as the registry must name it.
QString ownLibraryPath()
{
    static const char anchor = 0; // any address inside this library
#ifdef _WIN32
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &module))
        return QString();
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(module, path, DWORD(std::size(path)));
    if (length == 0 || length >= std::size(path))
        return QString();
    return QString::fromWCharArray(path, int(length));
#else
    Dl_info info{};
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname)
        return QString();
    // dli_fname is the name the library was opened by, maybe relative.
    const QFileInfo file(QString::fromLocal8Bit(info.dli_fname));
    const QString canonical = file.canonicalFilePath();
    return canonical.isEmpty() ? file.absoluteFilePath() : canonical;
#endif
}

} // namespace

extern "C" {

GYROSCRIBE_EXPORT std::int32_t DllRegisterServer()
{
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return code(Status::Failed);
    return code(hosting::writeRegistration({gyroscribe::CLSID_Phaser,
                                            QString::fromLatin1(gyroscribe::PhaserProgId), path,
                                            gyroscribe::LIBID_GyroscribeLib}));
}

GYROSCRIBE_EXPORT std::int32_t DllUnregisterServer()
{
    return code(hosting::removeRegistration(gyroscribe::CLSID_Phaser,
                                            QString::fromLatin1(gyroscribe::PhaserProgId)));
}

GYROSCRIBE_EXPORT std::int32_t DllGetClassObject(const QUuid *classId, const QUuid *interfaceId,
                                                 void **object)
{
    if (!object)
        return code(Status::InvalidArgument);
    *object = nullptr;
    if (!classId || !interfaceId)
        return code(Status::InvalidArgument);
    if (*classId != gyroscribe::CLSID_Phaser)
        return code(Status::ClassNotAvailable);
    if (*interfaceId != hosting::IID_IClassFactory)
        return code(Status::NoInterface);
    *object = static_cast<hosting::IClassFactory *>(&gyroscribe::phaserFactory());
    return code(Status::Ok);
}

GYROSCRIBE_EXPORT std::int32_t DllCanUnloadNow()
{
    return code(gyroscribe::serverInUse() ? Status::False : Status::Ok);
}

} // extern "C"
