#include "gateway/line_poller.h"

#include "archive/archive_store.h"
#include "archive/download_archiver.h"
#include "config/setting_requests.h"
#include "gateway/clock_watch.h"
#include "gateway/gateway_status.h"
#include "gateway/modbus_listener.h"
#include "gateway/prometheus_exporter.h"
#include "gateway/shared_line.h"
#include "gateway/total_guard.h"
#include "links/stderr_traffic.h"
#include "loadprofile/archived_download.h"
#include "loadprofile/claimed_download.h"
#include "session/meter_line.h"
#include "session/meter_session.h"

#include <QThread>

#include <algorithm>

namespace gateway {

namespace {

constexpr qint64 kLongestReopenMs = 60000;
// A claimed meter's round is this worker's for so long unrenewed.
constexpr double kClaimLeaseS = 60;

std::optional<RequestFailure> failureKind(modbus::Failure failure)
{
    using modbus::Failure;
    switch (failure) {
    case Failure::None:
    case Failure::Abandoned:
        return std::nullopt;
    case Failure::NoAnswer:
        return RequestFailure::Timeout;
    case Failure::BadAnswer:
    case Failure::WrongUnit:
        return RequestFailure::Crc;
    case Failure::Exception:
        return RequestFailure::Exception;
    case Failure::LinkGone:
    case Failure::Refused:
        return RequestFailure::Link;
    }
    return std::nullopt;
}

} // namespace

// A meter of the line: its session and what the gateway knows of it.
struct LinePoller::Served {
    Meter meter;
    int slot = 0; // in served_ and the schedule
    std::unique_ptr<session::MeterSession> session;
    QString serial;        // once read
    std::vector<session::RefusedRead> refused; // as last told
    bool told = false;     // its availability was told
    bool online = false;
    qint64 lpDueMs = 0;
    TotalGuard totals; // what its totals may publish
    ClockSync clockSync;
    quint64 failures = 0; // failed requests
};

LinePoller::LinePoller(links::MeterAddress line, std::vector<Meter> meters, ServeTimes times, QString archivePath,
                       QString claimsWorker, MeterMetrics *metrics, bool log)
    : lineAddress_(std::move(line)), meters_(std::move(meters)), times_(times), archivePath_(std::move(archivePath)),
      claimsWorker_(std::move(claimsWorker)), metrics_(metrics), log_(log)
{
    // A child, so that it moves to the poller's thread with it.
    next_.setParent(this);
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &LinePoller::step);
}

void LinePoller::setListeners(std::vector<ListenerSettings> listeners, ListenerMetrics *metrics)
{
    listenerSettings_ = std::move(listeners);
    listenerMetrics_ = metrics;
}

std::vector<quint16> LinePoller::listenerPorts() const { return listenerPorts_; }

LinePoller::~LinePoller()
{
    // The sessions before the line they use.
    served_.clear();
    if (line_)
        line_->link.closeAndGoOffline();
}

