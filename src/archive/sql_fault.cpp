#include "archive/sql_fault.h"

#include "archive/sql_dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace archive {

QString SqlFault::text() const
{
    // The database's own words say what is wrong; the driver's add only
    // which call failed.
    QString reason = error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = error.text().trimmed();
    return QStringLiteral("Cannot %1: %2").arg(doing, reason.isEmpty() ? QStringLiteral("unknown error") : reason);
}

bool execOrFault(QSqlQuery &query, const QString &doing, SqlFault *fault)
{
    if (query.exec())
        return true;
    *fault = {doing, query.lastError()};
    return false;
}

bool execOrFault(QSqlQuery &query, const QString &sql, const QString &doing, SqlFault *fault)
{
    if (query.exec(sql))
        return true;
    *fault = {doing, query.lastError()};
    return false;
}

bool inWriteTransaction(QSqlDatabase &db, const SqlDialect &dialect, const QString &doing, SqlFault *fault,
                        const std::function<bool()> &run)
{
    bool begun = false;
    if (dialect.beginWrite.isEmpty()) {
        begun = db.transaction();
        if (!begun)
            *fault = {doing, db.lastError()};
    } else {
        QSqlQuery begin(db);
        begun = execOrFault(begin, dialect.beginWrite, doing, fault);
    }
    if (!begun)
        return false;
    if (run()) {
        if (db.commit())
            return true;
        *fault = {doing, db.lastError()};
    }
    db.rollback();
    return false;
}

} // namespace archive
