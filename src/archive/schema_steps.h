#pragma once

#include "archive/sql_dialect.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

// Steps of the archive's tables that move data, run inside the transaction
// of their version (archive/archive_schema.cpp).
namespace archive {

// Version 3: a record is kept by its stamp and occurrence, never replaced,
// with its quality flags and one row per record holding its values; the
// meters' groups and their settings in tables of their own. The records of
// version 2 are copied over whole: each one the first of its stamp, its gap
// and grid flags reckoned with the interval its group's stamps show.
bool upgradeToVersion3(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault);

} // namespace archive
