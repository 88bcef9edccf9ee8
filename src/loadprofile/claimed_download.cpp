#include "loadprofile/claimed_download.h"

#include "archive/archive_store.h"

#include <QElapsedTimer>

namespace loadprofile {

namespace {

// The result line kept with a finished claim.
QString claimResult(const LpResult &result)
{
    if (!result.ok)
        return QStringLiteral("FAILED: ") + result.error;
    if (result.nothingNew)
        return QStringLiteral("nothing new");
    return QStringLiteral("%1 records").arg(result.records);
}

} // namespace

QString claimKey(const links::MeterAddress &address, meter::LpGroup group)
{
    return QStringLiteral("%1, group %2").arg(address.describe()).arg(group.number());
}

ClaimedDownload claimedDownload(archive::ArchiveStore &store, const QString &key, const FleetClaim &fleet,
                                double roundStart, const std::function<LpResult(const LpProgress &)> &download,
                                const std::function<bool()> &keepGoing)
{
    using Outcome = ClaimedDownload::Outcome;
    ClaimedDownload out;
    const auto claim = store.claimMeter(key, fleet.worker, fleet.leaseSeconds, roundStart, &out.error);
    if (!claim)
        return out;
    switch (claim->state) {
    case archive::MeterClaim::State::Finished:
        out.outcome = Outcome::FinishedByOther;
        out.other = claim->worker;
        out.otherRecords = claim->records;
        return out;
    case archive::MeterClaim::State::Held:
        out.outcome = Outcome::Held;
        out.other = claim->worker;
        out.leaseLeft = claim->leaseLeft;
        return out;
    case archive::MeterClaim::State::Claimed:
        break;
    }
    QElapsedTimer sinceRenewal;
    sinceRenewal.start();
    bool lost = false;
    out.result = download([&](long long, long long) {
        if (sinceRenewal.elapsed() >= qint64(fleet.leaseSeconds * 1000 / 3)) {
            sinceRenewal.restart();
            QString why;
            // A failing database is no reason to stop a download whose lease
            // still runs; a lease taken over is.
            lost = !store.renewClaim(key, fleet.worker, fleet.leaseSeconds, &why).value_or(true);
        }
        return !lost && (!keepGoing || keepGoing());
    });
    if (lost) {
        // What this worker stored stays; the other starts after it.
        out.outcome = Outcome::TakenOver;
        QString error;
        if (const auto all = store.claims(&error))
            for (const archive::MeterClaim &c : *all)
                if (c.meterKey == key)
                    out.other = c.worker;
        return out;
    }
    out.outcome = Outcome::Read;
    QString error;
    if (!store.finishClaim(key, fleet.worker, claimResult(out.result), out.result.records, &error))
        out.finishError = error.isEmpty() ? QStringLiteral("the archive did not keep the result") : error;
    return out;
}

} // namespace loadprofile
