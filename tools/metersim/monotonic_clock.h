#pragma once

#include <QtGlobal>

namespace metersim {

// Nanoseconds on a monotonic clock, for wire timing.
qint64 monotonicNs();

} // namespace metersim
