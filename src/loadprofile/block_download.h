#pragma once

#include "loadprofile/download_origin.h"
#include "lpdata/csv_file.h"
#include "lpdata/records.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace session {
class MeterSession;
}

namespace loadprofile {

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

// The block download of a meter session: the one place that reads records
// block by block into a CSV file. A block of up to four records is read,
// checked, written to the file (whose rows are on disk before the next block
// is asked for) and handed on (blockWritten: the archive); with a date range
// the download ends with the block that holds the first record past its end.
// A block that fails is read again, so a download that goes on after a
// failure loses and repeats no record.
//
// It reads a block when its caller says so (LPReadBlock): the window at its
// pace (DownloadPace), the tool and the gateway one block after the other
// (DownloadJob). A download reads the meter and group it began with (its
// origin) to its end; one cut off by the link going offline can be continued
// on the same meter with the same group settings (continueCheck).
class BlockDownload : public QObject {
    Q_OBJECT
public:
    // blockAttempts: reads of a block that comes back unusable (the link, a
    // short answer) before the download ends; nothing: it is read again until
    // it comes (the window's download waits for its user).
    BlockDownload(session::MeterSession &session, std::optional<int> blockAttempts, QObject *parent = nullptr);

    // Prepares reading records first..last (from 1) of group g into a new
    // file in folders, named after the meter's serial, today and the group
    // (no file when folders name none: the blocks only go to blockWritten);
    // dates filters them (a download by date). Nothing when it has started;
    // else why not (NoChannels, FileError).
    std::optional<DownloadEnd> start(meter::LpGroup g, long long first, long long last,
                                     std::optional<std::pair<double, double>> dates, const lpdata::DataFolders &folders);
    // Reads the next block: its rows written and handed on, or the download
    // ended. A block that must be read again is read at the next call.
    void LPReadBlock();
    // The download stops: the file keeps its rows.
    void stop();
    // The cut-off download is given up (another starts instead).
    void abandon();

    // A download cut off with records left: whether the meter read now is
    // the same meter with the same group settings.
    OriginChange continueCheck() const;
    DownloadOrigin originNow(meter::LpGroup g) const;

    // A download with records left is running or cut off.
    bool hasRecordsLeft() const { return downloading_ && LPLastRecord_ > LPNextRecord_; }
    bool LPDownloading() const { return downloading_; }
    long long LPNextRecord() const { return LPNextRecord_; }
    long long LPLastRecord() const { return LPLastRecord_; }
    const DownloadOrigin &origin() const { return origin_; }
    const std::optional<lpdata::LoadProfileCsv> &file() const { return file_; }

    // An end for the reason, with the counts of the last download on this
    // object as far as it got.
    DownloadEnd endOf(DownloadEnd::Reason reason) const;
    // A download that was asked for and does not begin (nothing new, or a
    // start refused): ended tells it, as it tells every end.
    void endUnstarted(const DownloadEnd &end) { emit ended(end); }

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
    // A running download stopped reading (done, stopped, failed); ended
    // follows. Its pace stops here, before anyone is told.
    void readingEnded();
    void ended(const loadprofile::DownloadEnd &end);

protected:
    // The counts endOf reports begin at none.
    void clearCounts();

private:
    void finish(DownloadEnd::Reason reason, long long badRecord = 0, const QString &detail = {});

    session::MeterSession &session_;
    std::optional<int> blockAttempts_;
    bool downloading_ = false;
    long long LPNextRecord_ = 0;
    long long LPLastRecord_ = 0;
    long long firstRecord_ = 0;
    long long written_ = 0;
    int attempts_ = 0;
    std::optional<std::pair<double, double>> range_;
    DownloadOrigin origin_;
    std::optional<lpdata::LoadProfileCsv> file_;
    QElapsedTimer sinceStart_;
    // Changes at every start and end: a block that returns after its
    // download was stopped or replaced compares it and throws its answer away.
    std::uint64_t generation_ = 0;
};

} // namespace loadprofile
