#include "archive/download_archiver.h"

#include <utility>

namespace archive {

DownloadBlocks::Outcome DownloadBlocks::store(ArchiveStore *store, const QString &openError, const QString &meterSerial,
                                              int groupNumber, std::span<const int> channelCodes,
                                              std::span<const loadprofile::Record> records)
{
    if (failed_)
        return {};
    QString error = openError;
    if (store && store->storeBlock(meterSerial, groupNumber, channelCodes, records, &error))
        return {true, std::nullopt};
    failed_ = true;
    return {false, error};
}

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
    if (!enabled() || records.empty() || blocks_.failed())
        return std::nullopt;
    QString error;
    ArchiveStore *archive = open(&error);
    const DownloadBlocks::Outcome outcome = blocks_.store(archive, error, meterSerial, groupNumber, channelCodes, records);
    if (!outcome.tell)
        return std::nullopt;
    return QStringLiteral("%1: %2").arg(path_, *outcome.tell);
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
