#pragma once

#include "archive/interval_quality.h"
#include "lpdata/records.h"

#include <QByteArray>
#include <QDateTime>

#include <span>

// What the viewer shows of a period, as CSV text for a spreadsheet.
namespace archive {

// The records (quality[i] of records[i]) in the download's format with the
// archive's last column "Flags": a date line made at now, "Date,Time," and
// the channels' names, then a row per record; lines end with CR LF.
QByteArray periodCsv(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality,
                     std::span<const int> codes, const QDateTime &now);

// The channels' load-duration curves (loadDurationCurve with due): a line
// "Share of time (%)," and the channels' names, then row i: the share of
// time where value i of each channel begins, and those values (empty where
// a channel has fewer).
QByteArray durationCsv(std::span<const lpdata::Record> records, std::span<const int> codes, long long due);

} // namespace archive
