#include "loadprofile/archived_download.h"

#include "archive/download_archiver.h"
#include "loadprofile/download_job.h"
#include "lpdata/date_serial.h"
#include "session/meter_session.h"

#include <limits>
#include <vector>

namespace loadprofile {

namespace {

// A block that comes back unusable while the link stays online is asked for
// again this many times before the download gives up.
constexpr int kBlockAttempts = 3;

double serialOf(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return lpdata::dateSerial(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

// The range asked for on the command line as the download job takes it.
DownloadRange jobRange(const LpRange &range, const std::optional<lpdata::ArchivedEnd> &archived)
{
    if (range.newOnly)
        return DownloadRange::newOnly(archived);
    if (range.since)
        return DownloadRange::dates(serialOf(*range.since),
                                    range.until ? serialOf(*range.until) : std::numeric_limits<double>::max());
    return DownloadRange::records(range.from.value_or(1), range.to.value_or(0));
}

// What the tool says of a download that did not end well.
QString endText(const DownloadEnd &end, const session::MeterSession &meter, meter::LpGroup g, bool started)
{
    const int group = g.number();
    using Reason = DownloadEnd::Reason;
    switch (end.reason) {
    case Reason::Done:
    case Reason::NothingNew:
        return {};
    case Reason::Stopped:
        return QStringLiteral("stopped after %1 records: the meter is no longer this worker's").arg(end.records);
    case Reason::NoStatus:
        return QStringLiteral("the meter at %1 shows no load-profile status").arg(meter.address().describe());
    case Reason::NoChannels:
        return QStringLiteral("the meter reports no channels for group %1").arg(group);
    case Reason::NoRecords:
        return QStringLiteral("group %1 holds no records").arg(group);
    case Reason::NotInGroup:
        return QStringLiteral("records %1 to %2 are not in group %3, which holds 1 to %4")
            .arg(end.firstRecord).arg(end.lastRecord).arg(group).arg(end.detail);
    case Reason::BadRecord:
        return QStringLiteral("record %1 of group %2 has no valid date and time, also when read again; %3 records written")
            .arg(end.badRecord).arg(group).arg(end.records);
    case Reason::FileError:
        return end.detail;
    case Reason::DatesUnreadable:
        return QStringLiteral("the time stamps of group %1 cannot be read").arg(group);
    case Reason::NoAnswer:
        return meter.noAnswer() + (started ? QStringLiteral(" after %1 records").arg(end.records) : QString());
    case Reason::OtherMeter:
        return QStringLiteral("another meter answered");
    }
    return {};
}

LpResult failed(QString error)
{
    LpResult result;
    result.error = std::move(error);
    return result;
}

} // namespace

LpResult downloadLoadProfile(const links::MeterAddress &address, const LpRange &range, const QString &outDir,
                             const QString &archivePath, const LpProgress &progress, modbus::TrafficObserver *log)
{
    session::MeterSession meter(session::MeterSession::Pacing::OnDemand);
    meter.transactions().setTrafficObserver(log);
    QString error;
    if (!meter.open(address, &error))
        return failed(error);
    archive::DownloadArchiver archiver(archivePath);
    LpResult result = downloadOnSession(meter, range, outDir, archiver, progress);
    result.archiveNote = archiver.takeNote();
    return result;
}

LpResult downloadOnSession(session::MeterSession &meter, const LpRange &range, const QString &outDir,
                           archive::DownloadArchiver &archiver, const LpProgress &progress)
{
    QString error;
    std::optional<lpdata::ArchivedEnd> archived;
    if (range.newOnly) {
        // The serial comes with a poll.
        if (!meter.reading().identity && !meter.pollOnce(&error))
            return failed(error);
        const QString serial = meter.reading().identity ? meter.reading().identity->serial : QString();
        archived = archiver.archivedEnd(serial, range.group.number(), &error);
        if (!archived)
            return failed(error);
    }

    archiver.startDownload();
    DownloadJob job(meter, {kBlockAttempts});
    LpResult result;
    QObject::connect(&job, &DownloadJob::started, [&] { result.path = job.file() ? job.file()->path() : QString(); });
    QObject::connect(&job, &DownloadJob::blockWritten,
                     [&](const DownloadOrigin &origin, long long firstRecord,
                         const std::vector<lpdata::Record> &records) {
                         if (const auto failure = archiver.storeBlock(
                                 {origin.serial, origin.group.number(), origin.codes, origin.interval, firstRecord, records}))
                             result.archiveError = *failure;
                     });
    QObject::connect(&job, &DownloadJob::progress, [&](long long, long long done, long long asked, long long) {
        if (progress && !progress(done, asked))
            job.stop();
    });
    const DownloadEnd end = job.run(range.group, jobRange(range, archived), {outDir, QString()});
    result.records = end.records;
    result.firstRecord = end.firstRecord;
    result.nothingNew = end.reason == DownloadEnd::Reason::NothingNew;
    result.ok = end.reason == DownloadEnd::Reason::Done || result.nothingNew;
    result.error = endText(end, meter, range.group, end.records > 0 || !result.path.isEmpty());
    result.stored = archiver.stored();
    return result;
}

} // namespace loadprofile
