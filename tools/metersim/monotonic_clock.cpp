#include "monotonic_clock.h"

#include <QElapsedTimer>

namespace metersim {

qint64 monotonicNs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.nsecsElapsed();
}

} // namespace metersim
