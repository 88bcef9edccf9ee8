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

    // The error says the file is no database of this kind, or a damaged one;
    // any other failure (a locked or unreadable file) never says so.
    bool (*isBrokenFile)(const QSqlError &error) = nullptr;
};

// SQLite: a file, write-ahead log, foreign keys checked, writers wait for
// each other up to five seconds.
SqlDialect sqliteDialect();

} // namespace archive
