#pragma once

#include "archive/sql_fault.h"

#include <QSqlDatabase>
#include <QString>

#include <map>
#include <span>
#include <vector>

// The rows every record refers to: its meter's group (lp_meter_groups) and
// the group's settings it was recorded with (lp_layouts: the interval and
// the channel codes in column order, one row per column in
// lp_layout_channels). A record row holds the values of its columns in
// v0 .. v11.
namespace archive {

inline constexpr int kValueColumns = 12;

// "v0, v1, ..., v11", optionally each with a prefix ("r.").
QString valueColumnList(const QString &prefix = QString());

// The id of the meter's group; 0 when it has none and create is false.
bool seriesId(QSqlDatabase &db, const QString &meterSerial, int groupNumber, bool create, qint64 *id,
              SqlFault *fault);

struct Layout {
    int intervalSeconds = 0; // 0: not known
    std::vector<int> codes;  // in column order
};

// The id of the layout, made when missing (inside the caller's transaction).
bool layoutId(QSqlDatabase &db, const Layout &layout, qint64 *id, SqlFault *fault);

// Every layout by id.
bool readLayouts(QSqlDatabase &db, std::map<qint64, Layout> *layouts, SqlFault *fault);

} // namespace archive
