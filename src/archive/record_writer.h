#pragma once

#include "archive/archive_store.h"
#include "archive/sql_fault.h"

#include <QSqlDatabase>

// Writing records of one meter's group into the archive's tables.
namespace archive {

// Why records cannot be stored as they are, or nothing when they can: an
// empty serial, a group other than 1 or 2, no or more than kMaxChannels
// channel codes, a code given twice, a record of another value count or
// without a valid date and time (named by its place, from 1), flags given
// for some records only.
std::optional<QString> recordsProblem(const RecordBlock &block);

// Writes records that passed recordsProblem inside the caller's transaction
// and counts them. Each record is the archived one of its stamp when that
// holds the same channels and values (values as four-decimal text) and, for
// a record read from the meter, the same record number or none yet; the
// archived records of a stamp are matched in their order, each once. Any
// other record is added after the archived ones of its stamp (its
// occurrence), with the flags its place in the meter's order gives it.
bool writeRecords(QSqlDatabase &db, const RecordBlock &block, StoreResult *counts, SqlFault *fault);

} // namespace archive
