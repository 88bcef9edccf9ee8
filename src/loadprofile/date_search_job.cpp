#include "loadprofile/date_search_job.h"

#include "loadprofile/date_search.h"
#include "loadprofile/download_origin.h"
#include "loadprofile/new_only_start.h"
#include "loadprofile/record_reads.h"
#include "meter/lp_status.h"
#include "session/meter_session.h"

#include <utility>

namespace loadprofile {

DateSearch::DateSearch(session::MeterSession &session, QObject *parent) : QObject(parent), session_(session)
{
    connect(&session_.poll(), &session::PollCycle::validCountChanged, this,
            [this](meter::LpGroup g) { LPNewData[g.index()] = true; });
}

long long DateSearch::validCount(meter::LpGroup g) const { return validRecords(session_.reading(), g); }

DateSearch::Found DateSearch::found() const
{
    return {search_.group, search_.found,
            search_.byNumber ? std::nullopt : std::optional(std::pair(search_.begin, search_.end))};
}

void DateSearch::request(meter::LpGroup g, double begin, double end, long long lastRecord, const QDateTime &lastRecordStamp)
{
    search_ = {g, begin, end, 0, lastRecord, lastRecordStamp, false};
    LPReadByDate = true;
}

void DateSearch::end()
{
    drop();
    emit searchEnded();
}

void DateSearch::drop()
{
    LPReadByDate = false;
    ++generation_;
}

bool DateSearch::RefreshLPLastTime(meter::LpGroup g)
{
    const auto newest = readRecordTime(session_.meter(), g, validCount(g));
    if (newest)
        LPLastDataTime_[g.index()] = *newest;
    return newest.has_value();
}

void DateSearch::readNewestTimes()
{
    for (const meter::LpGroup g : meter::LpGroup::all()) {
        if (!LPNewData[g.index()] || validCount(g) == 0 || !session_.poll().lastTransOK())
            continue;
        // A failed read leaves the time as it was, to be read again.
        if (!RefreshLPLastTime(g))
            continue;
        LPNewData[g.index()] = false;
        emit newestTimeRead(g);
    }
}

void DateSearch::searchStep()
{
    if (LPReadByDate && session_.poll().lastTransOK())
        LPFindStartByDate();
}

void DateSearch::LPFindStartByDate()
{
    const meter::LpGroup g = search_.group;
    if (search_.lastRecord > 0) {
        // New only: where the archive's last download ended, if the meter
        // holds that record still.
        const long long last = std::exchange(search_.lastRecord, 0);
        const std::optional<bool> holds = stillHolds(session_.meter(), g, last, validCount(g), search_.lastRecordStamp);
        if (!LPReadByDate)
            return; // stopped meanwhile
        if (holds && *holds) {
            LPReadByDate = false;
            if (last >= validCount(g)) {
                emit searchEnded();
                emit nothingNew();
                return;
            }
            search_.found = last + 1;
            search_.byNumber = true;
            emit rangeFound(g, search_.found, validCount(g));
            return;
        }
        if (!holds)
            return; // read again at the next cycle
        if (LPLastDataTime_[g.index()] != 0 && LPLastDataTime_[g.index()] < search_.begin) {
            LPReadByDate = false;
            emit searchEnded();
            emit nothingNew();
            return;
        }
    }
    const int perDay = recordsPerDay(meter::lpIntervalText(session_.reading().group(meter::LpGroup::first()).intervalCode));
    // The probes wait for the meter with the window alive: a stop, or the
    // link going offline, ends the search at its next probe.
    const std::uint64_t generation = generation_;
    int probes = 0;
    searchRunning_ = true;
    const StartRecordSearch found = findStartRecord(
        search_.begin, validCount(g), LPLastDataTime_[g.index()], perDay,
        [&](long long record) -> std::optional<double> {
            if (generation_ != generation || !LPReadByDate)
                return std::nullopt;
            emit searchProgress(probes++);
            return readRecordTime(session_.meter(), g, record);
        });
    searchRunning_ = false;
    using Outcome = StartRecordSearch::Outcome;
    if (generation_ != generation || !LPReadByDate)
        return; // stopped: the stop has put everything back
    if (found.outcome == Outcome::NoRecords)
        return; // asked again at the next cycle
    if (found.outcome != Outcome::Found) {
        end();
        emit searchFailed(found.outcome == Outcome::Failed ? DownloadEnd::Reason::NoAnswer
                                                           : DownloadEnd::Reason::DatesUnreadable);
        return;
    }
    // Found: the download starts from here; the request is carried out.
    LPReadByDate = false;
    search_.found = found.record;
    emit rangeFound(g, found.record, validCount(g));
}

} // namespace loadprofile
