// The claims of meters by the workers of a fleet: one row per meter, taken
// and renewed by single statements, so that two workers never hold a meter
// at once, whatever the timing, and a lease that runs out frees it.
#include "archive/archive_store.h"

#include "archive/sql_fault.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace archive {

namespace {

// Runs one statement with its values; the rows it changed, or nothing with
// the reason in error.
std::optional<int> change(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                          const QString &doing, QString *error)
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    SqlFault fault;
    if (!execOrFault(query, doing, &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    return query.numRowsAffected();
}

QDateTime fromEpoch(const QVariant &seconds)
{
    if (seconds.isNull())
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(seconds.toDouble() * 1000.0), Qt::UTC);
}

} // namespace

std::optional<double> ArchiveStore::serverClock(QString *error) const
{
    QSqlQuery query(database());
    SqlFault fault;
    if (!execOrFault(query, QStringLiteral("SELECT ") + dialect_.serverEpoch,
                     QStringLiteral("read the database's clock"), &fault)
        || !query.next()) {
        setError(error, fault.text());
        return std::nullopt;
    }
    return query.value(0).toDouble();
}

std::optional<MeterClaim> ArchiveStore::claimMeter(const QString &meterKey, const QString &worker,
                                                   double leaseSeconds, double roundStart, QString *error)
{
    const QString now = dialect_.serverEpoch;
    const QString doing = QStringLiteral("claim the meter %1").arg(meterKey);
    SqlFault fault;
    QSqlQuery query(database());
    // One statement: a new meter is inserted; a known one is taken over only
    // when its lease has run out and it was not finished in this round. The
    // database serialises two workers' statements on the same row.
    query.prepare(QStringLiteral(
                      "INSERT INTO lp_meter_claims (meter_key, worker, lease_until) VALUES (?, ?, %1 + ?) "
                      "ON CONFLICT (meter_key) DO UPDATE SET worker = excluded.worker, "
                      "lease_until = excluded.lease_until, finished_at = NULL, result = NULL, records = 0 "
                      "WHERE lp_meter_claims.lease_until < %1 "
                      "AND (lp_meter_claims.finished_at IS NULL OR lp_meter_claims.finished_at < ?) "
                      "RETURNING worker")
                      .arg(now));
    query.addBindValue(meterKey);
    query.addBindValue(worker);
    query.addBindValue(leaseSeconds);
    query.addBindValue(roundStart);
    if (!execOrFault(query, doing, &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    MeterClaim claim;
    claim.meterKey = meterKey;
    if (query.next()) {
        claim.state = MeterClaim::State::Claimed;
        claim.worker = worker;
        claim.leaseLeft = leaseSeconds;
        return claim;
    }
    query.finish();
    query.prepare(QStringLiteral("SELECT worker, lease_until - %1, finished_at, result, records, "
                                 "finished_at IS NOT NULL AND finished_at >= ? "
                                 "FROM lp_meter_claims WHERE meter_key = ?")
                      .arg(now));
    query.addBindValue(roundStart);
    query.addBindValue(meterKey);
    if (!execOrFault(query, doing, &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    if (!query.next()) { // removed in between by hand: the next try inserts it
        claim.state = MeterClaim::State::Held;
        return claim;
    }
    claim.worker = query.value(0).toString();
    claim.leaseLeft = std::max(0.0, query.value(1).toDouble());
    claim.finishedAt = fromEpoch(query.value(2));
    claim.result = query.value(3).toString();
    claim.records = query.value(4).toLongLong();
    claim.state = query.value(5).toBool() ? MeterClaim::State::Finished : MeterClaim::State::Held;
    return claim;
}

std::optional<bool> ArchiveStore::renewClaim(const QString &meterKey, const QString &worker, double leaseSeconds,
                                             QString *error)
{
    const auto changed = change(database(),
                                QStringLiteral("UPDATE lp_meter_claims SET lease_until = %1 + ? "
                                               "WHERE meter_key = ? AND worker = ? AND finished_at IS NULL")
                                    .arg(dialect_.serverEpoch),
                                {leaseSeconds, meterKey, worker},
                                QStringLiteral("renew the claim of the meter %1").arg(meterKey), error);
    return changed ? std::optional(*changed == 1) : std::nullopt;
}

bool ArchiveStore::finishClaim(const QString &meterKey, const QString &worker, const QString &result,
                               long long records, QString *error)
{
    return change(database(),
                  QStringLiteral("UPDATE lp_meter_claims SET lease_until = 0, finished_at = %1, result = ?, "
                                 "records = ? WHERE meter_key = ? AND worker = ?")
                      .arg(dialect_.serverEpoch),
                  {result, records, meterKey, worker},
                  QStringLiteral("finish the claim of the meter %1").arg(meterKey), error)
        .has_value();
}

std::optional<std::vector<MeterClaim>> ArchiveStore::claims(QString *error) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    SqlFault fault;
    if (!execOrFault(query,
                     QStringLiteral("SELECT meter_key, worker, lease_until - %1, finished_at, result, records "
                                    "FROM lp_meter_claims ORDER BY meter_key")
                         .arg(dialect_.serverEpoch),
                     QStringLiteral("list the meters' claims"), &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    std::vector<MeterClaim> all;
    while (query.next()) {
        MeterClaim claim;
        claim.meterKey = query.value(0).toString();
        claim.worker = query.value(1).toString();
        claim.leaseLeft = std::max(0.0, query.value(2).toDouble());
        claim.finishedAt = fromEpoch(query.value(3));
        claim.result = query.value(4).toString();
        claim.records = query.value(5).toLongLong();
        claim.state = claim.leaseLeft > 0 ? MeterClaim::State::Held : MeterClaim::State::Finished;
        all.push_back(std::move(claim));
    }
    return all;
}

} // namespace archive
