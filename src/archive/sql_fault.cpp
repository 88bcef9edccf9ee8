#include "archive/sql_fault.h"

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

} // namespace archive
