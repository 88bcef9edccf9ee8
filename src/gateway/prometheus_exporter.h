#pragma once

#include "meter/reading.h"

#include <QString>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace prometheus {

class Counter;
class Exposer;
class Gauge;
class Registry;
template <typename T> class Family;
} // namespace prometheus

namespace gateway {

// Why a request to a meter failed.
enum class RequestFailure { Timeout, Crc, Exception, Link };
inline constexpr int kRequestFailureKinds = 4;
// The kind label of a failure: timeout, crc, exception, link.
const char *failureKindLabel(RequestFailure kind);

// The meters a gateway polls, published for Prometheus on HOST:PORT/metrics:
// a gauge or counter per quantity of the catalogue (metrics_catalogue.h),
// labelled meter="<serial>", and per meter ampwright_meter_up,
// ampwright_requests_total, ampwright_request_failures_total{kind},
// ampwright_poll_cycle_duration_seconds and
// ampwright_lp_records_archived_total. The exposer serves its own exposer_*
// metrics beside them.
//
// A quantity the meter's firmware does not read, or that has not been read
// yet, has no series (not 0). A meter that goes away keeps its series with
// ampwright_meter_up 0. Every call may come from any thread.
class MeterMetrics {
public:
    // Listens on host (an IP address: 127.0.0.1, 0.0.0.0, ::1) and port (0: a
    // free one); nullptr and the reason in *error when it cannot.
    static std::unique_ptr<MeterMetrics> listen(const QString &host, quint16 port, QString *error);
    ~MeterMetrics();
    MeterMetrics(const MeterMetrics &) = delete;
    MeterMetrics &operator=(const MeterMetrics &) = delete;

    // The port it listens on.
    quint16 port() const { return port_; }

    // One poll cycle's reading of the meter with that serial; displayBase is
    // the measurement panel its firmware uses (0 or 100). Marks it up.
    void updateReading(const QString &serial, const meter::Reading &reading, int displayBase);
    void setUp(const QString &serial, bool up);
    // A request the meter answered; one that failed, counted among the
    // requests too.
    void countRequest(const QString &serial);
    void countFailure(const QString &serial, RequestFailure kind);
    void countArchivedRecords(const QString &serial, quint64 records);
    void setCycleSeconds(const QString &serial, double seconds);
    // ampwright_meter_clock_offset_seconds: how far the meter's clock is
    // ahead of the gateway's; nothing withdraws it (no clock read).
    void setClockOffset(const QString &serial, std::optional<double> seconds);

private:
    struct Meter {
        std::array<prometheus::Gauge *, meter::kQuantityCount> gauges{};
        std::array<prometheus::Counter *, meter::kQuantityCount> counters{};
        std::array<double, meter::kQuantityCount> counted{}; // the meter's last counter values
        prometheus::Gauge *up = nullptr;
        prometheus::Gauge *cycleSeconds = nullptr;
        prometheus::Gauge *clockOffset = nullptr;
        prometheus::Counter *requests = nullptr;
        std::array<prometheus::Counter *, kRequestFailureKinds> failures{};
        prometheus::Counter *archived = nullptr;
    };

    MeterMetrics();
    // The meter's series, made at its first mention. Call with mutex_ held.
    Meter &meter(const std::string &serial);
    void publish(Meter &m, const std::string &serial, meter::Q q, std::optional<double> value);
    void withdraw(Meter &m, meter::Q q);

    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<prometheus::Exposer> exposer_;
    quint16 port_ = 0;
    // The family of each quantity (several quantities share one); null where
    // the quantity is of the other type.
    std::array<prometheus::Family<prometheus::Gauge> *, meter::kQuantityCount> quantityGauges_{};
    std::array<prometheus::Family<prometheus::Counter> *, meter::kQuantityCount> quantityCounters_{};
    prometheus::Family<prometheus::Gauge> *up_ = nullptr;
    prometheus::Family<prometheus::Gauge> *cycleSeconds_ = nullptr;
    prometheus::Family<prometheus::Gauge> *clockOffset_ = nullptr;
    prometheus::Family<prometheus::Counter> *requests_ = nullptr;
    prometheus::Family<prometheus::Counter> *failures_ = nullptr;
    prometheus::Family<prometheus::Counter> *archived_ = nullptr;

    std::mutex mutex_;
    std::map<std::string, Meter> meters_;
};

} // namespace gateway
