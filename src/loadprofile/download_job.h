#pragma once

#include "loadprofile/date_search.h"
#include "loadprofile/download_origin.h"
#include "lpdata/archived_end.h"
#include "lpdata/csv_file.h"
#include "lpdata/records.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace session {
class MeterSession;
}

namespace loadprofile {

// Which records of a group a download asks for.
struct DownloadRange {
    enum class Kind {
        Records, // first .. last, numbers from 1
        Dates,   // those stamped from begin to end (date serials, both included)
        NewOnly, // those after the archive's last (all when it holds none)
    };
    Kind kind = Kind::Records;
    long long first = 1;
    long long last = 0; // 0: to the newest
    double begin = 0;
    double end = std::numeric_limits<double>::max();
    std::optional<lpdata::ArchivedEnd> archived;

    static DownloadRange records(long long first, long long last) { return {Kind::Records, first, last, 0, std::numeric_limits<double>::max(), {}}; }
    static DownloadRange dates(double begin, double end) { return {Kind::Dates, 1, 0, begin, end, {}}; }
    static DownloadRange newOnly(std::optional<lpdata::ArchivedEnd> archived)
    {
        return {Kind::NewOnly, 1, 0, 0, std::numeric_limits<double>::max(), std::move(archived)};
    }
};

struct DownloadPolicy {
    // Reads of a block that comes back unusable (the link, a short answer)
    // before the download ends; nothing: it is read again until it comes
    // (the window's download waits for its user).
    std::optional<int> blockAttempts;
    // The window's pace: Timer_RS_Lpf reads one block a tick while the poll
    // cycle pauses, a date search runs at the end of a poll cycle and
    // TimerEnLPRead starts its download. Otherwise run() downloads to the
    // end at once (the tool, the gateway).
    bool windowPace = true;
};

// How a download ended, or why it did not start.
struct DownloadEnd {
    enum class Reason {
        Done,            // every record asked for is in the file
        NothingNew,      // new only: the archive holds the meter's newest record
        Stopped,         // the user stopped it, or its caller did (progress said so)
        NoStatus,        // the meter shows no load-profile status
        NoChannels,      // the group reports no channel count it can have
        NoRecords,       // the group holds no records
        NotInGroup,      // the record numbers asked for are not the group's
        BadRecord,       // a record without a real date and time (badRecord), also when read again
        FileError,       // the CSV file could not be made or written (detail)
        NoAnswer,        // the meter stopped answering
        DatesUnreadable, // the date search found no readable time stamp
        OtherMeter,      // continued on another meter or with other group settings
    };
    Reason reason = Reason::Done;
    long long records = 0;     // rows written
    long long firstRecord = 0; // the record the download began at (by date: where the search led)
    long long lastRecord = 0;  // the last record asked for (from 1)
    long long badRecord = 0;
    QString detail;
};

// The load-profile downloads of one meter session, and the time of each
// group's newest record that its poll cycles keep: the one place that reads
// records block by block into a CSV file. A block of up to four records is
// read, checked, written to the file (whose rows are on disk before the
// next block is asked for) and handed on (blockWritten: the archive); with a
// date range the download ends with the block that holds the first record
// past its end. A block that fails is read again, so a download that goes
// on after a failure loses and repeats no record. The date search finds the
// first record of a date range. "New only" starts after the record where
// the archive's last download ended, when the meter still holds it at that
// number (its stamp read again), so that records stamped earlier after a
// clock set back are fetched too; otherwise after the archive's newest stamp.
//
// A download reads the meter and group it began with (its origin) to its
// end; one cut off by the link going offline can be continued on the same
// meter with the same group settings (continueCheck, resume).
class DownloadJob : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastTimerMs = 11;
    static constexpr int kStartDelayMs = 100;

    DownloadJob(session::MeterSession &session, DownloadPolicy policy, QObject *parent = nullptr);

    // The download to the end at once (without the window's pace): the
    // records of range of group g (0 or 1) into a new file in folders, named
    // after the meter's serial, today and the group (no file when folders
    // name none: the blocks only go to blockWritten, as for the gateway's
    // archive). Polls the meter first
    // when its group status is not known yet.
    DownloadEnd run(int g, const DownloadRange &range, const lpdata::DataFolders &folders);

    // With the window's pace: starts reading records first..last (from 1) of
    // group g; dates filters them (a download by date). Nothing when it has
    // started; else why not (NoChannels, FileError).
    std::optional<DownloadEnd> start(int g, long long first, long long last,
                                     std::optional<std::pair<double, double>> dates, const lpdata::DataFolders &folders);
    // The download by date the search found (rangeFound) into folders.
    std::optional<DownloadEnd> startFound(const lpdata::DataFolders &folders);
    // The records after the archive's last of the meter's group: all of
    // them when it holds none; after its last download's last record when
    // the meter holds that record still (nothing new, ended says so, when it
    // is the meter's newest); else those newer than its newest stamp
    // (nothing new when the meter's newest is no newer), by a date search.
    void startNewOnly(int g, const std::optional<lpdata::ArchivedEnd> &archived, const lpdata::DataFolders &folders);
    // Asks for a date search of group g from begin, and a download of its
    // records up to end (date serials); false while another search or a
    // running download is on its way.
    bool requestSearch(int g, double begin, double end);
    // Ends a date search that has not started its download.
    void endSearch();
    // A search is asked for, running, or has found its range and waits to
    // start its download.
    bool searchPending() const;

