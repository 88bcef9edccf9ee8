#include "loadprofile/download_job.h"

#include "loadprofile/date_search.h"
#include "loadprofile/new_only_start.h"
#include "loadprofile/record_reads.h"
#include "meter/lp_status.h"
#include "session/meter_session.h"

namespace loadprofile {

DownloadJob::DownloadJob(session::MeterSession &session, DownloadPolicy policy, QObject *parent)
    : BlockDownload(session, policy.blockAttempts, parent), session_(session)
{
}

long long DownloadJob::validCount(meter::LpGroup g) const { return validRecords(session_.reading(), g); }

std::optional<long long> DownloadJob::searchNow(meter::LpGroup g, double begin, double newest, DownloadEnd::Reason *failure)
{
    const int perDay = recordsPerDay(meter::lpIntervalText(session_.reading().group(meter::LpGroup::first()).intervalCode));
    const StartRecordSearch found =
        findStartRecord(begin, validCount(g), newest, perDay,
                        [&](long long record) { return readRecordTime(session_.meter(), g, record); });
    if (found.outcome == StartRecordSearch::Outcome::Found)
        return found.record;
    *failure = found.outcome == StartRecordSearch::Outcome::Unreadable ? DownloadEnd::Reason::DatesUnreadable
                                                                       : DownloadEnd::Reason::NoAnswer;
    return std::nullopt;
}

DownloadEnd DownloadJob::run(meter::LpGroup g, const DownloadRange &range, const lpdata::DataFolders &folders)
{
    using Reason = DownloadEnd::Reason;
    const auto ending = [this](Reason reason) {
        const DownloadEnd end = endOf(reason);
        endUnstarted(end);
        return end;
    };
    clearCounts();
    // The group's status as the poll cycle reads it: a first cycle after
    // connecting may not have read the valid counts yet; a second one has.
    QString error;
    for (int cycle = 0; cycle < 2 && !session_.reading().group(g).validRecords; ++cycle)
        if (!session_.pollOnce(&error))
            return ending(Reason::NoAnswer);
    if (!session_.reading().group(g).validRecords)
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
        const std::optional<bool> holds =
            stillHolds(session_.meter(), g, range.archived->lastRecord, validCount(g), range.archived->lastRecordStamp);
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
        const std::optional<double> newest = readRecordTime(session_.meter(), g, validCount(g));
        if (!newest)
            return ending(Reason::NoAnswer);
        if (range.kind == DownloadRange::Kind::NewOnly && *newest < *begin)
            return ending(Reason::NothingNew);
        Reason failure = Reason::NoAnswer;
        const std::optional<long long> found = searchNow(g, *begin, *newest, &failure);
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
            endUnstarted(end);
            return end;
        }
    }
    if (auto refused = start(g, first, last, dates, folders)) {
        endUnstarted(*refused);
        return *refused;
    }
    DownloadEnd end;
    const auto keep = connect(this, &BlockDownload::ended, this, [&end](const DownloadEnd &e) { end = e; });
    while (LPDownloading())
        LPReadBlock();
    disconnect(keep);
    return end;
}

} // namespace loadprofile
