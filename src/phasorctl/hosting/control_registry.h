#pragma once

// The control registry: a small INI file that maps a ProgID to its class id
// and a class id to the library that provides it. Control libraries write
// their entries in DllRegisterServer and remove them in DllUnregisterServer;
// hosts read them to create a control by its ProgID.
//
// File: the path in the environment variable CONTROL_REGISTRY when it is set,
// else control-hosting/registry.ini in the user's configuration folder.
// Lookups without CONTROL_REGISTRY read the user's file first, then the
// system-wide ones in the configuration folders of the system
// (/etc/xdg/control-hosting/registry.ini), which an installed package
// writes, so that no user needs to register the control.
//
//   [ProgIDs]
//   GyroscribeLib.Phaser=5d849f06-c2c3-476e-9a5b-9cfee9d75c71
//
//   [Class-5d849f06-c2c3-476e-9a5b-9cfee9d75c71]
//   ProgID=GyroscribeLib.Phaser
//   Library=/path/to/libgyroscribe.so
//   TypeLib=93da2776-84c5-401c-9b98-6bcc4c2ff04c

#include "phasorctl/hosting/status.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace hosting {

struct ClassRegistration {
    QUuid classId;
    QString progId;
    QString libraryPath;
    QUuid typeLibrary;
};

// The file registrations are written to.
QString controlRegistryPath();
// The files lookups read, in order.
QStringList controlRegistryLookupPaths();

// Adds or replaces the entries of one class. AccessDenied when the file
// cannot be written.
Status writeRegistration(const ClassRegistration &registration);

// Removes the class entry and its ProgID entry (the latter only while it
// still names this class). A missing registry file is not an error.
Status removeRegistration(const QUuid &classId, const QString &progId);

struct RegistrationLookup {
    std::optional<ClassRegistration> registration;
    QString error; // a sentence for the user when registration is empty
};

RegistrationLookup findRegistration(const QString &progId);

} // namespace hosting
