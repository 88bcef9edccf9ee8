#pragma once

#include "loadprofile/archived_download.h"

#include <QString>

#include <functional>

namespace archive {
class ArchiveStore;
}

// A meter's load-profile round under a fleet's claims in the archive
// (archive_store.h): claimed before it is read, its lease renewed while it
// is read, its result kept when done. The fleet's batch workers and the
// gateways that share a PostgreSQL archive take their rounds this way, so
// no two read one meter at once and a meter read in this round is left.
namespace loadprofile {

struct FleetClaim {
    QString worker;           // unique among the workers
    double leaseSeconds = 60; // a claim not renewed for this long is free again
};

// The key a meter's group is claimed by: its address, unit and group.
QString claimKey(const links::MeterAddress &address, meter::LpGroup group);

struct ClaimedDownload {
    enum class Outcome {
        Read,            // claimed and downloaded (result tells how it went)
        NotClaimed,      // the archive could not be asked (error)
        Held,            // another worker reads it now (leaseLeft)
        FinishedByOther, // another worker read it in this round (other, otherRecords)
        TakenOver,       // this worker stalled past its lease and other took it over
    };
    Outcome outcome = Outcome::NotClaimed;
    LpResult result;             // Read and TakenOver: what the download gave
    QString error;               // NotClaimed: why
    QString finishError;         // Read: the archive did not keep the result
    QString other;               // the other worker, when known
    long long otherRecords = 0;  // FinishedByOther: the records it read
    double leaseLeft = 0;        // Held: seconds until its lease runs out
};

// Claims key for the round that began at roundStart (the archive's clock),
// runs download with a progress that renews the lease every third of it and
// ends the download at a claim taken over or when keepGoing (if given)
// says no, then keeps the result with the claim.
ClaimedDownload claimedDownload(archive::ArchiveStore &store, const QString &key, const FleetClaim &fleet,
                                double roundStart, const std::function<LpResult(const LpProgress &)> &download,
                                const std::function<bool()> &keepGoing = {});

} // namespace loadprofile
