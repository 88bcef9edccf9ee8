#include "archive/download_archiver.h"

#include <utility>

namespace archive {

DownloadBlocks::Outcome DownloadBlocks::store(ArchiveStore *store, const QString &openError,
                                              const DownloadedBlock &block)
{
    if (failed_)
        return {};
    QString error = openError;
    RecordBlock records;
    records.meterSerial = block.meterSerial;
    records.groupNumber = block.groupNumber;
    records.channelCodes = block.channelCodes;
    records.intervalSeconds = intervalSecondsOf(block.interval);
    records.records = block.records;
    records.firstRecord = block.firstRecord;
    records.previousStamp = lastStamp_;
    if (store) {
        if (const auto result = store->storeBlock(records, &error)) {
            stored_ += *result;
            if (!block.records.empty() && lpdata::hasValidStamp(block.records.back()))
                lastStamp_ = stampSeconds(block.records.back());
            return {true, std::nullopt};
        }
    }
    failed_ = true;
    return {false, error};
}

QString newRecordsText(const StoreResult &stored)
{
    QString text = QStringLiteral("%1 new records").arg(stored.added);
    if (stored.repeated > 0)
        text += QStringLiteral("; %1 of them repeat earlier stamps (clock set back?)").arg(stored.repeated);
    return text;
}

DownloadArchiver::DownloadArchiver(QString path) : path_(std::move(path)) {}

ArchiveStore *DownloadArchiver::open(QString *error)
{
    if (!store_ && enabled())
        store_ = ArchiveStore::open(path_, error, &note_);
    return store_ ? &*store_ : nullptr;
}

std::optional<QString> DownloadArchiver::storeBlock(const DownloadedBlock &block)
{
    if (!enabled() || block.records.empty() || blocks_.failed())
        return std::nullopt;
    QString error;
    ArchiveStore *archive = open(&error);
    const DownloadBlocks::Outcome outcome = blocks_.store(archive, error, block);
    if (!outcome.tell)
        return std::nullopt;
    return QStringLiteral("%1: %2").arg(path_, *outcome.tell);
}

std::optional<lpdata::ArchivedEnd> DownloadArchiver::archivedEnd(const QString &meterSerial, int groupNumber,
                                                                      QString *error)
{
    ArchiveStore *archive = open(error);
    if (!archive)
        return std::nullopt;
    return archive->archivedEnd(meterSerial, groupNumber, error);
}

} // namespace archive
