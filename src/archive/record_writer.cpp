#include "archive/record_writer.h"

#include "archive/archive_series.h"
#include "archive/stamp_text.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <map>
#include <cmath>

namespace archive {

namespace {

// A record's values as the archive keeps them (fixedValue), NaN for none.
using Fixed = std::vector<double>;

Fixed fixedValues(const std::vector<double> &values)
{
    Fixed fixed;
    fixed.reserve(values.size());
    for (const double value : values)
        fixed.push_back(fixedValue(value).value_or(std::nan("")));
    return fixed;
}

bool sameValues(const Fixed &a, const Fixed &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}

// An archived record of a stamp, to match one coming in with.
struct Archived {
    int occurrence = 0;
    std::optional<long long> meterRecord;
    qint64 layout = 0;
    Fixed values;
    bool matched = false; // taken by a record of this block
};

// The archived records of the group from the first to the last stamp, by
// stamp, each stamp's in their order.
bool readArchived(QSqlDatabase &db, qint64 series, const QString &first, const QString &last,
                  QHash<QString, std::vector<Archived>> *archived, SqlFault *fault)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT recorded_at, occurrence, meter_record, layout_id, %1 FROM lp_records "
                                 "WHERE series_id = ? AND recorded_at BETWEEN ? AND ? "
                                 "ORDER BY recorded_at, occurrence")
                      .arg(valueColumnList()));
    query.addBindValue(series);
    query.addBindValue(first);
    query.addBindValue(last);
    if (!execOrFault(query, QStringLiteral("read the stored records"), fault))
        return false;
    while (query.next()) {
        Archived one;
        one.occurrence = query.value(1).toInt();
        if (!query.value(2).isNull())
            one.meterRecord = query.value(2).toLongLong();
        one.layout = query.value(3).toLongLong();
        for (int i = 0; i < kValueColumns; ++i) {
            const QVariant v = query.value(4 + i);
            one.values.push_back(v.isNull() ? std::nan("") : v.toDouble());
        }
        (*archived)[query.value(0).toString()].push_back(std::move(one));
    }
    return true;
}

// The stamp of the record before the block's first in the meter's order,
// when the archive holds it: the one of the record number before, or else
// the latest stamp before the first's.
bool readPrevious(QSqlDatabase &db, qint64 series, const RecordBlock &block, const QString &firstStamp,
                  std::optional<long long> *previous, SqlFault *fault)
{
    QSqlQuery query(db);
    QString stamp;
    if (block.firstRecord && *block.firstRecord > 1) {
        query.prepare(QStringLiteral("SELECT MAX(recorded_at) FROM lp_records WHERE series_id = ? AND meter_record = ?"));
        query.addBindValue(series);
        query.addBindValue(*block.firstRecord - 1);
        if (!execOrFault(query, QStringLiteral("read the record before"), fault))
            return false;
        if (query.next() && !query.value(0).isNull())
            stamp = query.value(0).toString();
    }
    if (stamp.isEmpty()) {
        query.prepare(QStringLiteral("SELECT MAX(recorded_at) FROM lp_records WHERE series_id = ? AND recorded_at < ?"));
        query.addBindValue(series);
        query.addBindValue(firstStamp);
        if (!execOrFault(query, QStringLiteral("read the record before"), fault))
            return false;
        if (query.next() && !query.value(0).isNull())
            stamp = query.value(0).toString();
    }
    lpdata::Record fields;
    if (!stamp.isEmpty() && readStampText(stamp, &fields))
        *previous = stampSeconds(fields);
    return true;
}

// The archived record an incoming one is: the same number (read from the
// meter before), or else, not yet numbered or coming from a file, the
// first of the stamp with the same values not taken yet.
Archived *matching(std::vector<Archived> &archived, const std::map<qint64, Layout> &layouts,
                   std::span<const int> codes, const Fixed &values, std::optional<long long> number)
{
    const auto same = [&](const Archived &a) {
        const auto layout = layouts.find(a.layout);
        return !a.matched && layout != layouts.end()
               && std::equal(codes.begin(), codes.end(), layout->second.codes.begin(), layout->second.codes.end())
               && sameValues(a.values, values);
    };
    if (number) {
        for (Archived &a : archived)
            if (a.meterRecord == number && same(a))
                return &a;
    }
    for (Archived &a : archived)
        if (same(a) && (!number || !a.meterRecord))
            return &a;
    return nullptr;
}

QVariant nullable(const std::optional<long long> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qlonglong>());
}

} // namespace

