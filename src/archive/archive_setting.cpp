#include "archive/archive_setting.h"

#include "archive/archive_location.h"
#include "archive/archive_store.h"

#include <QFileInfo>
#include <QSettings>

namespace archive {

namespace {

const char kKey[] = "archive/location";

QString settingsPath()
{
    return QFileInfo(ArchiveStore::defaultPath()).absolutePath() + QLatin1String("/archive.ini");
}

} // namespace

QString savedArchiveChoice()
{
    const QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.value(QLatin1String(kKey)).toString().trimmed();
}

QString chosenArchive()
{
    const QString saved = savedArchiveChoice();
    // A hand-edited file that names nothing usable falls back to the user's
    // archive file rather than to no archive at all.
    return !saved.isEmpty() && parseArchiveLocation(saved, nullptr) ? saved : ArchiveStore::defaultPath();
}

bool saveArchiveChoice(const QString &text, QString *error)
{
    const QString choice = text.trimmed();
    if (!choice.isEmpty() && !parseArchiveLocation(choice, error))
        return false;
    QSettings settings(settingsPath(), QSettings::IniFormat);
    if (choice.isEmpty())
        settings.remove(QLatin1String(kKey));
    else
        settings.setValue(QLatin1String(kKey), choice);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("The setting cannot be written to %1").arg(settingsPath());
        return false;
    }
    return true;
}

} // namespace archive