    // The download's pace again after a question (the window asked whether
    // to stop, and the answer was no).
    void keepRunning();
    // The user stops the download: the file keeps its rows.
    void stop();
    // A download cut off with records left: whether the meter read now is
    // the same meter with the same group settings; resume goes on with it.
    OriginChange continueCheck() const;
    DownloadOrigin originNow(int g) const;
    void resume();
    // The cut-off download is given up (another starts instead).
    void abandon();

    // A download with records left is running or cut off.
    bool hasRecordsLeft() const { return downloading_ && LPLastRecord_ > LPNextRecord_; }
    bool LPDownloading() const { return downloading_; }
    bool LPBlockBusy() const { return blockBusy_; }
    bool searchRunning() const { return searchRunning_; }
    long long LPNextRecord() const { return LPNextRecord_; }
    long long LPLastRecord() const { return LPLastRecord_; }
    const DownloadOrigin &origin() const { return origin_; }
    int searchGroup() const { return search_.group; }
    // The time stamp of the newest record of group 0 / 1 (a date serial; 0
    // until read).
    double LPLastDataTime(int g) const { return LPLastDataTime_[std::size_t(g)]; }
    const std::optional<lpdata::LoadProfileCsv> &file() const { return file_; }
    // The user pressed start while a block was read: deferredStartDue says
    // when to try again.
    void deferStart(bool fromSearch);

    QTimer Timer_RS_Lpf;
    // Starts the download a date search has prepared.
    QTimer TimerEnLPRead;

signals:
    void started();
    // A block's rows are in the file: its records, all of them, and the meter
    // and group they belong to.
    // firstRecord: the meter's number (from 1) of the first of them.
    void blockWritten(const loadprofile::DownloadOrigin &origin, long long firstRecord,
                      const std::vector<lpdata::Record> &records);
    // After each block: the next record to read (zero-based), records done of
    // records asked, and the seconds left at the pace so far (-1: not known yet).
    void progress(long long nextRecord, long long done, long long asked, long long secondsLeft);
    void ended(const loadprofile::DownloadEnd &end);
    // The link went offline while a download with records left was running.
    void interrupted();
    // The date search: probes made so far; found the first record of group g
    // (the download starts after TimerEnLPRead, startFoundDue); or ended
    // without one (DatesUnreadable, or NoAnswer for a failed read).
    void searchProgress(int probes);
    void rangeFound(int g, long long first, long long last);
    void startFoundDue();
    void searchFailed(loadprofile::DownloadEnd::Reason reason);
    // A date search ended before its download (stopped, failed, the link gone).
    void searchEnded();
    // The newest record of group g was read (LPLastDataTime).
    void newestTimeRead(int g);
    // The block that held a start back has returned.
    void deferredStartDue(bool fromSearch);

private:
    void Timer_RS_Lpf_Timer();
    void LPReadBlock();
    // One block: rows written and handed on, or the download ended. False
    // when it must be read again.
    bool readBlock();
    void finish(DownloadEnd::Reason reason, long long badRecord = 0, const QString &detail = {});
    void resumePoll();
    void loadProfileStep();
    void LPFindStartByDate();
    bool RefreshLPLastTime(int g);
    long long validCount(int g) const;
    DownloadEnd endOf(DownloadEnd::Reason reason) const;
    void linkOnlineChanged(bool online);
    // The first record at or after begin among the group's records, for run()
    // (the newest record's time read before).
    std::optional<long long> searchNow(int g, double begin, DownloadEnd::Reason *failure);
    // The meter's record `record` of group g still carries the stamp the
    // archive holds of it (to the minute, as the meter's stamps are read);
    // nothing when the read failed.
    std::optional<bool> stillHolds(int g, long long record, const QDateTime &stamp);

    session::MeterSession &session_;
    DownloadPolicy policy_;
    bool downloading_ = false;
    bool blockBusy_ = false;
    bool LPStartDeferred = false;
    bool deferredFromSearch_ = false;
    long long LPNextRecord_ = 0;
    long long LPLastRecord_ = 0;
    long long firstRecord_ = 0;
    long long written_ = 0;
    int attempts_ = 0;
    std::optional<std::pair<double, double>> range_;
    DownloadOrigin origin_;
    std::optional<lpdata::LoadProfileCsv> file_;
    QElapsedTimer sinceStart_;
    // Changes at every start and end of a download or a search: a block or
    // a probe that returns after its download or search was stopped or
    // replaced compares it and throws its answer away.
    std::uint64_t generation_ = 0;
    struct Search {
        int group = 0;
        double begin = 0;
        double end = 0;
        long long found = 0;
        // New only: the record where the archive's last download ended, and
        // its stamp; the search begins by reading it (0: none).
        long long lastRecord = 0;
        QDateTime lastRecordStamp;
        // Found by that record's number: every record after it, whatever its stamp.
        bool byNumber = false;
    };
    Search search_;
    bool searchRunning_ = false;
    bool resumePollAfterBlock_ = false;
    std::array<double, 2> LPLastDataTime_{};
};

} // namespace loadprofile
