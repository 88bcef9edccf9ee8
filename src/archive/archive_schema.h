#pragma once

#include "archive/sql_dialect.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

// The archive's tables and their versions.
//
//   archive_version   (version)                      one row: the tables' version
//   lp_channel_names  (channel_code PK, channel_name) the quantities' names
//   lp_records        (record_id PK, meter_serial, lp_group 1|2,
//                      recorded_at 'YYYY-MM-DD HH:MM:SS', channel_count)
//                     one row per record, unique per (meter_serial,
//                     lp_group, recorded_at)
//   lp_record_values  (record_id, channel_code, column_index, value)
//                     one row per channel of a record, primary key
//                     (record_id, channel_code); value NULL: not a finite
//                     number; column_index: the channel's place (from 0) in
//                     the group's channel list
//   lp_meter_claims   (meter_key PK, worker, lease_until, finished_at,
//                      result, records) which worker of a fleet holds or
//                      last finished a meter; times in seconds since 1970
//                      by the database's clock
//   lp_values         the view for analysts: (meter_serial, lp_group,
//                     recorded_at, channel_code, channel_name, value)
namespace archive {

// The version of the tables this program reads and writes.
int schemaVersion();

// Brings an archive of any older version (0: an empty database) up to
// schemaVersion(), one step per version, each step in a transaction of its
// own together with its new version number: an interrupted update leaves the
// archive at the last whole step. Refuses an archive of a newer version.
bool migrateArchive(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault);

// Writes the name of every channel code the program knows into
// lp_channel_names where it is missing or differs (one transaction, only
// when something differs).
bool syncChannelNames(QSqlDatabase &db, const SqlDialect &dialect, SqlFault *fault);

} // namespace archive
