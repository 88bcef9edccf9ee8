// The archive's reads: the newest record, where the last download ended, the
// meters held, a group's channels, a chart's records.
#include "archive/archive_store.h"

#include "archive/stamp_text.h"
#include "archive/stored_records.h"

#include "archive/sql_fault.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace archive {

namespace {

// A stored stamp as a date time; invalid for a malformed one.
QDateTime stampAsDateTime(const QString &text)
{
    lpdata::Record record;
    return readStampText(text, &record) ? stampDateTime(record) : QDateTime();
}

} // namespace

std::optional<QDateTime> ArchiveStore::newestRecord(const QString &meterSerial, int groupNumber,
                                                    QString *error) const
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT MAX(r.recorded_at) FROM lp_records r "
                                 "JOIN lp_meter_groups s ON s.series_id = r.series_id "
                                 "WHERE s.meter_serial = ? AND s.lp_group = ?"));
    query.addBindValue(meterSerial);
    query.addBindValue(groupNumber);
    SqlFault fault;
    if (!execOrFault(query, QStringLiteral("read the newest record of %1").arg(meterSerial), &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    if (!query.next() || query.value(0).isNull())
        return QDateTime();
    const QString stamp = query.value(0).toString();
    const QDateTime newest = stampAsDateTime(stamp);
    if (!newest.isValid()) {
        setError(error, QStringLiteral("The archive holds a malformed time stamp \"%1\"").arg(stamp.left(40)));
        return std::nullopt;
    }
    return newest;
}

std::optional<std::optional<DownloadMark>> ArchiveStore::downloadMark(const QString &meterSerial, int groupNumber,
                                                                      QString *error) const
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT last_record, last_recorded_at FROM lp_meter_groups "
                                 "WHERE meter_serial = ? AND lp_group = ?"));
    query.addBindValue(meterSerial);
    query.addBindValue(groupNumber);
    SqlFault fault;
    if (!execOrFault(query, QStringLiteral("read where the last download of %1 ended").arg(meterSerial), &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    if (!query.next() || query.value(0).isNull())
        return std::optional<DownloadMark>();
    const QDateTime stamp = stampAsDateTime(query.value(1).toString());
    if (!stamp.isValid())
        return std::optional<DownloadMark>();
    return std::optional(DownloadMark{query.value(0).toLongLong(), stamp});
}

std::optional<lpdata::ArchivedEnd> ArchiveStore::archivedEnd(const QString &meterSerial, int groupNumber,
                                                                  QString *error) const
{
    const auto newest = newestRecord(meterSerial, groupNumber, error);
    if (!newest)
        return std::nullopt;
    const auto mark = downloadMark(meterSerial, groupNumber, error);
    if (!mark)
        return std::nullopt;
    lpdata::ArchivedEnd end;
    end.newest = *newest;
    if (*mark && newest->isValid()) {
        end.lastRecord = (*mark)->record;
        end.lastRecordStamp = (*mark)->stamp;
    }
    return end;
}

std::optional<std::vector<MeterSummary>> ArchiveStore::meters(QString *error) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    SqlFault fault;
    if (!execOrFault(query,
                     QStringLiteral("SELECT s.meter_serial, s.lp_group, COUNT(*), MIN(r.recorded_at), "
                                    "MAX(r.recorded_at) FROM lp_records r "
                                    "JOIN lp_meter_groups s ON s.series_id = r.series_id "
                                    "GROUP BY s.meter_serial, s.lp_group ORDER BY s.meter_serial, s.lp_group"),
                     QStringLiteral("list the archive's meters"), &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    std::vector<MeterSummary> meters;
    while (query.next()) {
        meters.push_back({query.value(0).toString(), query.value(1).toInt(), query.value(2).toLongLong(),
                          stampAsDateTime(query.value(3).toString()),
                          stampAsDateTime(query.value(4).toString())});
    }
    return meters;
}

std::optional<std::vector<int>> ArchiveStore::channelCodes(const QString &meterSerial, int groupNumber,
                                                           QString *error) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT c.channel_code FROM lp_layout_channels c WHERE c.layout_id IN "
                                 "(SELECT DISTINCT r.layout_id FROM lp_records r "
                                 "JOIN lp_meter_groups s ON s.series_id = r.series_id "
                                 "WHERE s.meter_serial = ? AND s.lp_group = ?) "
                                 "GROUP BY c.channel_code ORDER BY MIN(c.column_index), c.channel_code"));
    query.addBindValue(meterSerial);
    query.addBindValue(groupNumber);
    SqlFault fault;
    if (!execOrFault(query, QStringLiteral("list the channels of %1, group %2").arg(meterSerial).arg(groupNumber),
                     &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    std::vector<int> codes;
    while (query.next())
        codes.push_back(query.value(0).toInt());
    return codes;
}

std::optional<std::vector<lpdata::Record>> ArchiveStore::records(const QString &meterSerial,
                                                                      int groupNumber,
                                                                      std::span<const int> channels,
                                                                      const TimeRange &range,
                                                                      QString *error,
                                                                      std::vector<RecordQuality> *quality) const
{
    const auto bounds = stampBounds(range);
    if (!bounds) {
        setError(error, QStringLiteral("The time range has an invalid end"));
        return std::nullopt;
    }
    if (channels.empty()) {
        setError(error, QStringLiteral("No channel asked for"));
        return std::nullopt;
    }
    std::vector<StoredRecord> stored;
    SqlFault fault;
    QSqlDatabase db = database();
    if (!readStoredRecords(db, meterSerial, groupNumber, *bounds, channels, &stored, &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    std::vector<lpdata::Record> records;
    records.reserve(stored.size());
    if (quality) {
        quality->clear();
        quality->reserve(stored.size());
    }
    for (StoredRecord &one : stored) {
        if (quality)
            quality->push_back(one.quality);
        std::vector<double> values(channels.size(), std::nan(""));
        for (std::size_t i = 0; i < one.codes->size() && i < one.record.values.size(); ++i) {
            const auto at = std::find(channels.begin(), channels.end(), (*one.codes)[i]);
            if (at != channels.end())
                values[std::size_t(at - channels.begin())] = one.record.values[i];
        }
        one.record.values = std::move(values);
        records.push_back(std::move(one.record));
    }
    return records;
}

} // namespace archive
