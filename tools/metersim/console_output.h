#pragma once

#include <QString>

namespace metersim {

// One line on stdout, flushed at once: the test harness reads these lines
// (TCP, PTY, READY, OK, ERR, WRITE) as they come.
void printLine(const QString &line);
// One line on stderr.
void printError(const QString &line);

} // namespace metersim
