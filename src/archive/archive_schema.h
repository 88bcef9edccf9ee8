#pragma once

#include "archive/sql_dialect.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

// The archive's tables and their versions (version 3).
//
//   archive_version    (version)                      one row: the tables' version
//   lp_channel_names   (channel_code PK, channel_name) the quantities' names
//   lp_meter_groups    (series_id PK, meter_serial, lp_group 1|2, last_record,
//                       last_recorded_at) a meter's group, unique per serial and
//                       group; where the last download ended (the meter's number
//                       of its last record and that record's stamp), NULL until one did
//   lp_layouts         (layout_id PK, interval_seconds, channel_codes "1,2,3")
//                       a group's settings records were made with; interval 0:
//                       not known
//   lp_layout_channels (layout_id, column_index, channel_code) its channels
//   lp_records         (series_id, recorded_at 'YYYY-MM-DD HH:MM:SS',
//                       occurrence, meter_record, flags, gap_before, layout_id,
//                       v0 .. v11) one row per record, primary key (series_id,
//                       recorded_at, occurrence): occurrence 0 for the first
//                       record of a stamp in the meter's order, 1 for the next;
//                       meter_record the meter's number of it when a download
//                       read it; flags and gap_before its quality
//                       (archive/interval_quality.h); v<i> the value of the
//                       layout's column i times 10 000 (the four-decimal value
//                       of the CSV file), NULL: not a finite number or no such column
//   lp_meter_claims    (meter_key PK, worker, lease_until, finished_at,
//                       result, records) which worker of a fleet holds or
//                       last finished a meter; times in seconds since 1970
//                       by the database's clock
//   lp_values          the view for analysts: (meter_serial, lp_group,
//                      recorded_at, occurrence, flags, gap_before,
//                      channel_code, channel_name, value)
//
// Version 1 kept a record per stamp (lp_records by record_id, its values a
// row each in lp_record_values); version 2 added the claims.
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
