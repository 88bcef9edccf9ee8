#pragma once

#include "archive/archive_store.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

#include <memory>

// Reading records back out of the archive's tables.
namespace archive {

// A stored record with the channel codes its values belong to, in column order.
struct StoredRecord {
    std::shared_ptr<const std::vector<int>> codes; // shared by the records of one layout
    lpdata::Record record;
    RecordQuality quality;
};

// The range's ends as stored time stamps, open ends as texts before or after
// every stamp; nothing when a given end is no valid date time.
std::optional<std::pair<QString, QString>> stampBounds(const TimeRange &range);

// The stored records of a meter's group between two stamps (both included),
// by stamp and occurrence, with all their channels or, when onlyChannels is
// not empty, those of them (a record holding none of them is left out).
// Refuses what a hand-edited database can hold and no download writes: a
// malformed time stamp, a record whose settings are not stored.
bool readStoredRecords(QSqlDatabase &db, const QString &meterSerial, int groupNumber,
                       const std::pair<QString, QString> &bounds, std::span<const int> onlyChannels,
                       std::vector<StoredRecord> *records, SqlFault *fault);

} // namespace archive
