#include "gateway/prometheus_exporter.h"

#include "gateway/http_server.h"
#include "gateway/metrics_catalogue.h"
#include "meter/quantities.h"

#include <QDateTime>

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <cmath>

namespace gateway {

namespace {

using prometheus::Labels;

Labels meterLabels(const std::string &serial, const std::map<std::string, std::string> &more = {})
{
    Labels labels(more.begin(), more.end());
    labels.emplace("meter", serial);
    return labels;
}

} // namespace

const char *failureKindLabel(RequestFailure kind)
{
    switch (kind) {
    case RequestFailure::Timeout: return "timeout";
    case RequestFailure::Crc: return "crc";
    case RequestFailure::Exception: return "exception";
    case RequestFailure::Link: return "link";
    }
    return "";
}

QString lineLabel(const links::MeterAddress &line)
{
    return line.rtu ? QStringLiteral("rtu=%1").arg(line.port)
                    : QStringLiteral("tcp=%1:%2").arg(line.host).arg(line.tcpPort);
}

MeterMetrics::MeterMetrics() : registry_(std::make_shared<prometheus::Registry>())
{
    std::map<std::string, prometheus::Family<prometheus::Gauge> *> gauges;
    std::map<std::string, prometheus::Family<prometheus::Counter> *> counters;
    for (int q = 0; q < meter::kQuantityCount; ++q) {
        const QuantityMetric &m = quantityMetric(meter::Q(q));
        if (m.type == MetricType::Gauge) {
            auto &family = gauges[m.name];
            if (!family)
                family = &prometheus::BuildGauge().Name(m.name).Help(m.help).Register(*registry_);
            quantityGauges_[std::size_t(q)] = family;
        } else {
            auto &family = counters[m.name];
            if (!family)
                family = &prometheus::BuildCounter().Name(m.name).Help(m.help).Register(*registry_);
            quantityCounters_[std::size_t(q)] = family;
        }
    }
    up_ = &prometheus::BuildGauge()
               .Name("ampwright_meter_up")
               .Help("1 while the meter answers, 0 once it stopped")
               .Register(*registry_);
    info_ = &prometheus::BuildGauge()
                 .Name("ampwright_meter_info")
                 .Help("Always 1: the meter's firmware, the line it is on and its unit")
                 .Register(*registry_);
    lastPoll_ = &prometheus::BuildGauge()
                     .Name("ampwright_meter_last_poll_timestamp_seconds")
                     .Help("When the meter last answered a poll (seconds since 1970)")
                     .Register(*registry_);
    cycleSeconds_ = &prometheus::BuildGauge()
                         .Name("ampwright_poll_cycle_duration_seconds")
                         .Help("How long the meter's last poll cycle took")
                         .Register(*registry_);
    clockOffset_ = &prometheus::BuildGauge()
                        .Name("ampwright_meter_clock_offset_seconds")
                        .Help("How far the meter's clock is ahead of the gateway's (behind: negative)")
                        .Register(*registry_);
    requests_ = &prometheus::BuildCounter()
                     .Name("ampwright_requests_total")
                     .Help("Requests to the meter, answered or failed")
                     .Register(*registry_);
    failures_ = &prometheus::BuildCounter()
                     .Name("ampwright_request_failures_total")
                     .Help("Requests to the meter that failed, by kind")
                     .Register(*registry_);
    archived_ = &prometheus::BuildCounter()
                     .Name("ampwright_lp_records_archived_total")
                     .Help("Load-profile records of the meter stored in the archive")
                     .Register(*registry_);
}

MeterMetrics::~MeterMetrics() = default;

void MeterMetrics::serveOn(HttpServer &server)
{
    server.route("/metrics", [this](const HttpRequest &) {
        return HttpResponse{200, "text/plain; version=0.0.4; charset=utf-8", text()};
    });
}

std::string MeterMetrics::text() const
{
    std::vector<prometheus::MetricFamily> families;
    {
        // One poll's series together: none half updated.
        const std::lock_guard lock(mutex_);
        families = registry_->Collect();
    }
    return prometheus::TextSerializer().Serialize(families);
}

MeterMetrics::Meter &MeterMetrics::meter(const std::string &serial)
{
    const auto found = meters_.find(serial);
    if (found != meters_.end())
        return found->second;
    Meter &m = meters_[serial];
    const Labels labels = meterLabels(serial);
    m.up = &up_->Add(labels);
    m.requests = &requests_->Add(labels);
    // Every kind from the start at 0, so that a rate over them is defined.
    for (int k = 0; k < kRequestFailureKinds; ++k)
        m.failures[std::size_t(k)] =
            &failures_->Add(meterLabels(serial, {{"kind", failureKindLabel(RequestFailure(k))}}));
    m.archived = &archived_->Add(labels);
    return m;
}

void MeterMetrics::withdraw(Meter &m, meter::Q q)
{
    const auto i = std::size_t(q);
    if (m.gauges[i])
        quantityGauges_[i]->Remove(m.gauges[i]);
    if (m.counters[i])
        quantityCounters_[i]->Remove(m.counters[i]);
    m.gauges[i] = nullptr;
    m.counters[i] = nullptr;
}

void MeterMetrics::publish(Meter &m, const std::string &serial, meter::Q q, std::optional<double> value)
{
    if (!value) {
        withdraw(m, q);
        return;
    }
    const auto i = std::size_t(q);
    const QuantityMetric &metric = quantityMetric(q);
    const double scaled = (metric.percent ? *value / 100.0 : *value) * metric.scale;
    if (metric.type == MetricType::Gauge) {
        if (!m.gauges[i])
            m.gauges[i] = &quantityGauges_[i]->Add(meterLabels(serial, metric.labels));
        m.gauges[i]->Set(scaled);
        return;
    }
    // A counter takes only what it can count: a meter's NaN or negative value
    // leaves it as it was; a counter that went back (the meter's energy was
    // reset) starts again from 0.
    if (!std::isfinite(scaled) || scaled < 0)
        return;
    if (m.counters[i] && scaled < m.counted[i])
        withdraw(m, q);
    if (!m.counters[i])
        m.counters[i] = &quantityCounters_[i]->Add(meterLabels(serial, metric.labels));
    const double step = scaled - m.counters[i]->Value();
    if (step > 0)
        m.counters[i]->Increment(step);
    m.counted[i] = scaled;
}

void MeterMetrics::updateReading(const QString &serial, const meter::Reading &reading, int displayBase,
                                 const QuantitySet &held)
{
    const std::string key = serial.toStdString();
    const std::lock_guard lock(mutex_);
    Meter &m = meter(key);
    for (int q = 0; q < meter::kQuantityCount; ++q) {
        if (held.test(std::size_t(q)))
            continue;
        const bool read = meter::readsQuantity(meter::Q(q), reading.firmwareNumber, displayBase);
        publish(m, key, meter::Q(q), read ? reading.value(meter::Q(q)) : std::nullopt);
    }
    m.up->Set(1);
    if (!m.lastPoll)
        m.lastPoll = &lastPoll_->Add(meterLabels(key));
    m.lastPoll->Set(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
}

void MeterMetrics::resetCounter(const QString &serial, meter::Q q)
{
    const std::lock_guard lock(mutex_);
    Meter &m = meter(serial.toStdString());
    if (m.counters[std::size_t(q)])
        withdraw(m, q);
    m.counted[std::size_t(q)] = 0;
}

void MeterMetrics::setInfo(const QString &serial, const MeterInfo &info)
{
    const std::string key = serial.toStdString();
    const std::lock_guard lock(mutex_);
    Meter &m = meter(key);
    if (m.info && m.infoLabels == info)
        return;
    if (m.info)
        info_->Remove(m.info);
    m.infoLabels = info;
    m.info = &info_->Add(meterLabels(key, {{"firmware", info.firmware.trimmed().toStdString()},
                                           {"line", info.line.toStdString()},
                                           {"unit", std::to_string(info.unit)}}));
    m.info->Set(1);
}

void MeterMetrics::setUp(const QString &serial, bool up)
{
    const std::lock_guard lock(mutex_);
    Meter &m = meter(serial.toStdString());
    m.up->Set(up ? 1 : 0);
    if (up)
        return;
    // What it said last is not current any more: its values leave until it
    // answers again. Counters come back at the meter's count.
    for (int q = 0; q < meter::kQuantityCount; ++q)
        withdraw(m, meter::Q(q));
    if (m.clockOffset)
        clockOffset_->Remove(m.clockOffset);
    m.clockOffset = nullptr;
}

void MeterMetrics::countRequest(const QString &serial)
{
    const std::lock_guard lock(mutex_);
    meter(serial.toStdString()).requests->Increment();
}

void MeterMetrics::countFailure(const QString &serial, RequestFailure kind)
{
    const std::lock_guard lock(mutex_);
    Meter &m = meter(serial.toStdString());
    m.requests->Increment();
    m.failures[std::size_t(kind)]->Increment();
}

void MeterMetrics::countArchivedRecords(const QString &serial, quint64 records)
{
    const std::lock_guard lock(mutex_);
    meter(serial.toStdString()).archived->Increment(double(records));
}

void MeterMetrics::setCycleSeconds(const QString &serial, double seconds)
{
    const std::lock_guard lock(mutex_);
    Meter &m = meter(serial.toStdString());
    if (!m.cycleSeconds)
        m.cycleSeconds = &cycleSeconds_->Add(meterLabels(serial.toStdString()));
    m.cycleSeconds->Set(seconds);
}

void MeterMetrics::setClockOffset(const QString &serial, std::optional<double> seconds)
{
    const std::lock_guard lock(mutex_);
    Meter &m = meter(serial.toStdString());
    if (!seconds) {
        if (m.clockOffset)
            clockOffset_->Remove(m.clockOffset);
        m.clockOffset = nullptr;
        return;
    }
    if (!m.clockOffset)
        m.clockOffset = &clockOffset_->Add(meterLabels(serial.toStdString()));
    m.clockOffset->Set(*seconds);
}

} // namespace gateway
