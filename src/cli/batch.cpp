#include "cli/batch.h"

#include "archive/archive_store.h"
#include "links/stderr_traffic.h"

#include <QElapsedTimer>
#include <QMap>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

// A lane is one serial port's meters, read one after the other, or one TCP
// meter. A lane whose meter another worker holds waits until retryAt.
struct Lane {
    std::vector<std::size_t> meters;
    std::size_t next = 0;
    bool busy = false;
    Clock::time_point retryAt{};
    bool left() const { return next < meters.size(); }
};

// What became of one turn at a meter: done (read, failed, or read by
// another worker), or to be tried again after a while.
struct Turn {
    bool done = true;
    std::chrono::milliseconds retryAfter{0};
};

// One pool thread's claims connection to the archive: a database connection
// belongs to the thread that opened it.
class ThreadClaims {
public:
    archive::ArchiveStore *store(const QString &archivePath, QString *error)
    {
        if (!store_)
            store_ = archive::ArchiveStore::open(archivePath, error);
        return store_ ? &*store_ : nullptr;
    }

private:
    std::optional<archive::ArchiveStore> store_;
};

} // namespace

std::vector<BatchResult> runBatch(const std::vector<gateway::MeterJob> &jobs, const QString &outDir,
                                  const QString &archivePath, int parallel, bool log,
                                  const std::function<void(int, int)> &finished,
                                  const std::optional<FleetWorker> &fleet)
{
    QMap<QString, Lane> lanes;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const links::MeterAddress &a = jobs[i].address;
        lanes[a.rtu ? QStringLiteral("rtu %1").arg(a.port) : QStringLiteral("tcp %1").arg(i)].meters.push_back(i);
    }
    std::vector<BatchResult> results(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i)
        results[i].job = jobs[i];

    // A round begins now by the archive's clock: a meter finished by any
    // worker from now on is not read again by this one.
    double roundStart = 0;
    QString fleetError;
    if (fleet) {
        auto store = archive::ArchiveStore::open(archivePath, &fleetError);
        const std::optional<double> now = store ? store->serverClock(&fleetError) : std::nullopt;
        if (now)
            roundStart = *now;
        else
            fleetError = QStringLiteral("the archive cannot share the meters out: ") + fleetError;
    }

    const auto download = [&](std::size_t i, const loadprofile::LpProgress &progress) {
        links::StderrTraffic traffic(QStringLiteral("[%1] ").arg(jobs[i].line));
        return loadprofile::downloadLoadProfile(jobs[i].address, jobs[i].range, outDir, archivePath, progress,
                                   log ? &traffic : nullptr);
    };

    // One turn at meter i: claim it, read it while renewing the lease, and
    // tell the archive the result.
    const auto claimedTurn = [&](std::size_t i, ThreadClaims &claims) -> Turn {
        QString error;
        archive::ArchiveStore *store = fleetError.isEmpty() ? claims.store(archivePath, &error) : nullptr;
        if (!store) {
            results[i].result.error = fleetError.isEmpty() ? error : fleetError;
            return {};
        }
        using Outcome = loadprofile::ClaimedDownload::Outcome;
        const loadprofile::ClaimedDownload round = loadprofile::claimedDownload(
            *store, loadprofile::claimKey(jobs[i].address, jobs[i].range.group), *fleet, roundStart,
            [&](const loadprofile::LpProgress &progress) { return download(i, progress); });
        switch (round.outcome) {
        case Outcome::NotClaimed:
            results[i].result.error = round.error;
            return {};
        case Outcome::Held:
            // Looked at again within a second, and when its lease runs out.
            return {false, std::chrono::milliseconds(qint64(std::clamp(round.leaseLeft, 0.05, 1.0) * 1000))};
        case Outcome::FinishedByOther:
            results[i].doneBy = round.other;
            results[i].result.ok = true;
            results[i].result.records = round.otherRecords;
            return {};
        case Outcome::TakenOver:
            // This worker stalled past its lease and another took the meter
            // over: it reads the rest, so the meter did not fail.
            results[i].result = round.result;
            results[i].result.ok = true;
            results[i].result.error.clear();
            results[i].doneBy = round.other.isEmpty() ? QStringLiteral("another worker") : round.other;
            return {};
        case Outcome::Read:
            results[i].result = round.result;
            if (!round.finishError.isEmpty() && round.result.ok)
                results[i].result.archiveError = round.finishError;
            return {};
        }
        return {};
    };

    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    const auto work = [&] {
        ThreadClaims claims;
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            Lane *lane = nullptr;
            bool anyLeft = false;
            Clock::time_point earliest = Clock::time_point::max();
            for (Lane &l : lanes) {
                if (!l.left())
                    continue;
                anyLeft = true;
                if (l.busy)
                    continue;
                if (l.retryAt <= Clock::now()) {
                    lane = &l;
                    break;
                }
                earliest = std::min(earliest, l.retryAt);
            }
            if (!anyLeft)
                break;
            if (!lane) {
                if (earliest == Clock::time_point::max())
                    changed.wait(held);
                else
                    changed.wait_until(held, earliest);
                continue;
            }
            lane->busy = true;
            const std::size_t i = lane->meters[lane->next];
            held.unlock();
            Turn turn;
            if (fleet && !jobs[i].address.rtu)
                turn = claimedTurn(i, claims);
            else
                results[i].result = download(i, {});
            held.lock();
            lane->busy = false;
            if (turn.done) {
                ++lane->next;
                ++done;
                if (finished)
                    finished(done, int(jobs.size()));
            } else {
                lane->retryAt = Clock::now() + turn.retryAfter;
            }
            changed.notify_all();
        }
        changed.notify_all();
    };
    QThreadPool pool;
    const int threads = std::clamp(parallel, 1, int(std::max<qsizetype>(1, lanes.size())));
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t)
        pool.start(work);
    pool.waitForDone();
    return results;
}

