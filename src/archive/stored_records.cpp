#include "archive/stored_records.h"

#include "archive/archive_series.h"
#include "archive/stamp_text.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <map>

namespace archive {

namespace {

// Below and above every stored stamp "YYYY-MM-DD HH:MM:SS".
const QLatin1String kBeforeAll("0000");
const QLatin1String kAfterAll("9999");

bool holdsAny(const Layout &layout, std::span<const int> channels)
{
    return channels.empty() || std::any_of(layout.codes.begin(), layout.codes.end(), [&](int code) {
               return std::find(channels.begin(), channels.end(), code) != channels.end();
           });
}

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
    const QString doing = QStringLiteral("read the records of %1, group %2").arg(meterSerial).arg(groupNumber);
    qint64 series = 0;
    std::map<qint64, Layout> layouts;
    if (!seriesId(db, meterSerial, groupNumber, false, &series, fault) || !readLayouts(db, &layouts, fault))
        return false;
    if (series == 0)
        return true;
    // Only the value columns some layout fills: the driver fetches every column of a row.
    std::size_t columns = 1;
    for (const auto &[id, layout] : layouts)
        columns = std::max(columns, std::min(layout.codes.size(), std::size_t(kValueColumns)));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT recorded_at, occurrence, flags, gap_before, layout_id, %1 FROM lp_records "
                                 "WHERE series_id = ? AND recorded_at >= ? AND recorded_at <= ? "
                                 "ORDER BY recorded_at, occurrence")
                      .arg(valueColumnList().section(QStringLiteral(", "), 0, int(columns) - 1)));
    query.addBindValue(series);
    query.addBindValue(bounds.first);
    query.addBindValue(bounds.second);
    if (!execOrFault(query, doing, fault))
        return false;

    const auto damaged = [&](const QString &what) {
        *fault = {doing, QSqlError(what)};
        return false;
    };
    constexpr int kFirstValue = 5;
    std::map<qint64, std::shared_ptr<const std::vector<int>>> codesOf;
    for (const auto &[id, layout] : layouts)
        codesOf[id] = std::make_shared<const std::vector<int>>(layout.codes);
    while (query.next()) {
        const auto layout = layouts.find(query.value(4).toLongLong());
        const QString stamp = query.value(0).toString();
        if (layout == layouts.end())
            return damaged(QStringLiteral("the settings of the record of %1 are not stored").arg(stamp.left(40)));
        if (!holdsAny(layout->second, onlyChannels))
            continue;
        StoredRecord next;
        if (!readStampText(stamp, &next.record))
            return damaged(QStringLiteral("a record's time stamp \"%1\" is malformed").arg(stamp.left(40)));
        next.codes = codesOf[layout->first];
        next.quality.occurrence = query.value(1).toInt();
        next.quality.flags = query.value(2).toUInt();
        next.quality.gapBefore = query.value(3).toLongLong();
        next.quality.intervalSeconds = layout->second.intervalSeconds;
        next.record.values.reserve(next.codes->size());
        for (std::size_t i = 0; i < next.codes->size() && i < std::size_t(kValueColumns); ++i) {
            const QVariant value = query.value(kFirstValue + int(i));
            next.record.values.push_back(value.isNull() ? std::nan("") : valueOfFixed(value.toDouble()));
        }
        records->push_back(std::move(next));
    }
    return true;
}

} // namespace archive
