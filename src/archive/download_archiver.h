#pragma once

#include "archive/archive_store.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <span>

// Keeps one download's blocks in the archive beside its CSV file (the
// command-line tool's; the window stores through an ArchiveThread). The
// archive is opened at the first use; a download goes on into its CSV file
// whatever becomes of the archive, and a failing archive is told once.
namespace archive {

class DownloadArchiver {
public:
    // path: the archive file; empty for none (nothing is stored).
    explicit DownloadArchiver(QString path);

    bool enabled() const { return !path_.isEmpty(); }
    const QString &path() const { return path_; }

    // Stores one block. Nothing when it was stored, or when its failure was
    // told already in this download; else the text to tell the user.
    std::optional<QString> storeBlock(const QString &meterSerial, int groupNumber, std::span<const int> channelCodes,
                                 std::span<const loadprofile::Record> records);

    // The newest archived record of the meter's group: an invalid date time
    // when none is archived; nothing, with the reason in error, when the
    // archive cannot be read.
    std::optional<QDateTime> newestRecord(const QString &meterSerial, int groupNumber, QString *error);

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
    bool failureTold_ = false;
};

} // namespace archive
