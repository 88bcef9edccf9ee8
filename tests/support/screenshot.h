#pragma once

#include "test_paths.h"

#include <QDir>
#include <QWidget>

namespace testsupport {

// Saves a picture of the widget as <build>/screenshots/<name>.png for review.
inline bool saveScreenshot(QWidget *widget, const QString &name)
{
    const QDir dir(buildDir());
    dir.mkpath(QStringLiteral("screenshots"));
    return widget && widget->grab().save(dir.filePath(QStringLiteral("screenshots/%1.png").arg(name)));
}

} // namespace testsupport
