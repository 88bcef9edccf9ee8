#pragma once

#include "archive/archive_store.h"
#include "lpdata/archived_end.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <span>

// Keeping one download's blocks in the archive beside its CSV file. A
// download goes on into its CSV file whatever becomes of the archive.
namespace archive {

// One block of a download as the archive gets it: whose records, the
// group's settings, the meter's number of its first record.
struct DownloadedBlock {
    QString meterSerial;
    int groupNumber = 0; // 1 or 2
    std::vector<int> channelCodes;
    QString interval; // as the group's status shows it
    long long firstRecord = 0;
    std::vector<lpdata::Record> records;
};

// The blocks of one download, handed to the archive in the order they were
// read. Once a block could not be stored, no later block is: the archive's
// last record of the meter then stays before the first one it lacks, so
// that "new records only" fetches the rest instead of leaving a hole for good.
class DownloadBlocks {
public:
    struct Outcome {
        bool stored = false;
        // The failure to tell the user: only the first one of the download.
        std::optional<QString> tell;
    };

    // Stores one block in store; nullptr when the archive could not be
    // opened, with openError saying why.
    Outcome store(ArchiveStore *store, const QString &openError, const DownloadedBlock &block);
    bool failed() const { return failed_; }
    // What the archive made of the blocks stored so far.
    const StoreResult &stored() const { return stored_; }

private:
    bool failed_ = false;
    StoreResult stored_;
    // The stamp of the last record handed over: the one before the next block's first.
    std::optional<long long> lastStamp_;
};

// What a download says of the records the archive added: "43 new records",
// and "; 8 of them repeat earlier stamps (clock set back?)" when some do.
QString newRecordsText(const StoreResult &stored);

// The command-line tool's archive of one download (the window stores through
// an ArchiveThread): opened at the first use, the blocks kept as above.
class DownloadArchiver {
public:
    // path: the archive file; empty for none (nothing is stored).
    explicit DownloadArchiver(QString path);

    bool enabled() const { return !path_.isEmpty(); }
    const QString &path() const { return path_; }

    // A new download begins: a block that could not be stored in the last
    // one no longer holds back the blocks of this one.
    void startDownload() { blocks_ = {}; }
    // Stores one block. Nothing when it was stored, or when a failure was
    // told already in this download; else the text to tell the user.
    std::optional<QString> storeBlock(const DownloadedBlock &block);
    const StoreResult &stored() const { return blocks_.stored(); }

    // What the archive holds of the meter's group for "new only"
    // (ArchiveStore::archivedEnd); nothing, with the reason in error, when
    // the archive cannot be read.
    std::optional<lpdata::ArchivedEnd> archivedEnd(const QString &meterSerial, int groupNumber, QString *error);

    // What opening the archive had to do that the user must hear of (a
    // damaged file moved aside), once; empty otherwise.
    QString takeNote() { return std::exchange(note_, QString()); }

    // The open archive, for commands that read or import; nothing, with the
    // reason in error, when it cannot be opened.
    ArchiveStore *open(QString *error);

private:
    QString path_;
    std::optional<ArchiveStore> store_;
    QString note_;
    DownloadBlocks blocks_;
};

} // namespace archive
