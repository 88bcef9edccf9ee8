#include "phasorctl/hosting/control_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace hosting {

namespace {

const QString progIdsGroup = QStringLiteral("ProgIDs");
const QString progIdKey = QStringLiteral("ProgID");
const QString libraryKey = QStringLiteral("Library");
const QString typeLibKey = QStringLiteral("TypeLib");

QString classGroup(const QUuid &classId)
{
    return QStringLiteral("Class-") + classId.toString(QUuid::WithoutBraces);
}

QString progIdEntry(const QString &progId)
{
    return progIdsGroup + QLatin1Char('/') + progId;
}

// A ProgID becomes an INI key; '/' and '\\' would split it into groups.
bool isUsableProgId(const QString &progId)
{
    return !progId.isEmpty() && !progId.contains(QLatin1Char('/')) &&
           !progId.contains(QLatin1Char('\\'));
}

} // namespace

QString controlRegistryPath()
{
    const QString fromEnvironment = qEnvironmentVariable("CONTROL_REGISTRY");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/control-hosting/registry.ini");
}

Status writeRegistration(const ClassRegistration &registration)
{
    if (registration.classId.isNull() || !isUsableProgId(registration.progId) ||
        registration.libraryPath.isEmpty())
        return Status::InvalidArgument;
    const QString path = controlRegistryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Status::AccessDenied;

    QSettings registry(path, QSettings::IniFormat);
    if (registry.status() != QSettings::NoError)
        return Status::AccessDenied;
    registry.setValue(progIdEntry(registration.progId),
                      registration.classId.toString(QUuid::WithoutBraces));
    registry.beginGroup(classGroup(registration.classId));
    registry.remove(QString()); // drop what an older registration left
    registry.setValue(progIdKey, registration.progId);
    registry.setValue(libraryKey, registration.libraryPath);
    if (!registration.typeLibrary.isNull())
        registry.setValue(typeLibKey, registration.typeLibrary.toString(QUuid::WithoutBraces));
    registry.endGroup();
    registry.sync();
    return registry.status() == QSettings::NoError ? Status::Ok : Status::AccessDenied;
}

Status removeRegistration(const QUuid &classId, const QString &progId)
{
    const QString path = controlRegistryPath();
    if (!QFileInfo::exists(path))
        return Status::Ok;
    QSettings registry(path, QSettings::IniFormat);
    if (registry.status() != QSettings::NoError)
        return Status::AccessDenied;
    if (isUsableProgId(progId) &&
        QUuid::fromString(registry.value(progIdEntry(progId)).toString()) == classId)
        registry.remove(progIdEntry(progId));
    registry.remove(classGroup(classId));
    registry.sync();
    return registry.status() == QSettings::NoError ? Status::Ok : Status::AccessDenied;
}

namespace {

// The lookup in one registry file; an error sentence when it has no usable
// entry for the ProgID.
RegistrationLookup findRegistrationIn(const QString &path, const QString &progId)
{
    const QString where = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        return {std::nullopt,
                QStringLiteral("The control \"%1\" is not registered: the control registry %2 "
                               "does not exist.")
                    .arg(progId, where)};

    const QSettings registry(path, QSettings::IniFormat);
    if (registry.status() != QSettings::NoError)
        return {std::nullopt,
                QStringLiteral("The control registry %1 cannot be read.").arg(where)};
    if (!isUsableProgId(progId) || !registry.contains(progIdEntry(progId)))
        return {std::nullopt,
                QStringLiteral("The control \"%1\" is not registered in the control registry %2.")
                    .arg(progId, where)};

    ClassRegistration found;
    found.progId = progId;
    found.classId = QUuid::fromString(registry.value(progIdEntry(progId)).toString());
    const QString group = classGroup(found.classId) + QLatin1Char('/');
    found.libraryPath = registry.value(group + libraryKey).toString();
    found.typeLibrary = QUuid::fromString(registry.value(group + typeLibKey).toString());
    if (found.classId.isNull() || found.libraryPath.isEmpty())
        return {std::nullopt,
                QStringLiteral("The control registry %2 holds no valid entry for the control "
                               "\"%1\"; register its library again.")
                    .arg(progId, where)};
    return {found, QString()};
}

} // namespace

QStringList controlRegistryLookupPaths()
{
    if (!qEnvironmentVariable("CONTROL_REGISTRY").isEmpty())
        return {controlRegistryPath()};
    QStringList paths{controlRegistryPath()};
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    for (qsizetype i = 1; i < folders.size(); ++i)
        paths << folders[i] + QStringLiteral("/control-hosting/registry.ini");
    return paths;
}

RegistrationLookup findRegistration(const QString &progId)
{
    QStringList errors;
    for (const QString &path : controlRegistryLookupPaths()) {
        RegistrationLookup found = findRegistrationIn(path, progId);
        if (found.registration)
            return found;
        errors << found.error;
    }
    // The user's own registry says why first; the system's follow.
    return {std::nullopt, errors.join(QLatin1Char(' '))};
}

} // namespace hosting
