#pragma once

#include "loadprofile/block_download.h"
#include "lpdata/archived_end.h"
#include "lpdata/csv_file.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <utility>

namespace session {
class MeterSession;
}

namespace loadprofile {

class DateSearch;

// The window's pace of load-profile downloads. Timer_RS_Lpf reads one block
// of the download a tick while the poll cycle pauses; a date search runs at
// the end of poll cycles, and TimerEnLPRead starts the download it found. One
// request at a time: a download that reads, or a search asked for, holds
// back another. Going offline stops the reading; a download cut off with
// records left says so (interrupted).
//
// The timers are this class's own: others go through its functions (tests
// look at them).
class DownloadPace : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastTimerMs = 11;
    static constexpr int kStartDelayMs = 100;

    DownloadPace(session::MeterSession &session, BlockDownload &download, DateSearch &search,
                 QObject *parent = nullptr);

    BlockDownload &download() { return download_; }
    DateSearch &search() { return search_; }

    // Starts reading records first..last (from 1) of group g at this pace
    // (BlockDownload::start). Nothing when it has started; else why not.
    std::optional<DownloadEnd> start(meter::LpGroup g, long long first, long long last,
                                     std::optional<std::pair<double, double>> dates, const lpdata::DataFolders &folders);
    // The download by date the search found (rangeFound) into folders.
    std::optional<DownloadEnd> startFound(const lpdata::DataFolders &folders);
    // The records after the archive's last of the meter's group g: all of
    // them when it holds none; else a date search that reads first whether
    // the meter still holds the archive's last record (NewOnlyStart). What
    // finds nothing new ends the download (ended: NothingNew).
    void startNewOnly(meter::LpGroup g, const std::optional<lpdata::ArchivedEnd> &archived, const lpdata::DataFolders &folders);
    // Asks for a date search of group g from begin, and a download of its
    // records up to end (date serials); false while another request runs.
    bool requestSearch(meter::LpGroup g, double begin, double end);
    // Ends a date search that has not started its download.
    void endSearch();
    // A search is asked for, running, or has found its range and waits to
    // start its download.
    bool searchPending() const;
    // A search is pending, or a download reads at this pace.
    bool requestRunning() const;

    // The pace again after a question (the window asked whether to stop,
    // and the answer was no), or for a download continued after a reconnect.
    void keepRunning();
    void resume() { keepRunning(); }
    // The user stops the download (the file keeps its rows), or the search.
    void stop();
    // The cut-off download is given up (another starts instead).
    void abandon();
    // The user pressed start while a block was read: deferredStartDue says
    // when to try again.
    void deferStart(bool fromSearch);
    bool LPBlockBusy() const { return blockBusy_; }

    // The end of a poll cycle that is still online: the newest records'
    // times, then the date search, but not while a download reads (the poll
    // is paused then, and a download the search would start must wait for it).
    void cycleEnded();
    // Stops both timers (the window closes, or starts anew).
    void stopTimers();

    QTimer Timer_RS_Lpf;
    // Starts the download a date search has prepared.
    QTimer TimerEnLPRead;

signals:
    // The link went offline while a download with records left was read.
    void interrupted();
    // TimerEnLPRead: the download the search found may start now.
    void startFoundDue();
    // The block that held a start back has returned.
    void deferredStartDue(bool fromSearch);

private:
    void Timer_RS_Lpf_Timer();
    void linkOnlineChanged(bool online);
    void readingEnded();
    void resumePoll();
    long long validCount(meter::LpGroup g) const;

    session::MeterSession &session_;
    BlockDownload &download_;
    DateSearch &search_;
    bool blockBusy_ = false;
    bool LPStartDeferred = false;
    bool deferredFromSearch_ = false;
    bool resumePollAfterBlock_ = false;
};

} // namespace loadprofile
