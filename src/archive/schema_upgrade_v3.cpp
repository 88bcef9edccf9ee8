#include "archive/schema_steps.h"

#include "archive/archive_series.h"
#include "archive/interval_quality.h"
#include "archive/stamp_text.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <map>

namespace archive {

namespace {

const QString kDoing = QStringLiteral("bring the archive's records to version 3");

QStringList newTables(const SqlDialect &dialect)
{
    QStringList values;
    for (int i = 0; i < kValueColumns; ++i)
        values << QStringLiteral("v%1 DOUBLE PRECISION").arg(i);
    return {
        QStringLiteral("CREATE TABLE lp_meter_groups ("
                       "series_id %1, "
                       "meter_serial TEXT NOT NULL, "
                       "lp_group INTEGER NOT NULL CHECK (lp_group IN (1, 2)), "
                       "last_record BIGINT, "
                       "last_recorded_at TEXT, "
                       "UNIQUE (meter_serial, lp_group))")
            .arg(dialect.idColumn),
        QStringLiteral("CREATE TABLE lp_layouts ("
                       "layout_id %1, "
                       "interval_seconds INTEGER NOT NULL, "
                       "channel_codes TEXT NOT NULL, "
                       "UNIQUE (interval_seconds, channel_codes))")
            .arg(dialect.idColumn),
        QStringLiteral("CREATE TABLE lp_layout_channels ("
                       "layout_id BIGINT NOT NULL REFERENCES lp_layouts (layout_id), "
                       "column_index INTEGER NOT NULL CHECK (column_index BETWEEN 0 AND 11), "
                       "channel_code INTEGER NOT NULL, "
                       "PRIMARY KEY (layout_id, column_index))%1")
            .arg(dialect.compactKeyTable),
        // Made beside version 2's table and renamed once that is gone: a
        // server names a table's indexes after it.
        QStringLiteral("CREATE TABLE lp_records_v3 ("
                       "series_id BIGINT NOT NULL REFERENCES lp_meter_groups (series_id), "
                       "recorded_at TEXT NOT NULL, "
                       "occurrence INTEGER NOT NULL CHECK (occurrence >= 0), "
                       "meter_record BIGINT, "
                       "flags INTEGER NOT NULL, "
                       "gap_before BIGINT NOT NULL, "
                       "layout_id BIGINT NOT NULL REFERENCES lp_layouts (layout_id), "
                       "%1, "
                       "PRIMARY KEY (series_id, recorded_at, occurrence))%2")
            .arg(values.join(QStringLiteral(", ")), dialect.compactKeyTable),
    };
}

QString valuesView()
{
    QStringList cases;
    for (int i = 0; i < kValueColumns; ++i)
        cases << QStringLiteral("WHEN %1 THEN r.v%1").arg(i);
    return QStringLiteral("CREATE VIEW lp_values AS "
                       "SELECT s.meter_serial, s.lp_group, r.recorded_at, r.occurrence, r.flags, r.gap_before, "
                       "c.channel_code, n.channel_name, "
                       "(CASE c.column_index %1 END) / 10000.0 AS value "
                       "FROM lp_records r "
                       "JOIN lp_meter_groups s ON s.series_id = r.series_id "
                       "JOIN lp_layout_channels c ON c.layout_id = r.layout_id "
                       "LEFT JOIN lp_channel_names n ON n.channel_code = c.channel_code")
        .arg(cases.join(u' '));
}

// One record of version 2.
struct OldRecord {
    QString stamp;
    std::optional<long long> seconds; // nothing for a malformed stamp
    std::vector<int> codes;
    std::vector<QVariant> values;
};

class Copier {
public:
    Copier(QSqlDatabase &db, SqlFault *fault) : db_(db), fault_(fault), insert_(db)
    {
        QStringList marks;
        for (int i = 0; i < 7 + kValueColumns; ++i)
            marks << QStringLiteral("?");
        insert_.prepare(QStringLiteral("INSERT INTO lp_records_v3 (series_id, recorded_at, occurrence, meter_record, "
                                       "flags, gap_before, layout_id, %1) VALUES (%2)")
                            .arg(valueColumnList(), marks.join(u',')));
    }

