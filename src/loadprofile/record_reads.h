#pragma once

#include "loadprofile/records.h"

#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class LinkState;
namespace modbus {
class Transactions;
}

// Reading records from the meter: the time stamp of one record, a block of
// up to four records, and the rows a block gives. The window's download and
// date search and the command-line tool read through these.
namespace loadprofile {

// The meter a read talks to: its transactions and the link they run on.
struct MeterLink {
    modbus::Transactions &transactions;
    LinkState &link;
};

// The time stamp of a record (numbered from 1) of group 0 or 1, as a date
// serial; 0 when it cannot be read.
double readRecordTime(MeterLink meter, int group, long long recordNumber);

// The records next to last (zero-based, inclusive), at most one block of
// four. Empty when a transaction failed, the link went offline, or the answer
// does not hold them all: the block is then to be asked for again.
std::optional<std::vector<Record>> readRecordBlock(MeterLink meter, int group, int channels,
                                                   long long next, long long last);

// The CSV rows of a block; with a date range [begin, end] (date serials)
// only the rows of its records. pastEnd: a record lay beyond the end, so the
// download ends with this block.
struct BlockRows {
    QStringList rows;
    bool pastEnd = false;
};
BlockRows blockRows(const std::vector<Record> &records,
                    const std::optional<std::pair<double, double>> &range);

} // namespace loadprofile
