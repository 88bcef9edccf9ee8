#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace links {

// Qt's own Unix event dispatcher instead of GLib's: every transaction waits
// in a nested event loop, and GLib's dispatcher costs several times more
// processor time per wake-up (bench/poll_cycle shows it). Call before the
// application object exists; a QT_NO_GLIB the user set is kept.
inline void preferPlainEventDispatcher()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}

} // namespace links