    bool copy(const QString &serial, int group, const std::vector<OldRecord> &records)
    {
        qint64 series = 0;
        if (records.empty() || !seriesId(db_, serial, group, true, &series, fault_))
            return records.empty();
        std::vector<long long> seconds;
        for (const OldRecord &record : records)
            if (record.seconds)
                seconds.push_back(*record.seconds);
        const int interval = intervalOfStamps(seconds);
        std::optional<long long> previous;
        for (const OldRecord &record : records) {
            RecordQuality quality;
            if (record.seconds) {
                quality = intervalQuality(previous, *record.seconds, interval, 0);
                previous = record.seconds;
            }
            qint64 &layout = layouts_[{interval, record.codes}];
            if (layout == 0 && !layoutId(db_, {interval, record.codes}, &layout, fault_))
                return false;
            insert_.addBindValue(series);
            insert_.addBindValue(record.stamp);
            insert_.addBindValue(0);
            insert_.addBindValue(QVariant(QMetaType::fromType<qlonglong>()));
            insert_.addBindValue(quality.flags);
            insert_.addBindValue(quality.gapBefore);
            insert_.addBindValue(layout);
            for (int i = 0; i < kValueColumns; ++i) {
                const QVariant value = std::size_t(i) < record.values.size() ? record.values[std::size_t(i)]
                                                                             : QVariant();
                const std::optional<double> fixed =
                    value.isNull() ? std::nullopt : fixedValue(value.toDouble());
                insert_.addBindValue(fixed ? QVariant(*fixed) : QVariant(QMetaType::fromType<double>()));
            }
            if (!execOrFault(insert_, kDoing, fault_))
                return false;
        }
        return true;
    }

private:
    QSqlDatabase &db_;
    SqlFault *fault_;
    QSqlQuery insert_;
    std::map<std::pair<int, std::vector<int>>, qint64> layouts_;
};

} // namespace

bool upgradeToVersion3(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault)
{
    QSqlQuery query(db);
    if (!execOrFault(query, QStringLiteral("DROP VIEW lp_values"), kDoing, fault))
        return false;
    for (const QString &sql : newTables(dialect))
        if (!execOrFault(query, sql, kDoing, fault))
            return false;

    // Group by group, each read whole before it is copied (a server's
    // driver hands a query's rows out as they come, and a statement run
    // meanwhile would cut them off): the records in the order of their
    // stamps, each with its values in column order.
    std::vector<std::pair<QString, int>> groups;
    if (!execOrFault(query, QStringLiteral("SELECT DISTINCT meter_serial, lp_group FROM lp_records"), kDoing, fault))
        return false;
    while (query.next())
        groups.emplace_back(query.value(0).toString(), query.value(1).toInt());
    query.finish();
    Copier copier(db, fault);
    for (const auto &[serial, group] : groups) {
        QSqlQuery old(db);
        old.setForwardOnly(true);
        old.prepare(QStringLiteral("SELECT r.record_id, r.recorded_at, v.channel_code, v.value FROM lp_records r "
                                   "LEFT JOIN lp_record_values v ON v.record_id = r.record_id "
                                   "WHERE r.meter_serial = ? AND r.lp_group = ? "
                                   "ORDER BY r.recorded_at, v.column_index"));
        old.addBindValue(serial);
        old.addBindValue(group);
        if (!execOrFault(old, kDoing, fault))
            return false;
        qint64 recordId = -1;
        std::vector<OldRecord> records;
        while (old.next()) {
            const qint64 id = old.value(0).toLongLong();
            if (id != recordId) {
                OldRecord record;
                record.stamp = old.value(1).toString();
                lpdata::Record fields;
                if (readStampText(record.stamp, &fields))
                    record.seconds = stampSeconds(fields);
                records.push_back(std::move(record));
                recordId = id;
            }
            if (!old.value(2).isNull() && records.back().codes.size() < std::size_t(kValueColumns)) {
                records.back().codes.push_back(old.value(2).toInt());
                records.back().values.push_back(old.value(3));
            }
        }
        old.finish();
        if (!copier.copy(serial, group, records))
            return false;
    }
    for (const QString &sql : {QStringLiteral("DROP TABLE lp_record_values"), QStringLiteral("DROP TABLE lp_records"),
                               QStringLiteral("ALTER TABLE lp_records_v3 RENAME TO lp_records"), valuesView()})
        if (!execOrFault(query, sql, kDoing, fault))
            return false;
    return true;
}

} // namespace archive
