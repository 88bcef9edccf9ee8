#include "gui/loadprofile/download_pace.h"

#include "links/link_state.h"
#include "loadprofile/date_search_job.h"
#include "loadprofile/download_origin.h"
#include "loadprofile/new_only_start.h"
#include "session/meter_session.h"

#include <limits>
#include <utility>

namespace loadprofile {

DownloadPace::DownloadPace(session::MeterSession &session, BlockDownload &download, DateSearch &search,
                           QObject *parent)
    : QObject(parent), session_(session), download_(download), search_(search)
{
    Timer_RS_Lpf.setObjectName(QStringLiteral("Timer_RS_Lpf"));
    Timer_RS_Lpf.setInterval(kFastTimerMs);
    TimerEnLPRead.setObjectName(QStringLiteral("TimerEnLPRead"));
    TimerEnLPRead.setInterval(kStartDelayMs);
    TimerEnLPRead.setSingleShot(true);
    connect(&Timer_RS_Lpf, &QTimer::timeout, this, &DownloadPace::Timer_RS_Lpf_Timer);
    connect(&TimerEnLPRead, &QTimer::timeout, this, &DownloadPace::startFoundDue);
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &DownloadPace::linkOnlineChanged);
    connect(&download_, &BlockDownload::readingEnded, this, &DownloadPace::readingEnded);
    connect(&search_, &DateSearch::rangeFound, this, [this] { TimerEnLPRead.start(); });
    connect(&search_, &DateSearch::nothingNew, this,
            [this] { download_.endUnstarted(download_.endOf(DownloadEnd::Reason::NothingNew)); });
}

long long DownloadPace::validCount(meter::LpGroup g) const { return validRecords(session_.reading(), g); }

void DownloadPace::linkOnlineChanged(bool online)
{
    if (online)
        return;
    // A date search that has not begun to read is dropped (one that reads
    // finds its probes failing and says so).
    if (searchPending() && !search_.searchRunning())
        endSearch();
    if (!Timer_RS_Lpf.isActive())
        return;
    Timer_RS_Lpf.stop();
    if (download_.hasRecordsLeft())
        emit interrupted();
}

std::optional<DownloadEnd> DownloadPace::start(meter::LpGroup g, long long first, long long last,
                                               std::optional<std::pair<double, double>> dates,
                                               const lpdata::DataFolders &folders)
{
    if (auto refused = download_.start(g, first, last, std::move(dates), folders))
        return refused;
    LPStartDeferred = false;
    keepRunning();
    return std::nullopt;
}

std::optional<DownloadEnd> DownloadPace::startFound(const lpdata::DataFolders &folders)
{
    const DateSearch::Found found = search_.found();
    return start(found.group, found.first, validCount(found.group), found.dates, folders);
}

void DownloadPace::startNewOnly(meter::LpGroup g, const std::optional<lpdata::ArchivedEnd> &archived,
                                const lpdata::DataFolders &folders)
{
    const long long valid = validCount(g);
    const NewOnlyStart plan = newOnlyStart(valid, search_.LPLastDataTime(g), archived);
    switch (plan.kind) {
    case NewOnlyStart::Kind::All:
        if (const auto refused = start(g, 1, valid, std::nullopt, folders))
            download_.endUnstarted(*refused);
        return;
    case NewOnlyStart::Kind::NothingNew: {
        DownloadEnd end = download_.endOf(DownloadEnd::Reason::NothingNew);
        end.detail = plan.newest;
        download_.endUnstarted(end);
        return;
    }
    case NewOnlyStart::Kind::Search:
        if (!requestRunning())
            search_.request(g, plan.begin, std::numeric_limits<double>::max(), plan.lastRecord, plan.lastRecordStamp);
        return;
    }
}

bool DownloadPace::searchPending() const { return search_.lpReadByDate() || TimerEnLPRead.isActive(); }

bool DownloadPace::requestRunning() const
{
    return searchPending() || (download_.LPDownloading() && Timer_RS_Lpf.isActive());
}

bool DownloadPace::requestSearch(meter::LpGroup g, double begin, double end)
{
    // One request at a time.
    if (requestRunning())
        return false;
    search_.request(g, begin, end);
    return true;
}

void DownloadPace::endSearch()
{
    TimerEnLPRead.stop();
    search_.end();
}

void DownloadPace::keepRunning()
{
    session_.poll().pause();
    resumePollAfterBlock_ = false;
    Timer_RS_Lpf.start();
}

void DownloadPace::stop()
{
    if (download_.LPDownloading())
        download_.stop();
    else
        endSearch();
}

void DownloadPace::abandon()
{
    download_.abandon();
    Timer_RS_Lpf.stop();
    session_.poll().resume();
}

void DownloadPace::deferStart(bool fromSearch)
{
    LPStartDeferred = true;
    deferredFromSearch_ = fromSearch;
}

void DownloadPace::readingEnded()
{
    // A download that ends drops a date search asked for meanwhile.
    search_.drop();
    Timer_RS_Lpf.stop();
    resumePoll();
}

void DownloadPace::resumePoll()
{
    if (blockBusy_)
        resumePollAfterBlock_ = true;
    else
        session_.poll().resume();
}

void DownloadPace::Timer_RS_Lpf_Timer()
{
    if (download_.LPDownloading() && !session_.meter().busy()) {
        blockBusy_ = true;
        download_.LPReadBlock();
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

void DownloadPace::cycleEnded()
{
    search_.readNewestTimes();
    if (!Timer_RS_Lpf.isActive())
        search_.searchStep();
}

void DownloadPace::stopTimers()
{
    Timer_RS_Lpf.stop();
    TimerEnLPRead.stop();
}

} // namespace loadprofile
