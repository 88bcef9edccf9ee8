#pragma once

#include <QString>

namespace testsupport {

// Folder of the built program, its language files, metersim and the phasor library.
QString binDir();
// Top of the build tree; screenshots and rendered images go here.
QString buildDir();
// Top of the source tree.
QString sourceDir();

} // namespace testsupport
