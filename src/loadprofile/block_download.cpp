#include "loadprofile/block_download.h"

#include "links/link_state.h"
#include "loadprofile/block_read.h"
#include "loadprofile/record_reads.h"
#include "session/meter_session.h"

#include <algorithm>

namespace loadprofile {

BlockDownload::BlockDownload(session::MeterSession &session, std::optional<int> blockAttempts, QObject *parent)
    : QObject(parent), session_(session), blockAttempts_(blockAttempts)
{
}

DownloadOrigin BlockDownload::originNow(meter::LpGroup g) const { return originOf(session_.reading(), g); }

OriginChange BlockDownload::continueCheck() const { return originChange(origin_, originNow(origin_.group)); }

DownloadEnd BlockDownload::endOf(DownloadEnd::Reason reason) const
{
    DownloadEnd end;
    end.reason = reason;
    end.records = written_;
    end.firstRecord = firstRecord_ + 1;
    end.lastRecord = LPLastRecord_ + 1;
    return end;
}

void BlockDownload::clearCounts()
{
    firstRecord_ = 0;
    LPLastRecord_ = 0;
    written_ = 0;
}

std::optional<DownloadEnd> BlockDownload::start(meter::LpGroup g, long long first, long long last,
                                                std::optional<std::pair<double, double>> dates,
                                                const lpdata::DataFolders &folders)
{
    DownloadOrigin origin = originNow(g);
    if (origin.channels == 0)
        return endOf(DownloadEnd::Reason::NoChannels);
    QString error;
    file_.reset();
    if (!folders.preferred.isEmpty())
        file_ = lpdata::LoadProfileCsv::create(folders, lpdata::csvBaseName(origin.serial, QDate::currentDate(), g.number()),
                                               QDateTime::currentDateTime(), origin.codes, &error);
    if (!file_ && !folders.preferred.isEmpty()) {
        DownloadEnd end = endOf(DownloadEnd::Reason::FileError);
        end.detail = error;
        return end;
    }
    origin_ = std::move(origin);
    ++generation_;
    LPNextRecord_ = first - 1;
    LPLastRecord_ = last - 1;
    firstRecord_ = LPNextRecord_;
    written_ = 0;
    attempts_ = 0;
    range_ = std::move(dates);
    sinceStart_.start();
    downloading_ = true;
    emit started();
    return std::nullopt;
}

void BlockDownload::abandon()
{
    downloading_ = false;
    ++generation_;
}

void BlockDownload::finish(DownloadEnd::Reason reason, long long badRecord, const QString &detail)
{
    downloading_ = false;
    ++generation_;
    emit readingEnded();
    DownloadEnd end = endOf(reason);
    end.badRecord = badRecord;
    end.detail = detail;
    emit ended(end);
}

void BlockDownload::stop()
{
    if (downloading_)
        finish(DownloadEnd::Reason::Stopped);
}

void BlockDownload::LPReadBlock()
{
    if (!downloading_)
        return;
    const std::uint64_t generation = generation_;
    const CheckedBlock block =
        readCheckedBlock(session_.meter(), origin_.group, origin_.channels, LPNextRecord_, LPLastRecord_);
    // Stopped or replaced while the block was on its way: its records belong
    // to no running download.
    if (generation != generation_ || !downloading_)
        return;
    if (block.badRecord) {
        finish(DownloadEnd::Reason::BadRecord, *block.badRecord);
        return;
    }
    // A block that does not hold all its records is read again.
    if (!block.records) {
        if (blockAttempts_ && (!session_.link().LinkOnline() || ++attempts_ >= *blockAttempts_))
            finish(DownloadEnd::Reason::NoAnswer);
        return;
    }
    attempts_ = 0;
    const BlockRows rows = blockRows(*block.records, range_);
    QString error;
    if (file_ && !file_->appendRows(rows.rows, &error)) {
        // The rows already written stay; nothing is read that cannot be kept.
        finish(DownloadEnd::Reason::FileError, 0, error);
        return;
    }
    written_ += rows.rows.size();
    emit blockWritten(origin_, LPNextRecord_ + 1, *block.records);
    if (rows.pastEnd)
        LPLastRecord_ = LPNextRecord_;
    // Always a whole block on, also after a shorter last one.
    LPNextRecord_ += kRecordsPerBlock;
    if (LPNextRecord_ <= LPLastRecord_) {
        const long long asked = LPLastRecord_ - firstRecord_ + 1;
        const long long done = std::clamp(LPNextRecord_ - firstRecord_, 0LL, asked);
        const long long left = done > 0 ? sinceStart_.elapsed() * (asked - done) / done / 1000 : -1;
        emit progress(LPNextRecord_, done, asked, left);
        return;
    }
    finish(DownloadEnd::Reason::Done);
}

} // namespace loadprofile
