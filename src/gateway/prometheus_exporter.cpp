#include "gateway/prometheus_exporter.h"

#include "gateway/metrics_catalogue.h"
#include "meter/quantities.h"

#include <QHostAddress>

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

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

std::unique_ptr<MeterMetrics> MeterMetrics::listen(const QString &host, quint16 port, QString *error)
{
    const QHostAddress address(host);
    if (address.isNull()) {
        *error = QStringLiteral("'%1' is not an IP address to listen on").arg(host);
        return nullptr;
    }
    const QString hostPart = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
        : address.toString();
    const std::string bind = (hostPart + QLatin1Char(':') + QString::number(port)).toStdString();
    std::unique_ptr<MeterMetrics> metrics(new MeterMetrics());
    try {
        metrics->exposer_ = std::make_unique<prometheus::Exposer>(bind, 2);
    } catch (const std::exception &e) {
        *error = QStringLiteral("cannot serve metrics on %1: %2")
                     .arg(QString::fromStdString(bind), QString::fromLocal8Bit(e.what()));
        return nullptr;
    }
    const std::vector<int> ports = metrics->exposer_->GetListeningPorts();
    if (ports.empty()) {
        *error = QStringLiteral("metrics on %1: no port to listen on").arg(QString::fromStdString(bind));
        return nullptr;
    }
    metrics->port_ = static_cast<quint16>(ports.front());
    metrics->exposer_->RegisterCollectable(metrics->registry_);
    return metrics;
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

void MeterMetrics::updateReading(const QString &serial, const meter::Reading &reading, int displayBase)
{
    const std::string key = serial.toStdString();
    const std::lock_guard lock(mutex_);
    Meter &m = meter(key);
    for (int q = 0; q < meter::kQuantityCount; ++q) {
        const bool read = meter::readsQuantity(meter::Q(q), reading.firmwareNumber, displayBase);
        publish(m, key, meter::Q(q), read ? reading.value(meter::Q(q)) : std::nullopt);
    }
    m.up->Set(1);
}

void MeterMetrics::setUp(const QString &serial, bool up)
{
    const std::lock_guard lock(mutex_);
    meter(serial.toStdString()).up->Set(up ? 1 : 0);
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
