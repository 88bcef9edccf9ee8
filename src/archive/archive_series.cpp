#include "archive/archive_series.h"

#include "lpdata/channel_codes.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace archive {

QString valueColumnList(const QString &prefix)
{
    QStringList columns;
    for (int i = 0; i < kValueColumns; ++i)
        columns << QStringLiteral("%1v%2").arg(prefix).arg(i);
    return columns.join(QStringLiteral(", "));
}

bool seriesId(QSqlDatabase &db, const QString &meterSerial, int groupNumber, bool create, qint64 *id,
              SqlFault *fault)
{
    const QString doing = QStringLiteral("find the meter %1, group %2").arg(meterSerial).arg(groupNumber);
    QSqlQuery query(db);
    for (int attempt = 0; attempt < 2; ++attempt) {
        query.prepare(QStringLiteral("SELECT series_id FROM lp_meter_groups WHERE meter_serial = ? AND lp_group = ?"));
        query.addBindValue(meterSerial);
        query.addBindValue(groupNumber);
        if (!execOrFault(query, doing, fault))
            return false;
        if (query.next()) {
            *id = query.value(0).toLongLong();
            return true;
        }
        *id = 0;
        if (!create || attempt > 0)
            return true;
        // Another writer (a worker of a fleet) may make the same row at the
        // same moment: its row, once committed, is the one.
        query.prepare(QStringLiteral("INSERT INTO lp_meter_groups (meter_serial, lp_group) VALUES (?, ?) "
                                     "ON CONFLICT (meter_serial, lp_group) DO NOTHING"));
        query.addBindValue(meterSerial);
        query.addBindValue(groupNumber);
        if (!execOrFault(query, doing, fault))
            return false;
    }
    *fault = {doing, QSqlError(QStringLiteral("the meter's group was not made"))};
    return false;
}

bool layoutId(QSqlDatabase &db, const Layout &layout, qint64 *id, SqlFault *fault)
{
    const QString doing = QStringLiteral("keep the group's settings");
    const QString codes = lpdata::channelCodesText(layout.codes);
    QSqlQuery query(db);
    const auto select = [&] {
        query.prepare(QStringLiteral("SELECT layout_id FROM lp_layouts WHERE interval_seconds = ? AND channel_codes = ?"));
        query.addBindValue(layout.intervalSeconds);
        query.addBindValue(codes);
        return execOrFault(query, doing, fault);
    };
    if (!select())
        return false;
    if (query.next()) {
        *id = query.value(0).toLongLong();
        return true;
    }
    // Made by another writer meanwhile: no row comes back, and its row
    // (with its channels) is read once it is committed.
    query.prepare(QStringLiteral("INSERT INTO lp_layouts (interval_seconds, channel_codes) VALUES (?, ?) "
                                 "ON CONFLICT (interval_seconds, channel_codes) DO NOTHING RETURNING layout_id"));
    query.addBindValue(layout.intervalSeconds);
    query.addBindValue(codes);
    if (!execOrFault(query, doing, fault))
        return false;
    if (!query.next()) {
        if (!select())
            return false;
        if (!query.next()) {
            *fault = {doing, QSqlError(QStringLiteral("the layout's number did not come back"))};
            return false;
        }
        *id = query.value(0).toLongLong();
        return true;
    }
    *id = query.value(0).toLongLong();
    query.finish();
    QSqlQuery column(db);
    column.prepare(QStringLiteral("INSERT INTO lp_layout_channels (layout_id, column_index, channel_code) "
                                  "VALUES (?, ?, ?)"));
    for (std::size_t i = 0; i < layout.codes.size(); ++i) {
        column.addBindValue(*id);
        column.addBindValue(int(i));
        column.addBindValue(layout.codes[i]);
        if (!execOrFault(column, doing, fault))
            return false;
    }
    return true;
}

bool readLayouts(QSqlDatabase &db, std::map<qint64, Layout> *layouts, SqlFault *fault)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!execOrFault(query,
                     QStringLiteral("SELECT l.layout_id, l.interval_seconds, c.channel_code FROM lp_layouts l "
                                    "JOIN lp_layout_channels c ON c.layout_id = l.layout_id "
                                    "ORDER BY l.layout_id, c.column_index"),
                     QStringLiteral("read the groups' settings"), fault))
        return false;
    while (query.next()) {
        Layout &layout = (*layouts)[query.value(0).toLongLong()];
        layout.intervalSeconds = query.value(1).toInt();
        layout.codes.push_back(query.value(2).toInt());
    }
    return true;
}

} // namespace archive
