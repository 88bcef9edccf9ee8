#include "console_output.h"

#include <cstdio>

namespace metersim {

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void printError(const QString &line)
{
    std::fputs(qPrintable(QStringLiteral("metersim: ") + line + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

} // namespace metersim
