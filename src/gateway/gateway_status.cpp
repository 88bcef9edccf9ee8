#include "gateway/gateway_status.h"

#include <algorithm>

namespace gateway {

namespace {

QDateTime now() { return QDateTime::currentDateTimeUtc(); }

} // namespace

GatewayStatus::GatewayStatus() : start_(Clock::now()) { gateway_.started = now(); }

void GatewayStatus::setGateway(const QString &name, const QString &version, const QString &broker,
                               const QString &archive)
{
    const std::lock_guard lock(mutex_);
    gateway_.name = name;
    gateway_.version = version;
    gateway_.broker = broker;
    gateway_.archive = archive;
}

int GatewayStatus::addLine(const links::MeterAddress &line, const std::vector<ListenerSettings> &listeners)
{
    const std::lock_guard lock(mutex_);
    LineEntry entry;
    entry.line.line = lineLabel(line);
    entry.line.where = line.describeLine();
    for (const ListenerSettings &settings : listeners)
        entry.line.listeners.push_back({settings.name(), writesWord(settings.writes), {}});
    lines_.push_back(std::move(entry));
    return int(lines_.size()) - 1;
}

void GatewayStatus::addMeter(int meter, int line, int unit)
{
    const std::lock_guard lock(mutex_);
    MeterEntry &entry = meters_[meter];
    entry.line = line;
    entry.meter.unit = unit;
    if (line >= 0 && std::size_t(line) < lines_.size())
        entry.meter.line = lines_[std::size_t(line)].line.line;
}

void GatewayStatus::setBrokerConnected(bool connected)
{
    const std::lock_guard lock(mutex_);
    gateway_.brokerConnected = connected;
}

void GatewayStatus::setArchiveError(const QString &error)
{
    const std::lock_guard lock(mutex_);
    gateway_.archiveError = error;
}

qint64 GatewayStatus::secondsNow() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count();
}

GatewayStatus::Second &GatewayStatus::second(LineEntry &line, qint64 at)
{
    Second &slot = line.seconds[std::size_t(at % kWindowS)];
    if (slot.at != at)
        slot = {at, 0, 0};
    return slot;
}

void GatewayStatus::setLineOpen(int line, bool open)
{
    const std::lock_guard lock(mutex_);
    if (line >= 0 && std::size_t(line) < lines_.size())
        lines_[std::size_t(line)].line.open = open;
}

void GatewayStatus::countRequests(int line, int attempts, const std::vector<RequestFailure> &failures)
{
    const qint64 at = secondsNow();
    const std::lock_guard lock(mutex_);
    if (line < 0 || std::size_t(line) >= lines_.size())
        return;
    LineEntry &entry = lines_[std::size_t(line)];
    second(entry, at).requests += attempts;
    for (const RequestFailure failure : failures)
        ++entry.line.failures[std::size_t(failure)];
}

void GatewayStatus::addBusy(int line, Clock::time_point start, Clock::time_point end)
{
    using std::chrono::milliseconds;
    const std::lock_guard lock(mutex_);
    if (line < 0 || std::size_t(line) >= lines_.size() || end <= start)
        return;
    LineEntry &entry = lines_[std::size_t(line)];
    // Spread over the seconds it covers; what lies before the window is gone.
    qint64 fromMs = std::chrono::duration_cast<milliseconds>(start - start_).count();
    const qint64 toMs = std::chrono::duration_cast<milliseconds>(end - start_).count();
    fromMs = std::max(fromMs, (toMs / 1000 - kWindowS + 1) * 1000);
    while (fromMs < toMs) {
        const qint64 secondEnd = (fromMs / 1000 + 1) * 1000;
        const qint64 upTo = std::min(secondEnd, toMs);
        second(entry, fromMs / 1000).busyMs += upTo - fromMs;
        fromMs = upTo;
    }
}

void GatewayStatus::setMasters(int line, int listener, const QStringList &masters)
{
    const std::lock_guard lock(mutex_);
    if (line < 0 || std::size_t(line) >= lines_.size())
        return;
    std::vector<Listener> &listeners = lines_[std::size_t(line)].line.listeners;
    if (listener >= 0 && std::size_t(listener) < listeners.size())
        listeners[std::size_t(listener)].masters = masters;
}

void GatewayStatus::meterRead(int meter, const MeterState &state, double pollS, const QStringList &held)
{
    const QDateTime at = now();
    const std::lock_guard lock(mutex_);
    MeterEntry &entry = meters_[meter];
    entry.state = state;
    entry.meter.serial = state.serial.trimmed();
    entry.meter.lastPoll = at;
    entry.meter.pollS = pollS;
    entry.meter.clockOffsetS = state.clockOffsetS;
    entry.meter.held = held;
    entry.meter.firmware = state.firmware;
}

void GatewayStatus::meterAvailable(int meter, bool online)
{
    const QDateTime at = now();
    const std::lock_guard lock(mutex_);
    Meter &m = meters_[meter].meter;
    if (m.online != online || !m.since.isValid())
        m.since = at;
    m.online = online;
}

void GatewayStatus::lpRound(int meter, int group, long long records)
{
    const QDateTime at = now();
    const std::lock_guard lock(mutex_);
    meters_[meter].meter.lp = LpRound{at, group, records};
}

GatewayStatus::Gateway GatewayStatus::gateway() const
{
    const std::lock_guard lock(mutex_);
    return gateway_;
}

std::vector<GatewayStatus::Line> GatewayStatus::lines() const
{
    const qint64 at = secondsNow();
    const std::lock_guard lock(mutex_);
    std::vector<Line> out;
    out.reserve(lines_.size());
    for (const LineEntry &entry : lines_) {
        Line line = entry.line;
        qint64 busyMs = 0;
        for (const Second &s : entry.seconds)
            if (s.at >= 0 && s.at > at - kWindowS && s.at <= at) {
                line.requestsPerMin += s.requests;
                busyMs += s.busyMs;
            }
        line.busyShare = std::clamp(double(busyMs) / (kWindowS * 1000.0), 0.0, 1.0);
        out.push_back(std::move(line));
    }
    for (const auto &[index, entry] : meters_)
        if (!entry.meter.serial.isEmpty() && entry.line >= 0 && std::size_t(entry.line) < out.size())
            out[std::size_t(entry.line)].meters << entry.meter.serial;
    return out;
}

std::vector<GatewayStatus::Meter> GatewayStatus::meters() const
{
    const std::lock_guard lock(mutex_);
    std::vector<Meter> out;
    out.reserve(meters_.size());
    for (const auto &[index, entry] : meters_)
        out.push_back(entry.meter);
    return out;
}

const GatewayStatus::MeterEntry *GatewayStatus::bySerial(const QString &serial) const
{
    for (const auto &[index, entry] : meters_)
        if (!entry.meter.serial.isEmpty() && entry.meter.serial == serial)
            return &entry;
    return nullptr;
}

bool GatewayStatus::knows(const QString &serial) const
{
    const std::lock_guard lock(mutex_);
    return bySerial(serial) != nullptr;
}

std::optional<MeterState> GatewayStatus::lastState(const QString &serial) const
{
    const std::lock_guard lock(mutex_);
    const MeterEntry *entry = bySerial(serial);
    return entry ? entry->state : std::nullopt;
}

} // namespace gateway