void LinePoller::start()
{
    // Made here, on the poller's thread, which their sockets belong to.
    line_ = std::make_unique<session::MeterLine>();
    line_->transactions.transactions().setTcpPauseMs(lineAddress_.tcpPauseMs);
    clock_.start();
    if (!listenerSettings_.empty()) {
        shared_ = std::make_unique<SharedLine>(*line_, lineAddress_.attempts.value_or(modbus::Transactions::kAttempts),
                                               kMasterPointerQuietMs);
        shared_->openLine = [this] { return openLine(); };
        // A request that comes while the poller waits for its next meter is
        // served at once; one that comes during a poll at its next request.
        shared_->wake = [this] {
            QMetaObject::invokeMethod(this, [this] {
                if (!inStep_)
                    step();
            }, Qt::QueuedConnection);
        };
    }
    for (const Meter &m : meters_) {
        auto s = std::make_unique<Served>();
        s->meter = m;
        s->slot = int(served_.size());
        s->session = std::make_unique<session::MeterSession>(*line_, m.address.unit,
                                                             session::MeterSession::Pacing::OnDemand);
        s->session->setAddress(m.address);
        // A request lost on a noisy line is tried again while the meter
        // answers; a silent meter costs one attempt a request, and never
        // takes the line offline for the others on it.
        s->session->meter().policy = {m.address.attempts.value_or(modbus::Transactions::kAttempts), false};
        s->session->meter().retryOnlyWhileAnswering = true;
        s->session->meter().turns = shared_.get();
        Served *raw = s.get();
        s->clockSync = ClockSync(m.clockSyncS);
        s->session->meter().onResult = [this, raw](const modbus::TransactionResult &result) {
            // The meter's failed requests (its diagnostic count), lost
            // attempts included.
            std::vector<RequestFailure> failed;
            for (const modbus::Failure lost : result.lostAttempts)
                if (const auto kind = failureKind(lost))
                    failed.push_back(*kind);
            if (const auto kind = failureKind(result.failure))
                failed.push_back(*kind);
            raw->failures += failed.size();
            if (status_)
                status_->countRequests(statusLine_,
                                       int(result.lostAttempts.size()) + (result.failure == modbus::Failure::Abandoned ? 0 : 1),
                                       failed);
            if (!metrics_ || raw->serial.isEmpty())
                return;
            // Every attempt is a request, every lost one a failure of its
            // kind: a noisy line shows though its polls succeed.
            const QString serial = raw->serial.trimmed();
            for (const modbus::Failure lost : result.lostAttempts) {
                metrics_->countRequest(serial);
                if (const auto kind = failureKind(lost))
                    metrics_->countFailure(serial, *kind);
            }
            if (result.failure == modbus::Failure::Abandoned)
                return;
            metrics_->countRequest(serial);
            if (const auto kind = failureKind(result.failure))
                metrics_->countFailure(serial, *kind);
        };
        // What becomes of the settings the gateway writes: an energy reset
        // is no drop to hold back; the clock's setting is logged.
        connect(s->session.get(), &session::MeterSession::requestFinished, this,
                [this, raw](const session::MeterRequest &request, const session::RequestResult &result) {
                    const bool done = result.outcome == session::RequestResult::Outcome::Done;
                    if (request.kind == session::RequestKind::ClearEnergy && done)
                        raw->totals.expectReset();
                    if (request.kind == session::RequestKind::Clock)
                        emit logLine(QStringLiteral("meter %1: %2").arg(
                            name(*raw), done ? QStringLiteral("its clock is set")
                                             : QStringLiteral("setting its clock failed; the next try in a day")));
                });
        // The first round of load profiles right after the meter's first
        // answer: what it recorded while the gateway was down comes first.
        s->lpDueMs = 0;
        served_.push_back(std::move(s));
    }
    line_->transactions.transactions().setTrafficObserver(observer_);
    if (log_) {
        // One log for the line's traffic, its lines led by where the line goes.
        traffic_ = std::make_unique<links::StderrTraffic>(QStringLiteral("[%1] ").arg(lineAddress_.describeLine()));
        line_->transactions.transactions().setTrafficObserver(traffic_.get());
    }
    schedule_.emplace(int(served_.size()), times_.everyMs, clock_.elapsed());
    QString listenError;
    for (const ListenerSettings &settings : listenerSettings_) {
        auto *listener = new ModbusListener(settings, *shared_, listenerMetrics_, this);
        connect(listener, &ModbusListener::logLine, this, &LinePoller::logLine);
        connect(listener, &ModbusListener::mastersChanged, this,
                [this, at = int(listenerPorts_.size())](const QStringList &masters) {
                    if (status_)
                        status_->setMasters(statusLine_, at, masters);
                });
        QString error;
        if (!listener->listen(&error)) {
            listenError = QStringLiteral("cannot listen on %1: %2").arg(settings.name(), error);
            break;
        }
        listenerPorts_.push_back(listener->port());
        emit logLine(QStringLiteral("listener %1: masters share line %2 (writes=%3)")
                         .arg(settings.name(), lineAddress_.describeLine(), writesWord(settings.writes)));
    }
    emit listenersReady(listenError);
    later(0);
}

void LinePoller::stop()
{
    stopping_ = true;
    // Wakes the poller when it waits for the next meter; a step under way
    // sees the flag when it returns.
    QMetaObject::invokeMethod(this, [this] {
        if (!inStep_) {
            next_.stop();
            step();
        }
    }, Qt::QueuedConnection);
}

