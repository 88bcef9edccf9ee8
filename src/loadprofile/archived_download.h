#pragma once

#include "archive/archive_store.h"
#include "links/meter_address.h"
#include "meter/lp_group.h"
#include "modbus/traffic.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace session {
class MeterSession;
}
namespace archive {
class DownloadArchiver;
}

namespace loadprofile {

// Which records of which group a download asks for: record numbers, or the
// records stamped from since (to until, or to the newest).
struct LpRange {
    meter::LpGroup group;
    std::optional<long long> from, to;
    std::optional<QDateTime> since, until;
    // The records after the last one the archive holds of the meter's
    // group (by its place in the meter's sequence); all of them when it
    // holds none.
    bool newOnly = false;
};

struct LpResult {
    bool ok = false;
    QString path;          // the CSV file, when one was made
    long long records = 0; // rows written
    long long firstRecord = 0; // the record the download began at (by date: where the search led)
    bool nothingNew = false;   // newOnly: the meter holds nothing newer than the archive
    QString error;         // one line, when not ok
    QString archiveError;  // the archive could not keep the records (the CSV file has them)
    QString archiveNote;   // opening the archive moved a damaged file aside: both paths
    archive::StoreResult stored; // what the archive made of the records
};

// Records done of records asked, whenever a block has been written. False
// stops the download there (a worker that lost its claim of the meter).
using LpProgress = std::function<bool(long long done, long long asked)>;

// Downloads one meter's records into a new CSV file in outDir: the same name,
// header lines and rows as the window's download of the same range, the
// start of a date range found by the same search. Each block's rows are on
// disk before the next is asked for, and kept in the archive at archivePath
// too (none when empty).
LpResult downloadLoadProfile(const links::MeterAddress &address, const LpRange &range,
                             const QString &outDir, const QString &archivePath,
                             const LpProgress &progress = {},
                             modbus::TrafficObserver *log = nullptr);

// The same on a session that is open already (the gateway's meters share
// their line): no CSV file when outDir is empty, every block to archiver.
LpResult downloadOnSession(session::MeterSession &meter, const LpRange &range, const QString &outDir,
                           archive::DownloadArchiver &archiver, const LpProgress &progress = {});

} // namespace loadprofile
