#pragma once

#include "archive/archive_store.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

// Writing records of one meter's group into the archive's tables.
namespace archive {

// Why records cannot be stored as they are, or nothing when they can: an
// empty serial, a group other than 1 or 2, no or more than kMaxChannels
// channel codes, a code given twice, a record of another value count or
// without a valid date and time (named by its place, from 1).
std::optional<QString> recordsProblem(const QString &meterSerial, int groupNumber,
                                      std::span<const int> channelCodes,
                                      std::span<const loadprofile::Record> records);

// Writes records that passed recordsProblem inside the caller's transaction
// and counts them. A record whose time stamp is stored already stays as it is
// when its channels and values are the same (values as four-decimal text);
// otherwise its channels are replaced.
bool writeRecords(QSqlDatabase &db, const QString &meterSerial, int groupNumber,
                  std::span<const int> channelCodes, std::span<const loadprofile::Record> records,
                  StoreResult *counts, SqlFault *fault);

} // namespace archive
