#include "cli/batch.h"

#include <QMap>
#include <QThreadPool>

#include <atomic>

namespace cli {

std::vector<BatchResult> runBatch(const std::vector<MeterJob> &jobs, const QString &outDir,
                                  const QString &archivePath,
                                  int parallel, bool log, const std::function<void(int, int)> &finished)
{
    // A lane is one serial port's meters, or one TCP meter.
    QMap<QString, std::vector<std::size_t>> lanes;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const MeterAddress &a = jobs[i].address;
        lanes[a.rtu ? QStringLiteral("rtu %1").arg(a.port) : QStringLiteral("tcp %1").arg(i)].push_back(i);
    }
    std::vector<BatchResult> results(jobs.size());
    std::atomic<int> done{0};
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, parallel));
    for (const std::vector<std::size_t> &lane : lanes) {
        pool.start([&, lane] {
            // Each meter's link lives and waits on this lane's thread.
            for (std::size_t i : lane) {
                StderrTraffic traffic(QStringLiteral("[%1] ").arg(jobs[i].line));
                results[i] = {jobs[i], downloadLoadProfile(jobs[i].address, jobs[i].range, outDir, archivePath, {},
                                                           log ? &traffic : nullptr)};
                const int count = ++done;
                if (finished)
                    finished(count, int(jobs.size()));
            }
        });
    }
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
                   .arg(!r.result.ok        ? QStringLiteral("FAILED: ") + r.result.error
                        : r.result.nothingNew ? QStringLiteral("nothing new")
                                              : r.result.path
                                                    + (r.result.archiveError.isEmpty()
                                                           ? QString()
                                                           : QStringLiteral(" (not archived: %1)").arg(r.result.archiveError)));
    }
    return out;
}

} // namespace cli
