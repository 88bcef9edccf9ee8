#pragma once

#include "lpdata/records.h"
#include "meter/lp_group.h"

#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace session {
class MeterAccess;
}

// Reading records from the meter: the time stamp of one record, a block of
// up to four records, and the rows a block gives. The window's download and
// date search and the command-line tool read through these.
namespace loadprofile {

// The time stamp of a record (numbered from 1) of the group, as a date
// serial; 0 when its bytes form no date. Nothing when the read failed (a
// transaction failed, the link went offline, the answer was cut short): a
// failed read is never taken for a time.
std::optional<double> readRecordTime(session::MeterAccess &meter, meter::LpGroup group, long long recordNumber);

// The records next to last (zero-based, inclusive), at most one block of
// four. Empty when a transaction failed, the link went offline, or the answer
// does not hold them all: the block is then to be asked for again.
std::optional<std::vector<lpdata::Record>> readRecordBlock(session::MeterAccess &meter, meter::LpGroup group, int channels,
                                                   long long next, long long last);

// A block whose records all carry a real date and time. A block holding a
// record without one is asked for once more (an answer can be read before
// the meter has finished a record); when the second answer holds such a
// record too, badRecord names it (its number, from 1) and the block must not
// be written.
struct CheckedBlock {
    std::optional<std::vector<lpdata::Record>> records; // nothing: not read, ask again
    std::optional<long long> badRecord;
};
CheckedBlock readCheckedBlock(session::MeterAccess &meter, meter::LpGroup group, int channels, long long next,
                              long long last);

// The CSV rows of a block; with a date range [begin, end] (date serials)
// only the rows of its records. pastEnd: a record lay beyond the end, so the
// download ends with this block.
struct BlockRows {
    QStringList rows;
    bool pastEnd = false;
};
BlockRows blockRows(const std::vector<lpdata::Record> &records,
                    const std::optional<std::pair<double, double>> &range);

} // namespace loadprofile
