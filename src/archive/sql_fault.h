#pragma once

#include <QSqlError>
#include <QString>

#include <functional>

class QSqlDatabase;
class QSqlQuery;

// Running statements and keeping what went wrong: the purpose of the failed
// statement in words and the driver's own error.
namespace archive {

struct SqlFault {
    QString doing; // "storing the records of ..."
    QSqlError error;

    // "Cannot <doing>: <driver's text>".
    QString text() const;
};

// Sets *error to text when the caller asked for the reason (error not null).
inline void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Executes a prepared query; false with the fault when it fails.
bool execOrFault(QSqlQuery &query, const QString &doing, SqlFault *fault);
// Executes a statement without parameters on the query's connection.
bool execOrFault(QSqlQuery &query, const QString &sql, const QString &doing, SqlFault *fault);

struct SqlDialect;
// Runs run in one transaction that writes (begun as the dialect begins a
// write): committed when it returns true, rolled back, nothing
// half-written, when it or the commit fails.
bool inWriteTransaction(QSqlDatabase &db, const SqlDialect &dialect, const QString &doing, SqlFault *fault,
                        const std::function<bool()> &run);

} // namespace archive
