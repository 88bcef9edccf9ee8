#include "archive/download_archiver.h"

#include <utility>

namespace archive {

DownloadArchiver::DownloadArchiver(QString path) : path_(std::move(path)) {}

ArchiveStore *DownloadArchiver::open(QString *error)
{
    if (!store_ && enabled())
        store_ = ArchiveStore::open(path_, error, &note_);
    return store_ ? &*store_ : nullptr;
}

std::optional<QString> DownloadArchiver::storeBlock(const QString &meterSerial, int groupNumber,
                                               std::span<const int> channelCodes,
                                               std::span<const loadprofile::Record> records)
{
    if (!enabled() || records.empty())
        return std::nullopt;
    QString error;
    ArchiveStore *archive = open(&error);
    if (archive && archive->storeBlock(meterSerial, groupNumber, channelCodes, records, &error))
        return std::nullopt;
    if (std::exchange(failureTold_, true))
        return std::nullopt;
    return QStringLiteral("%1: %2").arg(path_, error);
}

std::optional<QDateTime> DownloadArchiver::newestRecord(const QString &meterSerial, int groupNumber,
                                                        QString *error)
{
    ArchiveStore *archive = open(error);
    if (!archive)
        return std::nullopt;
    return archive->newestRecord(meterSerial, groupNumber, error);
}

} // namespace archive
