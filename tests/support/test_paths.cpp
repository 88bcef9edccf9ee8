#include "test_paths.h"

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
QString buildDir() { return fromEnv("AMPWRIGHT_BUILD_DIR"); }
QString sourceDir() { return fromEnv("AMPWRIGHT_SOURCE_DIR"); }

} // namespace testsupport
