#pragma once

#include <QString>

#include <optional>

// Where an archive lives: a SQLite file on this machine, or a database on a
// PostgreSQL server that many machines fill together.
namespace archive {

struct ArchiveLocation {
    enum class Kind { SqliteFile, Postgres };
    Kind kind = Kind::SqliteFile;
    QString path; // the SQLite file

    // The PostgreSQL database. No password: the server's client library
    // takes it from PGPASSWORD or ~/.pgpass, as every PostgreSQL client does.
    QString user; // empty: the user's own login name
    QString host;
    int port = 5432;
    QString database;

    // The location as the user may see it: the path, or the address with
    // user, host, port and database.
    QString shown() const;
};

// "sqlite:PATH", a plain path, or "postgresql://[USER@]HOST[:PORT]/DB"
// ("postgres://" too). Nothing, with a one-line reason in error, for
// another kind, an address without host or database, or one that carries a
// password: a password on a command line is seen by every user of the
// machine.
std::optional<ArchiveLocation> parseArchiveLocation(const QString &text, QString *error);

} // namespace archive
