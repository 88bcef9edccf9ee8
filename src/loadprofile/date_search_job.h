#pragma once

#include "loadprofile/block_download.h"
#include "meter/lp_group.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace session {
class MeterSession;
}

namespace loadprofile {

// The window's date search and the time of each group's newest record, both
// read at the end of poll cycles, on the cycle's connection. A search asked
// for (LPReadByDate) finds the first record of a date range; "new only"
// first reads the record where the archive's last download ended. What it
// found (rangeFound, found()) is the download's to start; a search that finds
// nothing new says so (nothingNew).
class DateSearch : public QObject {
    Q_OBJECT
public:
    explicit DateSearch(session::MeterSession &session, QObject *parent = nullptr);

    // Asks for a search of group g from begin, for a download of its records
    // up to end (date serials). New only: lastRecord (0: none) is the record
    // where the archive's last download ended, stamped lastRecordStamp; the
    // search reads it first.
    void request(meter::LpGroup g, double begin, double end, long long lastRecord = 0, const QDateTime &lastRecordStamp = {});
    // Ends a search that has not started its download (searchEnded).
    void end();
    // The search asked for is dropped without a word: a download ended meanwhile.
    void drop();

    // The steps at the end of a poll cycle that is still online. First the
    // newest record's time of each group whose valid-record count changed;
    // then, when a search is asked for and the cycle's reads went through,
    // the search (LPFindStartByDate).
    void readNewestTimes();
    void searchStep();

    // A search is asked for and has not found its range yet.
    bool lpReadByDate() const { return LPReadByDate; }
    // Its probes are being read.
    bool searchRunning() const { return searchRunning_; }
    // What the last search found: the group, its first record, and the date
    // range that filters the download (none: every record from there).
    struct Found {
        meter::LpGroup group;
        long long first = 0;
        std::optional<std::pair<double, double>> dates;
    };
    Found found() const;
    // The time stamp of the newest record of group g (a date serial; 0
    // until read).
    double LPLastDataTime(meter::LpGroup g) const { return LPLastDataTime_[g.index()]; }
    // The valid-record count of group g changed since its newest record's
    // time was last read.
    bool lpNewData(meter::LpGroup g) const { return LPNewData[g.index()]; }

signals:
    // Probes made so far.
    void searchProgress(int probes);
    // Found the first record of group g (the download of first..last may start).
    void rangeFound(meter::LpGroup g, long long first, long long last);
    // Ended without one: DatesUnreadable, or NoAnswer for a failed read.
    void searchFailed(loadprofile::DownloadEnd::Reason reason);
    // A search ended before its download (stopped, failed, the link gone,
    // nothing new).
    void searchEnded();
    // New only: the meter holds nothing after the archive's last record.
    void nothingNew();
    // The newest record of group g was read (LPLastDataTime).
    void newestTimeRead(meter::LpGroup g);

private:
    void LPFindStartByDate();
    bool RefreshLPLastTime(meter::LpGroup g);
    long long validCount(meter::LpGroup g) const;

    session::MeterSession &session_;
    bool LPReadByDate = false;
    struct Search {
        meter::LpGroup group;
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
    // Changes at every end of a search: a probe that returns after its search
    // was ended compares it and ends the search it belonged to.
    std::uint64_t generation_ = 0;
    std::array<bool, meter::LpGroup::kCount> LPNewData{};
    std::array<double, meter::LpGroup::kCount> LPLastDataTime_{};
};

} // namespace loadprofile
