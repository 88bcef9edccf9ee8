#pragma once

#include <QString>
#include <QStringList>

class QSqlError;

// What differs between the databases the archive runs on. Every statement
// elsewhere is plain SQL that SQLite and PostgreSQL both accept; the few
// phrases they spell differently, and the settings of a new connection, live
// here and nowhere else.
namespace archive {

struct SqlDialect {
    QString driver;          // the Qt SQL driver's name
    QString connectOptions;  // given to QSqlDatabase::setConnectOptions
    QString idColumn;        // a column that numbers new rows by itself, as the primary key
    QString compactKeyTable; // appended to CREATE TABLE of a table read only by its primary key
    QStringList sessionSetup; // run once on every new connection
    // The database server's clock in seconds since 1970 (fractions kept), as
    // an SQL expression: every machine of a fleet compares leases by it.
    QString serverEpoch;
    // Held while the tables are brought up to date, so that programs opening
    // a new database at once create its tables once; empty where the
    // database's own locking is enough.
    QString migrationLock;
    QString migrationUnlock;
    // Begins a transaction that writes: it waits for other writers at its
    // start (SQLite's BEGIN IMMEDIATE), so that it never finds the database
    // taken over halfway, after it has read. Empty: the driver's own begin.
    QString beginWrite;

    // The error says the file is no database of this kind, or a damaged one;
    // any other failure (a locked or unreadable file) never says so.
    bool (*isBrokenFile)(const QSqlError &error) = nullptr;
    // The error says a row another writer committed meanwhile holds the key
    // (a server's writers run side by side; SQLite's one after the other).
    bool (*isKeyTaken)(const QSqlError &error) = nullptr;
};

// SQLite: a file, write-ahead log, foreign keys checked, writers wait for
// each other up to kSqliteBusyWaitMs.
inline constexpr int kSqliteBusyWaitMs = 10000;
SqlDialect sqliteDialect();

// PostgreSQL: a server shared by many programs; identity columns; the
// tables brought up to date under an advisory lock.
SqlDialect postgresDialect();

} // namespace archive
