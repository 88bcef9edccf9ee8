#pragma once

#include <QString>

#include <optional>

// Which archive the window and the command-line tool of this user keep
// their records in: the user's archive file unless the user chose another
// file or a PostgreSQL database. The choice is kept in archive.ini beside
// the user's archive file.
namespace archive {

// The archive chosen: the saved choice, else ArchiveStore::defaultPath().
QString chosenArchive();

// The saved choice as typed; empty when none is saved.
QString savedArchiveChoice();

// Saves the choice (archive_location.h's forms); an empty text goes back to
// the user's archive file. False, with the reason, for a text that names no
// usable archive or a settings file that cannot be written.
bool saveArchiveChoice(const QString &text, QString *error);

} // namespace archive
