#include "cli/lp_download.h"

#include "archive/download_archiver.h"
#include "loadprofile/download_steps.h"
#include "loadprofile/csv_file.h"
#include "loadprofile/date_search.h"
#include "loadprofile/date_serial.h"
#include "loadprofile/record_reads.h"
#include "modbus/transactions.h"
#include "polling/lp_status.h"

#include <limits>
#include <vector>

namespace {

// A block that comes back unusable while the link stays online is asked for
// again this many times before the download gives up.
constexpr int kBlockAttempts = 3;

double serialOf(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return loadprofile::dateSerial(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

constexpr double kOneSecond = 1.0 / 86400;

LpResult failed(QString error, LpResult result = {})
{
    result.ok = false;
    result.error = std::move(error);
    return result;
}

// The group's status as the poll cycle reads it: channel count, channel
// codes, valid records. A first cycle after connecting may not have read the
// group status yet; a second one has.
bool pollGroupStatus(MeterConnection &meter, int g, QString *error)
{
    for (int cycle = 0; cycle < 2; ++cycle) {
        if (!meter.poll(error))
            return false;
        if (meter.reading().lpGroups[std::size_t(g)].validRecords)
            return true;
    }
    *error = QStringLiteral("the meter at %1 shows no load-profile status").arg(meter.address().describe());
    return false;
}

} // namespace

LpResult downloadLoadProfile(const MeterAddress &address, const LpRange &range,
                             const QString &outDir, const QString &archivePath, const LpProgress &progress,
                             modbus::TrafficObserver *log)
{
    const int g = range.group - 1;
    if (g < 0 || g > 1)
        return failed(QStringLiteral("group %1 does not exist (1 or 2)").arg(range.group));
    MeterConnection meter(address, log);
    QString error;
    if (!meter.open(&error) || !pollGroupStatus(meter, g, &error))
        return failed(error);

    const polling::LPGroupStatus &status = meter.reading().lpGroups[std::size_t(g)];
    const auto channels = loadprofile::channelCount(QString::number(status.channels));
    if (!channels)
        return failed(QStringLiteral("the meter reports no channels for group %1").arg(range.group));
    const long long valid = status.validRecords.value_or(0);
    if (valid < 1)
        return failed(QStringLiteral("group %1 holds no records").arg(range.group));

    const loadprofile::MeterLink link{meter.transactions(), meter.link()};
    const QString serial = meter.reading().identity ? meter.reading().identity->serial : QString();
    archive::DownloadArchiver archiver(archivePath);
    // The range by date: asked for, or after the archive's newest record.
    std::optional<double> begin = range.since ? std::optional(serialOf(*range.since)) : std::nullopt;
    const double end = range.until ? serialOf(*range.until) : std::numeric_limits<double>::max();
    if (range.newOnly) {
        const std::optional<QDateTime> archived = archiver.newestRecord(serial, range.group, &error);
        if (!archived)
            return failed(error);
        if (archived->isValid())
            begin = serialOf(*archived) + kOneSecond;
    }
    long long first = 1;
    long long last = valid;
    std::optional<std::pair<double, double>> dates;
    if (begin) {
        const std::optional<double> newest = loadprofile::readRecordTime(link, g, valid);
        if (!newest)
            return failed(meter.noAnswer());
        if (range.newOnly && *newest < *begin) {
            LpResult nothing;
            nothing.ok = nothing.nothingNew = true;
            return nothing;
        }
        const int perDay = loadprofile::recordsPerDay(polling::lpIntervalText(meter.reading().lpGroups[0].intervalCode));
        const loadprofile::StartRecordSearch found = loadprofile::findStartRecord(
            *begin, valid, *newest, perDay,
            [&](long long record) { return loadprofile::readRecordTime(link, g, record); });
        if (found.outcome != loadprofile::StartRecordSearch::Outcome::Found)
            return failed(found.outcome == loadprofile::StartRecordSearch::Outcome::Unreadable
                              ? QStringLiteral("the time stamps of group %1 cannot be read").arg(range.group)
                              : meter.noAnswer());
        first = found.record;
        dates = std::pair(*begin, end);
    } else {
        first = range.from.value_or(1);
        last = range.to.value_or(valid);
        if (first < 1 || last < first || last > valid)
            return failed(QStringLiteral("records %1 to %2 are not in group %3, which holds 1 to %4")
                              .arg(first).arg(last).arg(range.group).arg(valid));
    }

    std::vector<int> codes(status.codes.begin(), status.codes.begin() + *channels);
    const std::optional<loadprofile::LoadProfileCsv> file = loadprofile::LoadProfileCsv::create(
        {outDir, QString()},
        loadprofile::csvBaseName(serial, QDate::currentDate(),
                                 range.group),
        QDateTime::currentDateTime(), codes, &error);
    if (!file)
        return failed(error);

    LpResult result;
    result.path = file->path();
    result.firstRecord = first;
    long long next = first - 1;
    long long stop = last - 1;
    loadprofile::DownloadSteps steps(next, stop, dates);
    loadprofile::DownloadOrigin origin;
    origin.group = g;
    origin.channels = *channels;
    using Step = loadprofile::DownloadSteps::Step;
    int attempts = 0;
    while (!steps.done()) {
        const Step step = steps.read(link, origin);
        if (step.kind == Step::Kind::BadRecord)
            return failed(QStringLiteral("record %1 of group %2 has no valid date and time, also when read "
                                         "again; %3 records written")
                              .arg(step.badRecord).arg(range.group).arg(result.records),
                          result);
        if (step.kind == Step::Kind::Again) {
            if (!meter.link().LinkOnline() || ++attempts >= kBlockAttempts)
                return failed(meter.noAnswer() + QStringLiteral(" after %1 records").arg(result.records),
                              result);
            continue;
        }
        attempts = 0;
        if (!file->appendRows(step.rows, &error))
            return failed(error, result);
        if (const auto failure = archiver.storeBlock(serial, range.group, codes, step.records))
            result.archiveError = *failure;
        result.records += step.rows.size();
        steps.taken(step);
        if (progress && !progress(std::min(next, stop + 1) - (first - 1), stop - first + 2))
            return failed(QStringLiteral("stopped after %1 records: the meter is no longer this worker's").arg(result.records),
                          result);
    }
    result.ok = true;
    result.archiveNote = archiver.takeNote();
    return result;
}