void LinePoller::later(qint64 ms) { next_.start(int(std::clamp<qint64>(ms, 0, 24 * 3600 * 1000))); }

QString LinePoller::name(const Served &meter) const
{
    const QString where = meter.meter.address.describe();
    return meter.serial.isEmpty() ? where : QStringLiteral("%1 (%2)").arg(meter.serial.trimmed(), where);
}

void LinePoller::tell(Served &meter, bool online, const QString &why)
{
    if (meter.told && meter.online == online)
        return;
    meter.told = true;
    meter.online = online;
    emit logLine(QStringLiteral("meter %1: %2").arg(name(meter), online ? QStringLiteral("online") : QStringLiteral("offline: ") + why));
    if (metrics_ && !meter.serial.isEmpty())
        metrics_->setUp(meter.serial.trimmed(), online);
    if (status_)
        status_->meterAvailable(meter.meter.index, online);
    emit meterAvailable(meter.meter.index, online);
}

bool LinePoller::openLine()
{
    if (line_->link.LinkOnline())
        return true;
    const qint64 now = clock_.elapsed();
    if (now < reopenAt_)
        return false;
    QString error;
    if (line_->open(lineAddress_, &error)) {
        if (status_)
            status_->setLineOpen(statusLine_, true);
        emit logLine(QStringLiteral("line %1: open").arg(lineAddress_.describeLine()));
        lineError_.clear();
        reopenDelayMs_ = 1000;
        return true;
    }
    if (status_)
        status_->setLineOpen(statusLine_, false);
    if (error != lineError_)
        emit logLine(QStringLiteral("line %1: %2; trying again").arg(lineAddress_.describeLine(), error));
    lineError_ = error;
    reopenAt_ = clock_.elapsed() + reopenDelayMs_;
    reopenDelayMs_ = std::min(reopenDelayMs_ * 2, kLongestReopenMs);
    // Its meters cannot answer meanwhile.
    for (std::size_t i = 0; i < served_.size(); ++i) {
        schedule_->polled(int(i), false, now);
        if (!schedule_->online(int(i)))
            tell(*served_[i], false, error);
    }
    return false;
}

void LinePoller::step()
{
    if (inStep_)
        return;
    inStep_ = true;
    const auto stepStarted = std::chrono::steady_clock::now();
    // Masters waiting (or, when the line cannot be opened, told so at once).
    serveMasters();
    if (!stopping_ && openLine()) {
        const qint64 now = clock_.elapsed();
        if (const auto m = schedule_->next(now)) {
            Served &meter = *served_[std::size_t(*m)];
            poll(meter);
            if (!stopping_ && meter.online && times_.lpEveryMs > 0 && !archivePath_.isEmpty() && clock_.elapsed() >= meter.lpDueMs) {
                meter.lpDueMs = clock_.elapsed() + times_.lpEveryMs;
                if (const auto since = masterAtPointer(meter)) {
                    // Its round comes once the master has been quiet long enough.
                    meter.lpDueMs = clock_.elapsed() + kMasterPointerQuietMs - *since;
                    emit logLine(QStringLiteral("meter %1: load profiles left for %2 s: a master moved its record pointer")
                                     .arg(name(meter)).arg((kMasterPointerQuietMs - *since + 999) / 1000));
                } else {
                    downloadNewRecords(meter);
                }
            }
        }
        serveMasters();
    }
    if (status_)
        status_->addBusy(statusLine_, stepStarted, std::chrono::steady_clock::now());
    inStep_ = false;
    if (stopping_) {
        emit stopped();
        return;
    }
    const qint64 now = clock_.elapsed();
    qint64 wait = schedule_->nextDueMs() - now;
    if (!line_->link.LinkOnline())
        wait = std::max(wait, reopenAt_ - now);
    later(wait);
}

void LinePoller::serveMasters()
{
    // Sixteen masters' requests take a second and more on a 9600-baud line:
    // a poll that falls due meanwhile goes first, or it would wait for all of
    // them, and for those that came in during them. A line that is not open
    // polls nothing; its masters are told so at once.
    if (shared_ && !stopping_)
        shared_->serveWaiting([this] {
            return line_->link.LinkOnline() && schedule_->nextDueMs() <= clock_.elapsed();
        });
}

