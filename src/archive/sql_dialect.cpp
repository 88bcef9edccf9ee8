#include "archive/sql_dialect.h"

#include <QSqlError>

namespace archive {

namespace {

// SQLite's result codes, as the Qt driver reports them (primary code in the
// low byte of an extended one).
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

bool sqliteBrokenFile(const QSqlError &error)
{
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber) & 0xFF;
    return isNumber && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

} // namespace

SqlDialect sqliteDialect()
{
    return {
        QStringLiteral("QSQLITE"),
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"),
        QStringLiteral("INTEGER PRIMARY KEY"),
        QStringLiteral(" WITHOUT ROWID"),
        {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA foreign_keys = ON")},
        sqliteBrokenFile,
    };
}

} // namespace archive
