#include "archive/archive_schema.h"

#include "archive/schema_steps.h"
#include "lpdata/channel_codes.h"

#include <QSqlQuery>
#include <QStringList>

#include <functional>
#include <map>

namespace archive {

namespace {

using Step = std::function<bool(QSqlDatabase &, const SqlDialect &, SqlFault *)>;

// A step made of statements alone.
Step statements(std::function<QStringList(const SqlDialect &)> make)
{
    return [make](QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault) {
        QSqlQuery query(db);
        for (const QString &sql : make(dialect))
            if (!execOrFault(query, sql, QStringLiteral("bring the archive up to date"), fault))
                return false;
        return true;
    };
}

// Version 1: records, their values, channel names and the view.
QStringList createVersion1(const SqlDialect &dialect)
{
    return {
        QStringLiteral("CREATE TABLE archive_version (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO archive_version (version) VALUES (0)"),
        QStringLiteral("CREATE TABLE lp_channel_names ("
                       "channel_code INTEGER PRIMARY KEY, channel_name TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE lp_records ("
                       "record_id %1, "
                       "meter_serial TEXT NOT NULL, "
                       "lp_group INTEGER NOT NULL CHECK (lp_group IN (1, 2)), "
                       "recorded_at TEXT NOT NULL, "
                       "channel_count INTEGER NOT NULL CHECK (channel_count BETWEEN 1 AND 12), "
                       "UNIQUE (meter_serial, lp_group, recorded_at))")
            .arg(dialect.idColumn),
        QStringLiteral("CREATE TABLE lp_record_values ("
                       "record_id BIGINT NOT NULL REFERENCES lp_records (record_id), "
                       "channel_code INTEGER NOT NULL, "
                       "column_index INTEGER NOT NULL, "
                       "value DOUBLE PRECISION, "
                       "PRIMARY KEY (record_id, channel_code))%1")
            .arg(dialect.compactKeyTable),
        QStringLiteral("CREATE VIEW lp_values AS "
                       "SELECT r.meter_serial, r.lp_group, r.recorded_at, v.channel_code, "
                       "n.channel_name, v.value "
                       "FROM lp_records r "
                       "JOIN lp_record_values v ON v.record_id = r.record_id "
                       "LEFT JOIN lp_channel_names n ON n.channel_code = v.channel_code"),
    };
}

// Version 2: the workers' claims of meters (times in seconds since 1970 by
// the database's clock; lease_until 0 once finished).
QStringList createVersion2(const SqlDialect &)
{
    return {
        QStringLiteral("CREATE TABLE lp_meter_claims ("
                       "meter_key TEXT PRIMARY KEY, "
                       "worker TEXT NOT NULL, "
                       "lease_until DOUBLE PRECISION NOT NULL, "
                       "finished_at DOUBLE PRECISION, "
                       "result TEXT, "
                       "records BIGINT NOT NULL DEFAULT 0)"),
    };
}

// Step i brings version i to version i + 1. A later version appends its step.
const std::vector<Step> &steps()
{
    static const std::vector<Step> all{statements(createVersion1), statements(createVersion2), upgradeToVersion3};
    return all;
}

bool readVersion(QSqlDatabase &db, const SqlDialect &dialect, int *version, SqlFault *fault, bool inTransaction = false)
{
    const QString doing = QStringLiteral("read the archive's version");
    QSqlQuery query(db);
    // Inside a transaction a failing statement would spoil it (PostgreSQL
    // refuses every later one): a missing table is looked for first.
    if (inTransaction && !db.tables().contains(QStringLiteral("archive_version"))) {
        *version = 0;
        return true;
    }
    const QString select = QStringLiteral("SELECT version FROM archive_version");
    if (!execOrFault(query, select, doing, fault)) {
        // A new, empty database has no such table. A broken file fails here
        // as well, and the failure stands.
        if (dialect.isBrokenFile(fault->error))
            return false;
        if (!db.tables().contains(QStringLiteral("archive_version"))) {
            *version = 0;
            return true;
        }
        // Another program made the tables just now: their version counts.
        if (!execOrFault(query, select, doing, fault))
            return false;
    }
    if (!query.next()) {
        *fault = {doing, QSqlError(QStringLiteral("the version table is empty"))};
        return false;
    }
    *version = query.value(0).toInt();
    return true;
}

} // namespace

int schemaVersion()
{
    return int(steps().size());
}

bool migrateArchive(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault)
{
    const auto newer = [&](int version) {
        *fault = {QStringLiteral("use the archive %1").arg(db.databaseName()),
                  QSqlError(QStringLiteral("its tables are of version %1, made by a newer program; "
                                           "this one knows version %2")
                                .arg(version)
                                .arg(schemaVersion()))};
        return false;
    };
    int version = 0;
    if (!readVersion(db, dialect, &version, fault))
        return false;
    if (version > schemaVersion())
        return newer(version);
    while (version < schemaVersion()) {
        // The version is read again once this program writes: another one
        // that opened the same new archive at the same moment may have
        // brought it up to date meanwhile.
        const QString doing = QStringLiteral("bring the archive up to date");
        const bool done = inWriteTransaction(db, dialect, doing, fault, [&] {
            if (!readVersion(db, dialect, &version, fault, true))
                return false;
            if (version >= schemaVersion())
                return true;
            if (!steps()[std::size_t(version)](db, dialect, fault))
                return false;
            QSqlQuery query(db);
            if (!execOrFault(query, QStringLiteral("UPDATE archive_version SET version = %1").arg(version + 1), doing,
                             fault))
                return false;
            ++version;
            return true;
        });
        if (!done)
            return false;
        if (version > schemaVersion())
            return newer(version);
    }
    return true;
}

bool syncChannelNames(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault)
{
    const QString doing = QStringLiteral("write the channel names");
    QSqlQuery query(db);
    if (!execOrFault(query, QStringLiteral("SELECT channel_code, channel_name FROM lp_channel_names"),
                     doing, fault))
        return false;
    std::map<int, QString> stored;
    while (query.next())
        stored[query.value(0).toInt()] = query.value(1).toString();
    query.finish();

    std::vector<int> differing;
    for (const int code : lpdata::LPChannelCodes()) {
        const auto found = stored.find(code);
        if (found == stored.end() || found->second != lpdata::LPDataName(code))
            differing.push_back(code);
    }
    if (differing.empty())
        return true;

    return inWriteTransaction(db, dialect, doing, fault, [&] {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO lp_channel_names (channel_code, channel_name) VALUES (?, ?) "
                                      "ON CONFLICT (channel_code) DO UPDATE SET channel_name = excluded.channel_name"));
        for (const int code : differing) {
            insert.addBindValue(code);
            insert.addBindValue(lpdata::LPDataName(code));
            if (!execOrFault(insert, doing, fault))
                return false;
        }
        return true;
    });
}

} // namespace archive
