#include "archive/record_writer.h"

#include "archive/stamp_text.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace archive {

namespace {

// A record as the archive holds it, to compare with one coming in.
struct StoredContent {
    qint64 recordId = 0;
    std::vector<int> codes;
    std::vector<double> values;
};

bool sameContent(const StoredContent &stored, std::span<const int> codes, const std::vector<double> &values)
{
    if (!std::equal(stored.codes.begin(), stored.codes.end(), codes.begin(), codes.end())
        || stored.values.size() != values.size())
        return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (loadprofile::valueText(stored.values[i]) != loadprofile::valueText(values[i]))
            return false;
    }
    return true;
}

// A value as a bound parameter: NULL for one that is not a finite number
// (SQLite would make NULL of a NaN anyway; another database would keep it).
QVariant valueParameter(double value)
{
    return std::isfinite(value) ? QVariant(value) : QVariant(QMetaType::fromType<double>());
}

// The stored records of the meter's group from the first to the last stamp,
// by stamp.
bool readStored(QSqlDatabase &db, const QString &serial, int group, const QString &first,
                const QString &last, QHash<QString, StoredContent> *stored, SqlFault *fault)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT r.record_id, r.recorded_at, v.channel_code, v.value FROM lp_records r "
        "JOIN lp_record_values v ON v.record_id = r.record_id "
        "WHERE r.meter_serial = ? AND r.lp_group = ? AND r.recorded_at BETWEEN ? AND ? "
        "ORDER BY r.record_id, v.column_index"));
    query.addBindValue(serial);
    query.addBindValue(group);
    query.addBindValue(first);
    query.addBindValue(last);
    if (!execOrFault(query, QStringLiteral("read the stored records"), fault))
        return false;
    StoredContent *current = nullptr;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (!current || current->recordId != id) {
            current = &(*stored)[query.value(1).toString()];
            current->recordId = id;
        }
        current->codes.push_back(query.value(2).toInt());
        const QVariant value = query.value(3);
        current->values.push_back(value.isNull() ? std::nan("") : value.toDouble());
    }
    return true;
}

// The prepared statements of one write: the record row (new, or kept under
// its id when replaced), clearing a replaced record's values, and all values
// of one record in one statement.
struct Statements {
    QSqlQuery upsertRecord;
    QSqlQuery clearValues;
    QSqlQuery insertValues;

    Statements(QSqlDatabase &db, std::size_t channels)
        : upsertRecord(db), clearValues(db), insertValues(db)
    {
        upsertRecord.prepare(QStringLiteral(
            "INSERT INTO lp_records (meter_serial, lp_group, recorded_at, channel_count) "
            "VALUES (?, ?, ?, ?) "
            "ON CONFLICT (meter_serial, lp_group, recorded_at) "
            "DO UPDATE SET channel_count = excluded.channel_count "
            "RETURNING record_id"));
        clearValues.prepare(QStringLiteral("DELETE FROM lp_record_values WHERE record_id = ?"));
        QStringList rows;
        for (std::size_t i = 0; i < channels; ++i)
            rows << QStringLiteral("(?, ?, ?, ?)");
        insertValues.prepare(QStringLiteral("INSERT INTO lp_record_values "
                                            "(record_id, channel_code, column_index, value) VALUES ")
                             + rows.join(QLatin1Char(',')));
    }
};

} // namespace

std::optional<QString> recordsProblem(const QString &meterSerial, int groupNumber,
                                      std::span<const int> channelCodes,
                                      std::span<const loadprofile::Record> records)
{
    if (meterSerial.isEmpty())
        return QStringLiteral("no meter serial number");
    if (groupNumber != 1 && groupNumber != 2)
        return QStringLiteral("group %1 does not exist (1 or 2)").arg(groupNumber);
    if (channelCodes.empty() || channelCodes.size() > std::size_t(loadprofile::kMaxChannels))
        return QStringLiteral("%1 channel codes; a group records 1 to %2")
            .arg(channelCodes.size())
            .arg(loadprofile::kMaxChannels);
    for (auto code = channelCodes.begin(); code != channelCodes.end(); ++code) {
        if (std::find(channelCodes.begin(), code, *code) != code)
            return QStringLiteral("channel code %1 is given twice").arg(*code);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].values.size() != channelCodes.size())
            return QStringLiteral("record %1 holds %2 values for %3 channels")
                .arg(i + 1)
                .arg(records[i].values.size())
                .arg(channelCodes.size());
        if (!loadprofile::hasValidStamp(records[i]))
            return QStringLiteral("record %1 has no valid date and time").arg(i + 1);
    }
    return std::nullopt;
}

bool writeRecords(QSqlDatabase &db, const QString &meterSerial, int groupNumber,
                  std::span<const int> channelCodes, std::span<const loadprofile::Record> records,
                  StoreResult *counts, SqlFault *fault)
{
    if (records.empty())
        return true;
    QStringList stamps;
    stamps.reserve(qsizetype(records.size()));
    for (const loadprofile::Record &record : records)
        stamps << stampText(record);
    const auto [first, last] = std::minmax_element(stamps.cbegin(), stamps.cend());

    QHash<QString, StoredContent> stored;
    if (!readStored(db, meterSerial, groupNumber, *first, *last, &stored, fault))
        return false;

    const QString doing = QStringLiteral("store the records of %1, group %2").arg(meterSerial).arg(groupNumber);
    Statements statements(db, channelCodes.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
        const std::vector<double> &values = records[r].values;
        const auto found = stored.find(stamps[qsizetype(r)]);
        if (found != stored.end() && sameContent(*found, channelCodes, values)) {
            ++counts->unchanged;
            continue;
        }

        QSqlQuery &upsert = statements.upsertRecord;
        upsert.addBindValue(meterSerial);
        upsert.addBindValue(groupNumber);
        upsert.addBindValue(stamps[qsizetype(r)]);
        upsert.addBindValue(int(channelCodes.size()));
        if (!execOrFault(upsert, doing, fault))
            return false;
        if (!upsert.next()) {
            *fault = {doing, QSqlError(QStringLiteral("the record's number did not come back"))};
            return false;
        }
        const qint64 id = upsert.value(0).toLongLong();
        upsert.finish();

        if (found != stored.end()) {
            statements.clearValues.addBindValue(id);
            if (!execOrFault(statements.clearValues, doing, fault))
                return false;
            ++counts->replaced;
        } else {
            ++counts->added;
        }

        QSqlQuery &insert = statements.insertValues;
        for (std::size_t c = 0; c < channelCodes.size(); ++c) {
            insert.addBindValue(id);
            insert.addBindValue(channelCodes[c]);
            insert.addBindValue(int(c));
            insert.addBindValue(valueParameter(values[c]));
        }
        if (!execOrFault(insert, doing, fault))
            return false;
        // A later record of the same stamp in this batch compares with this one.
        stored[stamps[qsizetype(r)]] = {id, std::vector<int>(channelCodes.begin(), channelCodes.end()), values};
    }
    return true;
}

} // namespace archive
