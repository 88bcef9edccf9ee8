#pragma once

#include "loadprofile/block_download.h"
#include "lpdata/archived_end.h"
#include "lpdata/csv_file.h"

#include <limits>
#include <optional>
#include <utility>

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
    // before the download ends; nothing: it is read again until it comes.
    std::optional<int> blockAttempts;
};

// A download to its end at once, without the window's pace (the tool, the
// gateway): the range (by number, by date, or new only) is found first, with
// the meter's reads waited for in turn, then its blocks are read one after
// the other.
class DownloadJob : public BlockDownload {
    Q_OBJECT
public:
    DownloadJob(session::MeterSession &session, DownloadPolicy policy, QObject *parent = nullptr);

    // The records of range of group g into a new file in folders,
    // named after the meter's serial, today and the group (no file when
    // folders name none: the blocks only go to blockWritten, as for the
    // gateway's archive). Polls the meter first when its group status is not
    // known yet.
    DownloadEnd run(meter::LpGroup g, const DownloadRange &range, const lpdata::DataFolders &folders);

private:
    // The first record at or after begin among the group's records, whose
    // newest is stamped newest.
    std::optional<long long> searchNow(meter::LpGroup g, double begin, double newest, DownloadEnd::Reason *failure);
    long long validCount(meter::LpGroup g) const;

    session::MeterSession &session_;
};

} // namespace loadprofile
