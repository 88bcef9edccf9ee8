// regcontrol [--unregister] LIBRARY
//
// Loads a control library and runs its DllRegisterServer (or, with
// --unregister, its DllUnregisterServer). The registry file is the one the
// hosting layer uses: $CONTROL_REGISTRY, else the user's own.

#include "phasorctl/hosting/control_host.h"
#include "phasorctl/hosting/control_registry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Registers a control library in the control registry."));
    parser.addHelpOption();
    const QCommandLineOption unregister(QStringList{QStringLiteral("u"),
                                                    QStringLiteral("unregister")},
                                        QStringLiteral("Remove the library's registration."));
    parser.addOption(unregister);
    parser.addPositionalArgument(QStringLiteral("library"),
                                 QStringLiteral("The control library file."));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList libraries = parser.positionalArguments();
    if (libraries.size() != 1) {
        err << "regcontrol: name exactly one library\n";
        return 2;
    }
    const bool removing = parser.isSet(unregister);
    const QString error = hosting::runLibraryRegistration(
        libraries.front(), removing ? hosting::RegistrationAction::Unregister
                                    : hosting::RegistrationAction::Register);
    if (!error.isEmpty()) {
        err << "regcontrol: " << error << '\n';
        return 1;
    }
    out << (removing ? "Unregistered " : "Registered ") << QDir::toNativeSeparators(libraries.front())
        << (removing ? " from " : " in ") << QDir::toNativeSeparators(hosting::controlRegistryPath())
        << '\n';
    return 0;
}
