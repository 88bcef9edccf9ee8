#include "loadprofile/download_job.h"

#include "links/link_state.h"
#include "loadprofile/block_read.h"
#include "loadprofile/record_reads.h"
#include "lpdata/date_serial.h"
#include "meter/lp_status.h"
#include "session/meter_session.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace loadprofile {

namespace {

constexpr double kOneSecond = 1.0 / 86400;

double serialOf(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return lpdata::dateSerial(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

} // namespace

DownloadJob::DownloadJob(session::MeterSession &session, DownloadPolicy policy, QObject *parent)
    : QObject(parent), session_(session), policy_(policy)
{
    Timer_RS_Lpf.setObjectName(QStringLiteral("Timer_RS_Lpf"));
    Timer_RS_Lpf.setInterval(kFastTimerMs);
    TimerEnLPRead.setObjectName(QStringLiteral("TimerEnLPRead"));
    TimerEnLPRead.setInterval(kStartDelayMs);
    TimerEnLPRead.setSingleShot(true);
    connect(&Timer_RS_Lpf, &QTimer::timeout, this, &DownloadJob::Timer_RS_Lpf_Timer);
    connect(&TimerEnLPRead, &QTimer::timeout, this, &DownloadJob::startFoundDue);
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &DownloadJob::linkOnlineChanged);
    if (policy_.windowPace)
        connect(&session_.poll(), &session::PollCycle::loadProfileStepDue, this, &DownloadJob::loadProfileStep);
}

long long DownloadJob::validCount(int g) const
{
    return session_.reading().lpGroups[std::size_t(g)].validRecords.value_or(0);
}

DownloadOrigin DownloadJob::originNow(int g) const { return originOf(session_.reading(), g); }

OriginChange DownloadJob::continueCheck() const { return originChange(origin_, originNow(origin_.group)); }

DownloadEnd DownloadJob::endOf(DownloadEnd::Reason reason) const
{
    DownloadEnd end;
    end.reason = reason;
    end.records = written_;
    end.firstRecord = firstRecord_ + 1;
    end.lastRecord = LPLastRecord_ + 1;
    return end;
}

void DownloadJob::linkOnlineChanged(bool online)
{
    if (online)
        return;
    // A date search that has not begun to read is dropped (one that reads
    // finds its probes failing and says so).
    if (searchPending() && !searchRunning_)
        endSearch();
    if (!Timer_RS_Lpf.isActive())
        return;
    Timer_RS_Lpf.stop();
    if (hasRecordsLeft())
        emit interrupted();
}

std::optional<DownloadEnd> DownloadJob::start(int g, long long first, long long last,
                                              std::optional<std::pair<double, double>> dates,
                                              const lpdata::DataFolders &folders)
{
    DownloadOrigin origin = originNow(g);
    if (origin.channels == 0)
        return endOf(DownloadEnd::Reason::NoChannels);
    QString error;
    file_.reset();
    if (!folders.preferred.isEmpty())
        file_ = lpdata::LoadProfileCsv::create(folders, lpdata::csvBaseName(origin.serial, QDate::currentDate(), g + 1),
                                       QDateTime::currentDateTime(), origin.codes, &error);
    if (!file_ && !folders.preferred.isEmpty()) {
        DownloadEnd end = endOf(DownloadEnd::Reason::FileError);
        end.detail = error;
        return end;
    }
    origin_ = std::move(origin);
    ++generation_;
    LPStartDeferred = false;
    LPNextRecord_ = first - 1;
    LPLastRecord_ = last - 1;
    firstRecord_ = LPNextRecord_;
    written_ = 0;
    attempts_ = 0;
    range_ = std::move(dates);
    sinceStart_.start();
    downloading_ = true;
    emit started();
    if (policy_.windowPace)
        keepRunning();
    return std::nullopt;
}

std::optional<DownloadEnd> DownloadJob::startFound(const lpdata::DataFolders &folders)
{
    const auto dates = search_.byNumber ? std::nullopt : std::optional(std::pair(search_.begin, search_.end));
    return start(search_.group, search_.found, validCount(search_.group), dates, folders);
}

void DownloadJob::keepRunning()
{
    session_.poll().pause();
    resumePollAfterBlock_ = false;
    Timer_RS_Lpf.start();
}

void DownloadJob::resume() { keepRunning(); }

void DownloadJob::abandon()
{
    downloading_ = false;
    ++generation_;
    Timer_RS_Lpf.stop();
    session_.poll().resume();
}

void DownloadJob::deferStart(bool fromSearch)
{
    LPStartDeferred = true;
    deferredFromSearch_ = fromSearch;
}

void DownloadJob::resumePoll()
{
    if (!policy_.windowPace)
        return;
    if (blockBusy_)
        resumePollAfterBlock_ = true;
    else
        session_.poll().resume();
}

void DownloadJob::finish(DownloadEnd::Reason reason, long long badRecord, const QString &detail)
{
    downloading_ = false;
    session_.poll().setLPReadByDate(false);
    ++generation_;
    Timer_RS_Lpf.stop();
    resumePoll();
    DownloadEnd end = endOf(reason);
    end.badRecord = badRecord;
    end.detail = detail;
    emit ended(end);
}

void DownloadJob::stop()
{
    if (downloading_)
        finish(DownloadEnd::Reason::Stopped);
    else
        endSearch();
}

void DownloadJob::Timer_RS_Lpf_Timer()
{
    if (downloading_ && !session_.meter().busy()) {
        blockBusy_ = true;
        LPReadBlock();
        blockBusy_ = false;
        if (std::exchange(resumePollAfterBlock_, false))
            session_.poll().resume();
    }
    if (LPStartDeferred) {
        LPStartDeferred = false;
        Timer_RS_Lpf.stop();
        emit deferredStartDue(std::exchange(deferredFromSearch_, false));
    }
}

void DownloadJob::LPReadBlock() { readBlock(); }

bool DownloadJob::readBlock()
{
    if (!downloading_)
        return true;
    const std::uint64_t generation = generation_;
    const CheckedBlock block =
        readCheckedBlock(session_.meter(), origin_.group, origin_.channels, LPNextRecord_, LPLastRecord_);
    // Stopped or replaced while the block was on its way: its records belong
    // to no running download.
    if (generation != generation_ || !downloading_)
        return true;
    if (block.badRecord) {
        finish(DownloadEnd::Reason::BadRecord, *block.badRecord);
        return true;
    }
    // A block that does not hold all its records is read again.
    if (!block.records) {
        if (policy_.blockAttempts && (!session_.link().LinkOnline() || ++attempts_ >= *policy_.blockAttempts))
            finish(DownloadEnd::Reason::NoAnswer);
        return false;
    }
    attempts_ = 0;
    const BlockRows rows = blockRows(*block.records, range_);
    QString error;
    if (file_ && !file_->appendRows(rows.rows, &error)) {
        // The rows already written stay; nothing is read that cannot be kept.
        finish(DownloadEnd::Reason::FileError, 0, error);
        return true;
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
        return true;
    }
    finish(DownloadEnd::Reason::Done);
    return true;
}

// The date search and the newest-record times, at the end of a poll cycle.

bool DownloadJob::RefreshLPLastTime(int g)
{
    const auto newest = readRecordTime(session_.meter(), g, validCount(g));
    if (newest)
        LPLastDataTime_[std::size_t(g)] = *newest;
    return newest.has_value();
}

void DownloadJob::loadProfileStep()
{
    session::PollCycle &poll = session_.poll();
    for (int g = 0; g < 2; ++g) {
        if (!poll.lpNewData(g) || validCount(g) == 0 || !poll.lastTransOK())
            continue;
        // A failed read leaves the time as it was, to be read again.
        if (!RefreshLPLastTime(g))
            continue;
        poll.clearLPNewData(g);
        emit newestTimeRead(g);
    }
    // Not while a download reads: the poll is paused then, and a download
    // the search would start must wait for it.
    if (poll.lpReadByDate() && poll.lastTransOK() && !Timer_RS_Lpf.isActive())
        LPFindStartByDate();
}

bool DownloadJob::searchPending() const { return session_.poll().lpReadByDate() || TimerEnLPRead.isActive(); }

bool DownloadJob::requestSearch(int g, double begin, double end)
{
    // One request at a time.
    if (searchPending() || (downloading_ && Timer_RS_Lpf.isActive()))
        return false;
    search_ = {g, begin, end, 0, 0, {}, false};
    session_.poll().setLPReadByDate(true);
    return true;
}

void DownloadJob::endSearch()
{
    session_.poll().setLPReadByDate(false);
    TimerEnLPRead.stop();
    ++generation_;
    emit searchEnded();
}

void DownloadJob::LPFindStartByDate()
{
    const int g = search_.group;
    if (g < 0 || g > 1)
        return;
    if (search_.lastRecord > 0) {
        // New only: where the archive's last download ended, if the meter
        // holds that record still.
        const long long last = std::exchange(search_.lastRecord, 0);
        const std::optional<bool> holds = stillHolds(g, last, search_.lastRecordStamp);
        if (!session_.poll().lpReadByDate())
            return; // stopped meanwhile
        if (holds && *holds) {
            session_.poll().setLPReadByDate(false);
            if (last >= validCount(g)) {
                emit searchEnded();
                emit ended(endOf(DownloadEnd::Reason::NothingNew));
                return;
            }
            search_.found = last + 1;
            search_.byNumber = true;
            emit rangeFound(g, search_.found, validCount(g));
            TimerEnLPRead.start();
            return;
        }
        if (!holds)
            return; // read again at the next cycle
        search_.lastRecord = 0;
        if (LPLastDataTime_[std::size_t(g)] != 0 && LPLastDataTime_[std::size_t(g)] < search_.begin) {
            session_.poll().setLPReadByDate(false);
            emit searchEnded();
            emit ended(endOf(DownloadEnd::Reason::NothingNew));
            return;
        }
    }
    const int perDay = recordsPerDay(meter::lpIntervalText(session_.reading().lpGroups[0].intervalCode));
    // The probes wait for the meter with the window alive: a stop, or the
    // link going offline, ends the search at its next probe.
    const std::uint64_t generation = generation_;
    int probes = 0;
    searchRunning_ = true;
    const StartRecordSearch found = findStartRecord(
        search_.begin, validCount(g), LPLastDataTime_[std::size_t(g)], perDay,
        [&](long long record) -> std::optional<double> {
            if (generation_ != generation || !session_.poll().lpReadByDate())
                return std::nullopt;
            emit searchProgress(probes++);
            return readRecordTime(session_.meter(), g, record);
        });
    searchRunning_ = false;
    using Outcome = StartRecordSearch::Outcome;
    if (generation_ != generation || !session_.poll().lpReadByDate())
        return; // stopped: the stop has put everything back
    if (found.outcome == Outcome::NoRecords)
        return; // asked again at the next cycle
    if (found.outcome != Outcome::Found) {
        endSearch();
        emit searchFailed(found.outcome == Outcome::Failed ? DownloadEnd::Reason::NoAnswer
                                                           : DownloadEnd::Reason::DatesUnreadable);
        return;
    }
    // Found: the download starts from here; the request is carried out.
    session_.poll().setLPReadByDate(false);
    search_.found = found.record;
    emit rangeFound(g, found.record, validCount(g));
    TimerEnLPRead.start();
}

std::optional<bool> DownloadJob::stillHolds(int g, long long record, const QDateTime &stamp)
{
    if (record < 1 || record > validCount(g))
        return false;
    const std::optional<double> time = readRecordTime(session_.meter(), g, record);
    if (!time)
        return std::nullopt;
    const QDateTime minute(stamp.date(), QTime(stamp.time().hour(), stamp.time().minute()), stamp.timeSpec());
    return std::abs(*time - serialOf(minute)) < kOneSecond / 2;
}

void DownloadJob::startNewOnly(int g, const std::optional<lpdata::ArchivedEnd> &archived, const lpdata::DataFolders &folders)
{
    const long long valid = validCount(g);
    const std::optional<QDateTime> archivedNewest = archived ? std::optional(archived->newest) : std::nullopt;
    if (!archivedNewest || !archivedNewest->isValid()) {
        // Nothing archived of this meter's group: all its records.
        if (valid < 1) {
            emit ended(endOf(DownloadEnd::Reason::NothingNew));
            return;
        }
        if (const auto refused = start(g, 1, valid, std::nullopt, folders))
            emit ended(*refused);
        return;
    }
    const double newest = serialOf(*archivedNewest);
    // The meter's newest record (read by the poll, to the minute) is no
    // later: nothing new, unless the archive knows where its last download
    // ended (the clock may have been set back since).
    const double meterNewest = LPLastDataTime_[std::size_t(g)];
    if (valid < 1 || (archived->lastRecord == 0 && meterNewest != 0 && meterNewest <= newest)) {
        DownloadEnd end = endOf(DownloadEnd::Reason::NothingNew);
        end.detail = QLocale().toString(*archivedNewest, QLocale::ShortFormat);
        emit ended(end);
        return;
    }
    if (requestSearch(g, newest + kOneSecond, std::numeric_limits<double>::max())) {
        search_.lastRecord = archived->lastRecord;
        search_.lastRecordStamp = archived->lastRecordStamp;
    }
}

// The download to its end at once.

std::optional<long long> DownloadJob::searchNow(int g, double begin, DownloadEnd::Reason *failure)
{
    const int perDay = recordsPerDay(meter::lpIntervalText(session_.reading().lpGroups[0].intervalCode));
    const StartRecordSearch found =
        findStartRecord(begin, validCount(g), LPLastDataTime_[std::size_t(g)], perDay,
                        [&](long long record) { return readRecordTime(session_.meter(), g, record); });
    if (found.outcome == StartRecordSearch::Outcome::Found)
        return found.record;
    *failure = found.outcome == StartRecordSearch::Outcome::Unreadable ? DownloadEnd::Reason::DatesUnreadable
                                                                       : DownloadEnd::Reason::NoAnswer;
    return std::nullopt;
}

DownloadEnd DownloadJob::run(int g, const DownloadRange &range, const lpdata::DataFolders &folders)
{
    using Reason = DownloadEnd::Reason;
    const auto ending = [this](Reason reason) {
        const DownloadEnd end = endOf(reason);
        emit ended(end);
        return end;
    };
    firstRecord_ = 0;
    LPLastRecord_ = 0;
    written_ = 0;
    // The group's status as the poll cycle reads it: a first cycle after
    // connecting may not have read the valid counts yet; a second one has.
    QString error;
    for (int cycle = 0; cycle < 2 && !session_.reading().lpGroups[std::size_t(g)].validRecords; ++cycle)
        if (!session_.pollOnce(&error))
            return ending(Reason::NoAnswer);
    if (!session_.reading().lpGroups[std::size_t(g)].validRecords)
        return ending(Reason::NoStatus);
    if (originNow(g).channels == 0)
        return ending(Reason::NoChannels);
    const long long valid = validCount(g);
    if (valid < 1)
        return ending(Reason::NoRecords);

    long long first = 1;
    long long last = valid;
    std::optional<double> begin;
    if (range.kind == DownloadRange::Kind::Dates)
        begin = range.begin;
    const bool newOnly = range.kind == DownloadRange::Kind::NewOnly && range.archived && range.archived->newest.isValid();
    bool afterMark = false;
    if (newOnly && range.archived->lastRecord > 0) {
        const std::optional<bool> holds = stillHolds(g, range.archived->lastRecord, range.archived->lastRecordStamp);
        if (!holds)
            return ending(Reason::NoAnswer);
        if (*holds && range.archived->lastRecord >= valid)
            return ending(Reason::NothingNew);
        if (*holds) {
            first = range.archived->lastRecord + 1;
            afterMark = true;
        }
    }
    if (newOnly && !afterMark)
        begin = serialOf(range.archived->newest) + kOneSecond;
    std::optional<std::pair<double, double>> dates;
    if (begin) {
        if (!RefreshLPLastTime(g))
            return ending(Reason::NoAnswer);
        if (range.kind == DownloadRange::Kind::NewOnly && LPLastDataTime_[std::size_t(g)] < *begin)
            return ending(Reason::NothingNew);
        Reason failure = Reason::NoAnswer;
        const std::optional<long long> found = searchNow(g, *begin, &failure);
        if (!found)
            return ending(failure);
        first = *found;
        dates = std::pair(*begin, range.end);
    } else if (range.kind == DownloadRange::Kind::Records) {
        first = range.first;
        last = range.last > 0 ? range.last : valid;
        if (first < 1 || last < first || last > valid) {
            DownloadEnd end = endOf(Reason::NotInGroup);
            end.firstRecord = first;
            end.lastRecord = last;
            end.detail = QString::number(valid);
            emit ended(end);
            return end;
        }
    }
    if (auto refused = start(g, first, last, dates, folders)) {
        emit ended(*refused);
        return *refused;
    }
    DownloadEnd end;
    const auto keep = connect(this, &DownloadJob::ended, this, [&end](const DownloadEnd &e) { end = e; });
    while (downloading_)
        readBlock();
    disconnect(keep);
    return end;
}

} // namespace loadprofile
