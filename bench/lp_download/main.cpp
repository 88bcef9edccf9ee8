// Downloads 2000 records of an 8-channel load-profile group from the
// simulated meter over a pseudo-terminal with wire-time emulation at
// 19200 baud, at the window's pace (the block download on the meter session
// read by the window's DownloadPace, the poll cycle paused while it reads),
// and prints,
// measured in the same run:
//  - records per second, and as a ratio to the limit that the wire time of
//    the bytes and the mandated gaps between frames set,
//  - the program's CPU time / wall time while downloading.
//
//   bench_lp_download [--records N]      (default 2000)

#include "gui/loadprofile/download_pace.h"
#include "links/plain_dispatcher.h"
#include "loadprofile/block_download.h"
#include "loadprofile/block_read.h"
#include "loadprofile/date_search_job.h"
#include "lpdata/csv_file.h"
#include "metersim_process.h"
#include "modbus/transactions.h"
#include "process_usage.h"
#include "session/meter_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kBaud = 19200;
constexpr int kChannels = 8;
constexpr int kGapMs = modbus::Transactions::kGapMs;

// Bytes on the wire of a download of that many records: per block a
// pointer write (11 bytes, answer 8) and a read (8 bytes, answer 5 + data).
double wireAndGapsMs(long long records)
{
    double ms = 0;
    for (long long next = 0; next < records; next += loadprofile::kRecordsPerBlock) {
        const int inBlock = loadprofile::recordsInBlock(next, records - 1);
        const int bytes = 11 + 8 + 8 + 5 + 2 * loadprofile::blockRegisters(kChannels, inBlock);
        ms += bytes * 10.0 * 1000.0 / kBaud + 2 * kGapMs;
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    links::preferPlainEventDispatcher(); // as the program does
    QCoreApplication app(argc, argv);
    long long records = 2000;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--records")); at >= 0 && at + 1 < args.size())
        records = args[at + 1].toLongLong();

    QTemporaryDir comDir, programDir;
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());
    testsupport::MeterSim sim;
    if (!sim.start({QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"),
                    comDir.filePath(QStringLiteral("COM1")), QStringLiteral("--baud"),
                    QString::number(kBaud), QStringLiteral("--lp-count"),
                    QStringLiteral("1=%1").arg(records)})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    session::MeterSession meter(session::MeterSession::Pacing::Timed);
    links::MeterAddress address;
    address.port = 1;
    address.baud = kBaud;
    QString error;
    if (!meter.open(address, &error)) {
        std::fprintf(stderr, "serial port: %s\n", qPrintable(error));
        return 1;
    }
    // The window polls until the user starts the download.
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (meter.reading().group(meter::LpGroup::first()).validRecords || !meter.link().LinkOnline())
            loop.quit();
    });
    check.start(20);
    loop.exec();
    loadprofile::BlockDownload job(meter, std::nullopt);
    loadprofile::DateSearch search(meter);
    loadprofile::DownloadPace pace(meter, job, search);
    bool ended = false;
    QObject::connect(&job, &loadprofile::BlockDownload::ended, [&] { ended = true; });

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = testsupport::cpuSeconds();
    if (const auto refused = pace.start(meter::LpGroup::first(), 1, records, std::nullopt, {programDir.path(), QString()})) {
        std::fprintf(stderr, "the download did not start: %s\n", qPrintable(refused->detail));
        return 1;
    }
    QObject::disconnect(&check, nullptr, nullptr, nullptr);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (ended || !meter.link().LinkOnline())
            loop.quit();
    });
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double cpuShare = (testsupport::cpuSeconds() - cpuStart) / seconds;
    if (job.LPNextRecord() <= job.LPLastRecord()) {
        std::printf("download failed after record %lld\n", job.LPNextRecord());
        return 1;
    }
    const double limitSeconds = wireAndGapsMs(records) / 1000.0;
    std::printf("%lld records of %d channels at %d baud: %.1f records/s, limit %.1f records/s "
                "(wire time + gaps), ratio %.3f (target <= 1.10)\n",
                records, kChannels, kBaud, double(records) / seconds,
                double(records) / limitSeconds, seconds / limitSeconds);
    std::printf("CPU time / wall time while downloading %.2f %% of one core (target < 3 %%)\n",
                100.0 * cpuShare);
    return 0;
}
