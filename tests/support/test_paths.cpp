#include "test_paths.h"

#include <QDir>
#include <QFile>

#include <QtGlobal>

namespace testsupport {

static QString fromEnv(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        qFatal("%s is not set; run the tests through ctest", name);
    return value;
}

QString binDir() { return fromEnv("AMPWRIGHT_BIN_DIR"); }
QString cliProgram() { return QDir(binDir()).filePath(QStringLiteral("ampwright-cli")); }
QString buildDir() { return fromEnv("AMPWRIGHT_BUILD_DIR"); }
QString sourceDir() { return fromEnv("AMPWRIGHT_SOURCE_DIR"); }

std::unique_ptr<QTemporaryDir> englishProgramFolder()
{
    auto folder = std::make_unique<QTemporaryDir>();
    for (const char *name : {"english.ini", "titlee.txt"})
        if (!folder->isValid()
            || !QFile::copy(QDir(binDir()).filePath(QLatin1String(name)), folder->filePath(QLatin1String(name))))
            return nullptr;
    return folder;
}

} // namespace testsupport
