#include "archive/sql_fault.h"

#include "archive/sql_dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace archive {

namespace {

// The database server went away under the connection: it was shut down or
// restarted (PostgreSQL's class 57P), or the connection broke (class 08).
// The driver then often has no words of its own, only the code.
bool serverGone(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code.startsWith(QLatin1String("57P"))
           || code.startsWith(QLatin1String("08"))
           || error.text().contains(QLatin1String("server closed the connection"), Qt::CaseInsensitive)
           || error.text().contains(QLatin1String("no connection to the server"), Qt::CaseInsensitive);
}

} // namespace

QString SqlFault::text() const
{
    if (serverGone(error))
        return QStringLiteral("Cannot %1: the archive's server closed the connection").arg(doing);
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
