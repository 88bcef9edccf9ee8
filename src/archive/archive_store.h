#pragma once

#include "archive/interval_quality.h"
#include "archive/sql_dialect.h"
#include "lpdata/archived_end.h"
#include "lpdata/records.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <vector>

class QSqlDatabase;

namespace archive {
struct ArchiveLocation;
}

// The load-profile archive: every record a download reads or a CSV file
// holds, stored once, never replaced: a record is its meter's group, its
// time stamp and its occurrence (the records of one stamp numbered in the
// meter's order, as after a clock set back), kept with its quality flags
// (archive/interval_quality.h), in a database file
// (SQLite), or in a PostgreSQL database that several machines fill
// together. The tables and the view `lp_values` for analysts are described
// in archive/archive_schema.h.
//
// Time stamps are the meter's local time as recorded. Where they come in or
// go out as QDateTime, only the date and time fields count; the archive
// hands them out as Qt::UTC so that no time zone of the PC shifts them.
//
// A store is one database connection: use it on the thread that opened it
// (one store per thread; several stores, in several processes too, may
// write the same file: a writer waits up to five seconds for another).
namespace archive {

struct SqlFault;

// What became of the records handed to the archive.
struct StoreResult {
    long long added = 0;     // not stored before
    long long unchanged = 0; // stored before: the same record
    long long repeated = 0;  // of the added, those whose stamp an earlier record has (clock set back?)

    bool operator==(const StoreResult &) const = default;
    StoreResult &operator+=(const StoreResult &other)
    {
        added += other.added;
        unchanged += other.unchanged;
        repeated += other.repeated;
        return *this;
    }
};

// Records of one meter's group in the meter's order, as a download reads
// them or a file lists them.
struct RecordBlock {
    QString meterSerial;
    int groupNumber = 0;            // 1 or 2
    std::span<const int> channelCodes; // the group's codes in column order
    int intervalSeconds = 0;        // the group's interval; 0: not known
    std::span<const lpdata::Record> records;
    // The meter's number of the first record (a download); the others follow.
    std::optional<long long> firstRecord;
    // stampSeconds of the record before the first in the meter's order, when
    // the caller read it (the block before in the same download).
    std::optional<long long> previousStamp;
    // The flags of each record as a file gives them; empty: reckoned here.
    std::span<const RecordQuality> given;
};

// Where a download last left the meter's group: the number the meter gave
// its last record, and that record's stamp.
struct DownloadMark {
    long long record = 0;
    QDateTime stamp;
};

// One meter's group as the archive holds it.
struct MeterSummary {
    QString serial;
    int group = 0; // 1 or 2
    long long records = 0;
    QDateTime first; // oldest and newest time stamp
    QDateTime last;
};

// A meter as the workers of a fleet share it.
struct MeterClaim {
    enum class State {
        Claimed,  // the asking worker holds it now
        Held,     // another worker holds an unexpired lease
        Finished, // a worker finished it in this round (see claimMeter)
    };
    QString meterKey;
    State state = State::Held;
    QString worker;          // the worker holding it, or who finished it last
    double leaseLeft = 0;    // seconds, while held
    QDateTime finishedAt;    // UTC; invalid while never finished
    QString result;          // what the last finished download said
    long long records = 0;   // the records it wrote
};

// From since to until, both included; a missing end is open.
struct TimeRange {
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
};

// A stretch of an export: consecutive records recorded with the same
// channels, which go to one file.
struct ExportRun {
    std::vector<int> codes;
    std::vector<lpdata::Record> records;
    std::vector<RecordQuality> quality;
};

// The name of an export's file without ".csv": the download's
// (lpdata::csvBaseName) for the archive's serial.
QString exportBaseName(const QString &meterSerial, const QDate &today, int groupNumber);
// A run's rows as an export writes them; withFlags adds each record's
// qualityText as a last field.
QStringList exportRows(const ExportRun &run, bool withFlags);
// A run's whole file as exportCsv writes it, header lines included.
QByteArray exportFileText(const ExportRun &run, const QDateTime &now, bool withFlags);

class ArchiveStore {
public:
    // archive.sqlite in the program's data folder of the user
    // (~/.local/share/Ampwright), for the window and the command-line tool alike.
    static QString defaultPath();

    // Opens the archive at path (a SQLite file, "sqlite:PATH", or a
    // PostgreSQL database "postgresql://USER@HOST[:PORT]/DB": see
    // archive/archive_location.h), creating it (and a file's folder) when
    // missing and bringing older tables up to date. A file that is no database or a
    // damaged one is moved aside to "<path>.broken-<yyyyMMdd-hhmmss>" (its
    // write-ahead log with it) and a new archive started at path; note then
    // names both paths, for the user. Empty, with the reason in error, when
    // the archive cannot be opened: unreadable, locked too long, or made by
    // a newer program.
    static std::optional<ArchiveStore> open(const QString &path, QString *error,
                                            QString *note = nullptr);

    ArchiveStore(ArchiveStore &&other) noexcept;
    ArchiveStore &operator=(ArchiveStore &&other) noexcept;
    ArchiveStore(const ArchiveStore &) = delete;
    ArchiveStore &operator=(const ArchiveStore &) = delete;
    ~ArchiveStore();

    // The file, or the database's address without password.
    QString path() const { return path_; }

