#include "archive/stored_records.h"

#include "archive/stamp_text.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cmath>

namespace archive {

namespace {

// Below and above every stored stamp "YYYY-MM-DD HH:MM:SS".
const QLatin1String kBeforeAll("0000");
const QLatin1String kAfterAll("9999");

} // namespace

std::optional<std::pair<QString, QString>> stampBounds(const TimeRange &range)
{
    if ((range.since && !range.since->isValid()) || (range.until && !range.until->isValid()))
        return std::nullopt;
    return std::pair(range.since ? dateTimeText(*range.since) : QString(kBeforeAll),
                     range.until ? dateTimeText(*range.until) : QString(kAfterAll));
}

bool readStoredRecords(QSqlDatabase &db, const QString &meterSerial, int groupNumber,
                       const std::pair<QString, QString> &bounds, std::span<const int> onlyChannels,
                       std::vector<StoredRecord> *records, SqlFault *fault)
{
    QStringList marks;
    for (std::size_t i = 0; i < onlyChannels.size(); ++i)
        marks << QStringLiteral("?");
    const QString channelFilter =
        onlyChannels.empty() ? QString() : QStringLiteral(" AND v.channel_code IN (%1)").arg(marks.join(u','));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT r.record_id, r.recorded_at, r.channel_count, v.channel_code, v.value "
                                 "FROM lp_records r JOIN lp_record_values v ON v.record_id = r.record_id "
                                 "WHERE r.meter_serial = ? AND r.lp_group = ? "
                                 "AND r.recorded_at >= ? AND r.recorded_at <= ?%1 "
                                 "ORDER BY r.recorded_at, v.column_index")
                      .arg(channelFilter));
    query.addBindValue(meterSerial);
    query.addBindValue(groupNumber);
    query.addBindValue(bounds.first);
    query.addBindValue(bounds.second);
    for (const int code : onlyChannels)
        query.addBindValue(code);
    const QString doing = QStringLiteral("read the records of %1, group %2").arg(meterSerial).arg(groupNumber);
    if (!execOrFault(query, doing, fault))
        return false;

    const auto damaged = [&](const QString &what) {
        *fault = {doing, QSqlError(what)};
        return false;
    };
    qint64 currentId = -1;
    qint64 channelCount = 0;
    const auto complete = [&] {
        return records->empty() || !onlyChannels.empty()
               || qint64(records->back().codes.size()) == channelCount;
    };
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (id != currentId) {
            if (!complete())
                return damaged(QStringLiteral("the record of %1 lacks values").arg(stampText(records->back().record)));
            StoredRecord next;
            const QString stamp = query.value(1).toString();
            if (!readStampText(stamp, &next.record))
                return damaged(QStringLiteral("a record's time stamp \"%1\" is malformed").arg(stamp.left(40)));
            records->push_back(std::move(next));
            currentId = id;
            channelCount = query.value(2).toLongLong();
        }
        StoredRecord &record = records->back();
        if (qint64(record.codes.size()) >= channelCount)
            return damaged(QStringLiteral("the record of %1 holds more values than channels")
                               .arg(stampText(record.record)));
        record.codes.push_back(query.value(3).toInt());
        const QVariant value = query.value(4);
        record.record.values.push_back(value.isNull() ? std::nan("") : value.toDouble());
    }
    if (!complete())
        return damaged(QStringLiteral("the record of %1 lacks values").arg(stampText(records->back().record)));
    return true;
}

} // namespace archive
