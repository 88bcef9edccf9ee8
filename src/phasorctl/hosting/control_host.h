#pragma once

// Host side of control hosting: creating a registered control by its ProgID,
// and running a library's own registration entry points. Every failure comes
// back as a sentence for the user; nothing here ends the program.

#include "phasorctl/hosting/interfaces.h"

#include <QString>

namespace hosting {

struct ControlCreation {
    IControl *control = nullptr; // owned by parent, or by the caller without one
    QString error;               // set when control is null
};

// Looks progId up in the control registry, loads the library, asks its class
// factory for the registered class and creates the control as a child of
// parent. Needs a running QApplication. The library stays loaded.
ControlCreation createControl(const QString &progId, QWidget *parent);

enum class RegistrationAction { Register, Unregister };

// Loads libraryPath and calls its DllRegisterServer or DllUnregisterServer.
// Returns an empty string on success, else what went wrong.
QString runLibraryRegistration(const QString &libraryPath, RegistrationAction action);

} // namespace hosting