    // Stores one block of a download (the records of one read), all or
    // nothing, in one transaction: a failing write (a full disk) leaves the
    // archive as it was and gives the reason in error. channelCodes are the
    // group's codes in column order, 1 to kMaxChannels of them, no code twice;
    // every record holds one value per code. Refused whole: an empty serial,
    // a group other than 1 or 2, a record without a valid date and time, a
    // record of another value count. Values are compared as the CSV file
    // writes them (four decimals), so a record imported from a file and the
    // same record read from the meter are the same record.
    std::optional<StoreResult> storeBlock(const QString &meterSerial, int groupNumber,
                                          std::span<const int> channelCodes,
                                          std::span<const lpdata::Record> records,
                                          QString *error);
    // The same with what a download or a file knows of the records' place.
    std::optional<StoreResult> storeBlock(const RecordBlock &block, QString *error);

    // Where the last download of the meter's group ended, when one numbered
    // its records; nothing stored: no mark. Empty, with the reason in error,
    // when the read fails.
    std::optional<std::optional<DownloadMark>> downloadMark(const QString &meterSerial, int groupNumber,
                                                            QString *error) const;

    // The newest stored time stamp of the meter's group (downloads of "new
    // records only" start after it); an invalid date time when none is
    // stored. Empty, with the reason in error, when the read fails.
    std::optional<QDateTime> newestRecord(const QString &meterSerial, int groupNumber,
                                          QString *error) const;

    // For "new only": the newest stamp (invalid when none is stored) and
    // where the last download ended (downloadMark). Empty, with the reason
    // in error, when the read fails.
    std::optional<lpdata::ArchivedEnd> archivedEnd(const QString &meterSerial, int groupNumber,
                                                        QString *error) const;

    // Every meter and group stored, by serial, then group.
    std::optional<std::vector<MeterSummary>> meters(QString *error) const;

    // The channel codes the meter's group holds values of, in the order of
    // their columns (a code that stood in several columns over time goes by
    // its first). Empty, with the reason in error, when the read fails.
    std::optional<std::vector<int>> channelCodes(const QString &meterSerial, int groupNumber,
                                                 QString *error) const;

    // The stored records of the meter's group in the range, by stamp and
    // occurrence, that hold any of the channels: values[i] is channels[i]'s
    // value, NaN where a record does not hold that channel or its value was
    // not a finite number. quality, when asked for, gets each record's.
    std::optional<std::vector<lpdata::Record>> records(const QString &meterSerial,
                                                            int groupNumber,
                                                            std::span<const int> channels,
                                                            const TimeRange &range,
                                                            QString *error,
                                                            std::vector<RecordQuality> *quality = nullptr) const;

    // Writes the stored records of the meter's group in the range to CSV
    // files in outDir, in the format and under the names a download uses
    // (loadprofile/csv_file.h): "<serial part>_<now's date>_Group<n>.csv";
    // withFlags adds a last column "Flags" with each record's qualityText.
    // Records recorded with other channel settings go to a file of their own
    // each time the settings change (..._Group<n>_1.csv and so on). A serial
    // of up to 8 characters (an import takes that much from a file name) is
    // its own serial part. The paths written, none when nothing is stored in
    // the range; empty, with the reason in error, on a failure.
    std::optional<QStringList> exportCsv(const QString &meterSerial, int groupNumber,
                                         const TimeRange &range, const QString &outDir,
                                         QString *error,
                                         const QDateTime &now = QDateTime::currentDateTime(),
                                         bool withFlags = false) const;

    // The stored records of the meter's group in the range as exportCsv
    // writes them, in runs of the same channels; empty, with the reason in
    // error, on a failure.
    std::optional<std::vector<ExportRun>> exportRuns(const QString &meterSerial, int groupNumber,
                                                     const TimeRange &range, QString *error) const;

    // Stores the records of a CSV file a download or an export wrote
    // (format: archive/lp_csv_parse.h), all or nothing, in one transaction,
    // in the file's order; the flags of a file that has them are kept. The meter
    // and group come from the file's name unless given. The name holds only
    // a part of the serial (lpdata::csvSerialPart): when exactly one
    // archived meter of that group has a serial of that part, the records
    // go to it (*matchedSerial then names it), else to the part itself. A malformed
    // file is refused whole with an error naming it and its line.
    std::optional<StoreResult> importCsv(const QString &filePath, std::optional<QString> meterSerial,
                                         std::optional<int> groupNumber, QString *error,
                                         QString *matchedSerial = nullptr);

    // Claims of meters by the workers of a fleet (archive/archive_claims.cpp).
    // Times are the database's clock, in seconds since 1970, so that the
    // machines of a fleet need not agree on theirs.
    std::optional<double> serverClock(QString *error) const;
    // Claims the meter for worker for leaseSeconds, unless another worker
    // holds an unexpired lease on it or it was finished since roundStart.
    std::optional<MeterClaim> claimMeter(const QString &meterKey, const QString &worker, double leaseSeconds,
                                         double roundStart, QString *error);
    // Extends the worker's lease; false when the claim is no longer the
    // worker's (its lease ran out and another took the meter).
    std::optional<bool> renewClaim(const QString &meterKey, const QString &worker, double leaseSeconds,
                                   QString *error);
    // The worker is done with the meter: the lease ends, the result stays.
    bool finishClaim(const QString &meterKey, const QString &worker, const QString &result,
                     long long records, QString *error);
    // Every meter ever claimed, by key.
    std::optional<std::vector<MeterClaim>> claims(QString *error) const;

private:
    ArchiveStore(QString path, QString connection, SqlDialect dialect);
    static std::optional<ArchiveStore> connect(const ArchiveLocation &location, SqlFault *fault);
    QSqlDatabase database() const;

    QString path_;
    QString connection_; // empty once moved from
    SqlDialect dialect_;
};

} // namespace archive