std::optional<qint64> LinePoller::masterAtPointer(const Served &meter) const
{
    if (!shared_)
        return std::nullopt;
    const auto since = shared_->sincePointerMovedMs(meter.meter.address.unit);
    if (since && *since < kMasterPointerQuietMs)
        return since;
    return std::nullopt;
}

void LinePoller::poll(Served &meter)
{
    const int index = meter.slot;
    QElapsedTimer took;
    took.start();
    const qint64 started = clock_.elapsed();
    QString error;
    session::MeterSession &s = *meter.session;
    // A meter whose main block is refused keeps the serial it gave before.
    const bool polled = s.pollOnce(&error);
    const bool answered = polled && (s.reading().identity || !meter.serial.isEmpty());
    if (polled && !answered)
        error = QStringLiteral("it refuses the read of its serial number");
    schedule_->polled(index, answered, started);
    for (const QString &change : session::refusalChanges(meter.refused, s.poll().refusedReads()))
        emit logLine(QStringLiteral("meter %1: %2").arg(name(meter), change));
    meter.refused = s.poll().refusedReads();
    if (answered) {
        meter::Reading reading = s.reading();
        const QString serial = reading.identity ? reading.identity->serial : meter.serial;
        if (serial != meter.serial && !meter.serial.isEmpty()) {
            emit logLine(QStringLiteral("meter %1: another meter answers there now, serial %2").arg(name(meter), serial.trimmed()));
            meter.told = false;
            meter.totals = TotalGuard();
        }
        meter.serial = serial;
        // The state and the metrics see the same guarded totals; the
        // archive takes the meter's records as they are.
        for (const TotalGuard::Event &event : meter.totals.apply(reading))
            emit logLine(QStringLiteral("meter %1: %2").arg(name(meter), event.text()));
        MeterState state{serial, reading.firmwareText, s.poll().firmwareNumber(), s.poll().displayBase(),
                         reading, clockOffsetSeconds(reading), meter.failures};
        // The totals the guard held back.
        QuantitySet held;
        QStringList heldIds;
        for (int q = 0; q < meter::kQuantityCount; ++q)
            if (s.reading().value(meter::Q(q)) && !reading.value(meter::Q(q))) {
                held.set(std::size_t(q));
                heldIds << meter::quantity(meter::Q(q)).id;
            }
        if (status_)
            status_->meterRead(meter.meter.index, state, double(took.elapsed()) / 1000.0, heldIds);
        if (metrics_) {
            // A total the guard held back keeps its counter as it was.
            metrics_->updateReading(serial.trimmed(), reading, state.displayBase, held);
            metrics_->setInfo(serial.trimmed(),
                              {reading.firmwareText, lineLabel(lineAddress_), meter.meter.address.unit});
            metrics_->setCycleSeconds(serial.trimmed(), double(took.elapsed()) / 1000.0);
            metrics_->setClockOffset(serial.trimmed(), state.clockOffsetS ? std::optional(double(*state.clockOffsetS))
                                                                          : std::nullopt);
        }
        // Set at the end of its next poll, after the reads: never inside
        // the load-profile round that may follow this poll.
        if (state.clockOffsetS && meter.clockSync.due(*state.clockOffsetS, clock_.elapsed())) {
            meter.clockSync.setAt(clock_.elapsed());
            emit logLine(QStringLiteral("meter %1: its clock is %2 s %3 the gateway's (clock-sync %4 s): setting it")
                             .arg(name(meter)).arg(std::llabs(*state.clockOffsetS))
                             .arg(*state.clockOffsetS > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"))
                             .arg(meter.clockSync.allowedS()));
            s.request(config::clockRequest([] { return QDateTime::currentDateTime(); }));
        }
        tell(meter, true, {});
        emit meterRead(meter.meter.index, state);
    } else if (!schedule_->online(index)) {
        tell(meter, false, error);
    }
}

void LinePoller::downloadNewRecords(Served &meter)
{
    // The archive is opened for the round and closed after it, so that a
    // database that restarted, or a file moved meanwhile, is found afresh.
    archive::DownloadArchiver archiver(archivePath_);
    // The pointer is shared by both groups: once a master moved it, group 2
    // waits too (its search for the archive's newest record would move it
    // between the master's write and its reads).
    for (const meter::LpGroup group : meter::LpGroup::all()) {
        if (stopping_ || !line_->link.LinkOnline() || masterAtPointer(meter))
            break;
        if (meter.session->reading().group(group).validRecords > 0)
            downloadGroup(meter, group, archiver);
    }
    if (const QString note = archiver.takeNote(); !note.isEmpty())
        emit logLine(QStringLiteral("archive: ") + note);
}

void LinePoller::downloadGroup(Served &meter, meter::LpGroup group, archive::DownloadArchiver &archiver)
{
    loadprofile::LpRange range;
    range.group = group;
    range.newOnly = true;
    const auto download = [&](const loadprofile::LpProgress &progress) {
        return loadprofile::downloadOnSession(*meter.session, range, QString(), archiver, progress);
    };
    // A stop lets the block under way reach the archive, then ends; so does a
    // master that moves the meter's record pointer.
    const auto keepGoing = [this, &meter] { return !stopping_.load() && !masterAtPointer(meter); };
    loadprofile::LpResult result;
    if (claimsWorker_.isEmpty()) {
        result = download([&](long long, long long) { return keepGoing(); });
    } else {
        // Under the fleet's claims: a round another gateway reads now, or
        // read within the last half period, is left to it.
        QString error;
        archive::ArchiveStore *store = archiver.open(&error);
        const std::optional<double> now = store ? store->serverClock(&error) : std::nullopt;
        if (!now) {
            if (status_)
                status_->setArchiveError(error);
            emit logLine(QStringLiteral("meter %1: load profile %2 not claimed: %3").arg(name(meter)).arg(group.number()).arg(error));
            return;
        }
        const loadprofile::ClaimedDownload round = loadprofile::claimedDownload(
            *store, loadprofile::claimKey(meter.meter.address, group), {claimsWorker_, kClaimLeaseS},
            *now - double(times_.lpEveryMs) / 2000.0, download, keepGoing);
        using Outcome = loadprofile::ClaimedDownload::Outcome;
        if (round.outcome == Outcome::NotClaimed)
            emit logLine(QStringLiteral("meter %1: load profile %2 not claimed: %3").arg(name(meter)).arg(group.number()).arg(round.error));
        if (round.outcome != Outcome::Read && round.outcome != Outcome::TakenOver)
            return;
        result = round.result;
    }
    if (metrics_ && result.stored.added > 0)
        metrics_->countArchivedRecords(meter.serial.trimmed(), quint64(result.stored.added));
    if (status_) {
        if (result.ok || result.stored.added > 0)
            status_->lpRound(meter.meter.index, group.number(), result.stored.added);
        if (!result.archiveError.isEmpty() || result.ok)
            status_->setArchiveError(result.archiveError);
    }
    if (masterAtPointer(meter)) {
        meter.lpDueMs = clock_.elapsed() + kMasterPointerQuietMs;
        emit logLine(QStringLiteral("meter %1: load profile %2: %3 archived; the rest is left for later: a master moved "
                                    "its record pointer")
                         .arg(name(meter)).arg(group.number()).arg(archive::newRecordsText(result.stored)));
    } else if (!result.archiveError.isEmpty())
        emit logLine(QStringLiteral("meter %1: load profile %2: %3 records read, the archive did not take them all: %4; "
                                    "the next round fetches them again")
                         .arg(name(meter)).arg(group.number()).arg(result.records).arg(result.archiveError));
    else if (!result.ok && !stopping_)
        emit logLine(QStringLiteral("meter %1: load profile %2: %3").arg(name(meter)).arg(group.number()).arg(result.error));
    else if (result.stored.added > 0)
        emit logLine(QStringLiteral("meter %1: load profile %2: %3 archived")
                         .arg(name(meter)).arg(group.number()).arg(archive::newRecordsText(result.stored)));
}

} // namespace gateway
