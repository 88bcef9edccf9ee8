#pragma once

#include "gateway/meter_list.h"
#include "loadprofile/claimed_download.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace cli {

// A worker of a fleet: several tools, on one machine or many, given the same
// meters file and the same archive, share its TCP meters out through the
// archive's claims (loadprofile/claimed_download.h); a worker that dies frees
// its meters when their leases run out, and the others take them. Meters on
// serial ports are this machine's own and are read without claims. Its
// worker name is unique among the workers: host and process by default.
using FleetWorker = loadprofile::FleetClaim;

struct BatchResult {
    gateway::MeterJob job;
    loadprofile::LpResult result;
    QString doneBy; // another worker of the fleet read this meter in this round
};

// Downloads every meter of the list into outDir. Meters on TCP hosts run in
// parallel, at most `parallel` at a time; meters on one serial port one after
// the other. A meter that fails does not stop the others. finished(done,
// total) is called, from any thread, each time a meter is done.
// log: each meter's traffic on standard error, its lines led by its line
// number in the file. fleet: claim TCP meters in the archive at archivePath
// (which must be given) as this worker.
std::vector<BatchResult> runBatch(const std::vector<gateway::MeterJob> &jobs, const QString &outDir,
                                  const QString &archivePath, int parallel, bool log = false,
                                  const std::function<void(int done, int total)> &finished = {},
                                  const std::optional<FleetWorker> &fleet = std::nullopt);

// One line per meter: its line in the file, where it is, and the file and
// record count, or what went wrong.
QString summaryTable(const std::vector<BatchResult> &results);

// The worker's own line: meters it read, records, time, records per second,
// processor time, meters other workers read, meters that failed.
QString workerSummary(const FleetWorker &worker, const std::vector<BatchResult> &results, double seconds,
                      double cpuSeconds);

} // namespace cli
