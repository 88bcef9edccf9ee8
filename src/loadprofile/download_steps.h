#pragma once

#include "loadprofile/download_origin.h"
#include "loadprofile/record_reads.h"

#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

// The steps of one download, shared by the window (one step per tick of its
// fast timer) and the command-line tool (a loop): block by block of up to
// four records from the next record to the last (zero-based, inclusive);
// each block read, checked and turned into CSV rows; with a date range, the
// download ends with the block that holds the first record past its end.
namespace loadprofile {

class DownloadSteps {
public:
    // next and last are the caller's own (the window shows them); range:
    // date serials, both included, for a download by date.
    DownloadSteps(long long &next, long long &last, std::optional<std::pair<double, double>> range)
        : next_(next), last_(last), range_(std::move(range))
    {
    }

    struct Step {
        enum class Kind {
            Rows,      // read: its records and the rows to write
            Again,     // not read (the link, a short answer): ask for it again
            BadRecord, // a record without a real date and time, also when read again
        };
        Kind kind = Kind::Again;
        std::vector<Record> records;
        QStringList rows;
        bool pastEnd = false;    // a record lay past the date range's end
        long long badRecord = 0; // its number, from 1
    };

    // Reads the next block with the download's group and channels.
    Step read(MeterLink meter, const DownloadOrigin &origin) const;
    // The step's rows are on disk: on to the next block (or to the end).
    void taken(const Step &step);
    bool done() const { return next_ > last_; }

private:
    long long &next_;
    long long &last_;
    std::optional<std::pair<double, double>> range_;
};

} // namespace loadprofile