std::optional<QString> recordsProblem(const RecordBlock &block)
{
    if (block.meterSerial.isEmpty())
        return QStringLiteral("no meter serial number");
    if (block.groupNumber != 1 && block.groupNumber != 2)
        return QStringLiteral("group %1 does not exist (1 or 2)").arg(block.groupNumber);
    const std::span<const int> codes = block.channelCodes;
    if (codes.empty() || codes.size() > std::size_t(lpdata::kMaxChannels))
        return QStringLiteral("%1 channel codes; a group records 1 to %2")
            .arg(codes.size())
            .arg(lpdata::kMaxChannels);
    for (auto code = codes.begin(); code != codes.end(); ++code) {
        if (std::find(codes.begin(), code, *code) != code)
            return QStringLiteral("channel code %1 is given twice").arg(*code);
    }
    if (!block.given.empty() && block.given.size() != block.records.size())
        return QStringLiteral("flags for %1 of %2 records").arg(block.given.size()).arg(block.records.size());
    for (std::size_t i = 0; i < block.records.size(); ++i) {
        if (block.records[i].values.size() != codes.size())
            return QStringLiteral("record %1 holds %2 values for %3 channels")
                .arg(i + 1)
                .arg(block.records[i].values.size())
                .arg(codes.size());
        if (!lpdata::hasValidStamp(block.records[i]))
            return QStringLiteral("record %1 has no valid date and time").arg(i + 1);
    }
    return std::nullopt;
}

bool writeRecords(QSqlDatabase &db, const RecordBlock &block, StoreResult *counts, SqlFault *fault)
{
    const std::span<const lpdata::Record> records = block.records;
    if (records.empty())
        return true;
    QStringList stamps;
    stamps.reserve(qsizetype(records.size()));
    for (const lpdata::Record &record : records)
        stamps << stampText(record);
    const auto [first, last] = std::minmax_element(stamps.cbegin(), stamps.cend());

    qint64 series = 0;
    qint64 layout = 0;
    QHash<QString, std::vector<Archived>> archived;
    std::map<qint64, Layout> layouts;
    std::optional<long long> previous = block.previousStamp;
    if (!seriesId(db, block.meterSerial, block.groupNumber, true, &series, fault)
        || !layoutId(db, {block.intervalSeconds, {block.channelCodes.begin(), block.channelCodes.end()}}, &layout,
                     fault)
        || !readLayouts(db, &layouts, fault)
        || !readArchived(db, series, *first, *last, &archived, fault)
        || (!previous && !readPrevious(db, series, block, stamps.front(), &previous, fault)))
        return false;

    const QString doing =
        QStringLiteral("store the records of %1, group %2").arg(block.meterSerial).arg(block.groupNumber);
    QStringList marks;
    for (int i = 0; i < 7 + kValueColumns; ++i)
        marks << QStringLiteral("?");
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO lp_records (series_id, recorded_at, occurrence, meter_record, flags, "
                                  "gap_before, layout_id, %1) VALUES (%2)")
                       .arg(valueColumnList(), marks.join(u',')));
    QSqlQuery number(db);
    number.prepare(QStringLiteral("UPDATE lp_records SET meter_record = ? "
                                  "WHERE series_id = ? AND recorded_at = ? AND occurrence = ?"));

    for (std::size_t r = 0; r < records.size(); ++r) {
        const QString &stamp = stamps[qsizetype(r)];
        const long long seconds = stampSeconds(records[r]);
        const std::optional<long long> meterRecord =
            block.firstRecord ? std::optional(*block.firstRecord + (long long)r) : std::nullopt;
        std::vector<Archived> &ofStamp = archived[stamp];
        Fixed padded = fixedValues(records[r].values);
        padded.resize(kValueColumns, std::nan(""));
        if (Archived *same = matching(ofStamp, layouts, block.channelCodes, padded, meterRecord)) {
            same->matched = true;
            if (meterRecord && !same->meterRecord) {
                number.addBindValue(*meterRecord);
                number.addBindValue(series);
                number.addBindValue(stamp);
                number.addBindValue(same->occurrence);
                if (!execOrFault(number, doing, fault))
                    return false;
                same->meterRecord = meterRecord;
            }
            ++counts->unchanged;
            previous = seconds;
            continue;
        }

        int occurrence = 0;
        for (const Archived &a : ofStamp)
            occurrence = std::max(occurrence, a.occurrence + 1);
        RecordQuality quality = intervalQuality(previous, seconds, block.intervalSeconds, occurrence);
        if (!block.given.empty()) {
            quality.flags = block.given[r].flags;
            quality.gapBefore = block.given[r].gapBefore;
        }
        insert.addBindValue(series);
        insert.addBindValue(stamp);
        insert.addBindValue(occurrence);
        insert.addBindValue(nullable(meterRecord));
        insert.addBindValue(quality.flags);
        insert.addBindValue(quality.gapBefore);
        insert.addBindValue(layout);
        for (const double value : padded)
            insert.addBindValue(std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value));
        if (!execOrFault(insert, doing, fault))
            return false;
        ++counts->added;
        if (occurrence > 0)
            ++counts->repeated;
        // A later record of the same stamp in this block comes after this one.
        ofStamp.push_back({occurrence, meterRecord, layout, std::move(padded), true});
        previous = seconds;
    }

    if (block.firstRecord) {
        QSqlQuery mark(db);
        mark.prepare(QStringLiteral("UPDATE lp_meter_groups SET last_record = ?, last_recorded_at = ? WHERE series_id = ?"));
        mark.addBindValue(*block.firstRecord + (long long)records.size() - 1);
        mark.addBindValue(stamps.back());
        mark.addBindValue(series);
        if (!execOrFault(mark, doing, fault))
            return false;
    }
    return true;
}

} // namespace archive
