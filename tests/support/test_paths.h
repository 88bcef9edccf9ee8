#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// Folder of the built program, its language files, metersim and the phasor library.
QString binDir();
// The command-line tool of the build.
QString cliProgram();
// Top of the build tree; screenshots and rendered images go here.
QString buildDir();
// Top of the source tree.
QString sourceDir();
// A program folder of a test's own: the English language and title files,
// and room for the folders the program makes ("LP Data"). Empty when the
// files could not be copied.
std::unique_ptr<QTemporaryDir> englishProgramFolder();

} // namespace testsupport