QString summaryTable(const std::vector<BatchResult> &results)
{
    QString out = QStringLiteral("%1  %2  %3  %4\n")
                      .arg(QStringLiteral("line"), -4)
                      .arg(QStringLiteral("meter"), -40)
                      .arg(QStringLiteral("records"), 7)
                      .arg(QStringLiteral("result"));
    for (const BatchResult &r : results) {
        out += QStringLiteral("%1  %2  %3  %4\n")
                   .arg(r.job.line, -4)
                   .arg(r.job.address.describe(), -40)
                   .arg(r.result.records, 7)
                   .arg(!r.result.ok          ? QStringLiteral("FAILED: ") + r.result.error
                        : !r.doneBy.isEmpty() ? QStringLiteral("read by %1").arg(r.doneBy)
                        : r.result.nothingNew ? QStringLiteral("nothing new")
                                              : r.result.path
                                                    + (r.result.archiveError.isEmpty()
                                                           ? QString()
                                                           : QStringLiteral(" (not archived: %1)").arg(r.result.archiveError)));
    }
    return out;
}

QString workerSummary(const FleetWorker &worker, const std::vector<BatchResult> &results, double seconds,
                      double cpuSeconds)
{
    int read = 0, byOthers = 0, failed = 0;
    long long records = 0;
    for (const BatchResult &r : results) {
        if (!r.result.ok)
            ++failed;
        else if (!r.doneBy.isEmpty())
            ++byOthers;
        else
            ++read;
        if (r.doneBy.isEmpty())
            records += r.result.records;
    }
    return QStringLiteral("worker %1: %2 meters read, %3 records in %4 s (%5 records/s), processor %6 s; "
                          "%7 meters read by other workers, %8 failed\n")
        .arg(worker.worker)
        .arg(read)
        .arg(records)
        .arg(seconds, 0, 'f', 1)
        .arg(seconds > 0 ? records / seconds : 0.0, 0, 'f', 1)
        .arg(cpuSeconds, 0, 'f', 2)
        .arg(byOthers)
        .arg(failed);
}

} // namespace cli
