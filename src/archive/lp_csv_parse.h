#pragma once

#include "archive/interval_quality.h"
#include "lpdata/records.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// Reading back the CSV files a load-profile download writes (see
// loadprofile/csv_file.h): line 1 "Date : ..." (its text is not read), line
// 2 "Date,Time," and the channel names, then one row per record, "2024/3/1,
// 0:15:0,1.2500,...". A file the archive exported may end each line with a
// column "Flags" (qualityText). Every byte of such a file is untrusted.
namespace archive {

struct LoadProfileCsvParse {
    std::vector<int> channelCodes;            // in column order
    std::vector<lpdata::Record> records; // in file order
    std::vector<RecordQuality> quality;       // each record's flags; empty: the file has none
    long long faultLine = 0;                  // 0: the file was read whole
    QString fault;                            // what is wrong on that line

    bool ok() const { return faultLine == 0; }
};

// Parses a whole file. codesByName maps each known channel name to its code.
// Lines end with CR LF or LF; empty lines may close the file. A value field
// is a decimal number ("-12.5000") or empty (a value that was not a finite
// number, as the download writes it: read as NaN). The first fault ends the
// parse with its line number (from 1) and no records. Refused: a missing
// header line, a column name that is empty (a channel code without a name)
// or names no channel, a name given twice, more than kMaxChannels channels,
// a row with another field count, a date or time that is no real one or
// lies outside the years 2000 to 2255, a value that is not a number, flags
// that parseQualityText refuses.
LoadProfileCsvParse parseLoadProfileCsv(const QByteArray &bytes, const QHash<QString, int> &codesByName);

// The name of the flags column.
inline constexpr char kFlagsColumn[] = "Flags";

// The meter and group a file's name gives: "<serial>_<yyyymmdd>_Group<n>.csv"
// or "..._Group<n>_<k>.csv", the serial being the part before "_<date>" as
// written (8 characters when a download named it). Nothing for another name.
struct CsvFileOwner {
    QString serial;
    int group = 0; // 1 or 2
};
std::optional<CsvFileOwner> csvFileOwner(const QString &fileName);

} // namespace archive
