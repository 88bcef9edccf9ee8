#pragma once

#include "links/meter_address.h"
#include "meter/reading.h"

#include <QString>

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace prometheus {

class Counter;
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

class HttpServer;

// Quantities of the catalogue, by meter::Q.
using QuantitySet = std::bitset<meter::kQuantityCount>;

// Where a meter is and what it runs, for ampwright_meter_info.
struct MeterInfo {
    QString firmware; // the firmware's text
    QString line;     // the line it is on: lineLabel()
    int unit = 0;
    bool operator==(const MeterInfo &) const = default;
};
// A line as the meters file writes it: "rtu=1", "tcp=192.168.1.20:502".
QString lineLabel(const links::MeterAddress &line);

// The meters a gateway polls, published for Prometheus as /metrics of the
// gateway's HTTP server: a gauge or counter per quantity of the catalogue
// (metrics_catalogue.h), labelled meter="<serial>", and per meter
// ampwright_meter_up, ampwright_meter_info{firmware,line,unit},
// ampwright_meter_last_poll_timestamp_seconds, ampwright_requests_total,
// ampwright_request_failures_total{kind},
// ampwright_poll_cycle_duration_seconds and
// ampwright_lp_records_archived_total.
//
// A quantity the meter's firmware does not read, or that has not been read
// yet, has no series (not 0). A meter that goes offline loses its values'
// series until it answers again; its ampwright_meter_up stays, at 0, and so
// do its info, its last poll's time and its counts. Every call may come from
// any thread.
class MeterMetrics {
public:
    MeterMetrics();
    ~MeterMetrics();
    MeterMetrics(const MeterMetrics &) = delete;
    MeterMetrics &operator=(const MeterMetrics &) = delete;

    // Serves the text as /metrics of server (before it listens).
    void serveOn(HttpServer &server);
    // Where the series live: other series of the gateway join them there.
    prometheus::Registry &registry() { return *registry_; }
    // The text exposition of every series, as /metrics gives it.
    std::string text() const;

    // One poll cycle's reading of the meter with that serial; displayBase is
    // the measurement panel its firmware uses (0 or 100). Marks it up and its
    // poll's time. The quantities in held keep their series as they are
    // (a gauge its last value, a counter its count): a value not to be
    // trusted this time is left out without a reset. A counter that went
    // back, and is not held, is taken as a reset and starts again.
    void updateReading(const QString &serial, const meter::Reading &reading, int displayBase,
                       const QuantitySet &held = {});
    // The meter's counter of q starts again from its next value (the
    // meter's energy was cleared).
    void resetCounter(const QString &serial, meter::Q q);
    void setInfo(const QString &serial, const MeterInfo &info);
    void setUp(const QString &serial, bool up);
    // A request the meter answered; one that failed, counted among the
    // requests too.
    void countRequest(const QString &serial);
    void countFailure(const QString &serial, RequestFailure kind);
    void countArchivedRecords(const QString &serial, quint64 records);
    void setCycleSeconds(const QString &serial, double seconds);
    // ampwright_meter_clock_offset_seconds: how far the meter's clock is
    // ahead of the gateway's; withdrawn by nothing (no clock read) and when
    // the meter goes offline.
    void setClockOffset(const QString &serial, std::optional<double> seconds);

private:
    struct Meter {
        std::array<prometheus::Gauge *, meter::kQuantityCount> gauges{};
        std::array<prometheus::Counter *, meter::kQuantityCount> counters{};
        std::array<double, meter::kQuantityCount> counted{}; // the meter's last counter values
        prometheus::Gauge *up = nullptr;
        prometheus::Gauge *info = nullptr;
        MeterInfo infoLabels;
        prometheus::Gauge *lastPoll = nullptr;
        prometheus::Gauge *cycleSeconds = nullptr;
        prometheus::Gauge *clockOffset = nullptr;
        prometheus::Counter *requests = nullptr;
        std::array<prometheus::Counter *, kRequestFailureKinds> failures{};
        prometheus::Counter *archived = nullptr;
    };

    // The meter's series, made at its first mention. Call with mutex_ held.
    Meter &meter(const std::string &serial);
    void publish(Meter &m, const std::string &serial, meter::Q q, std::optional<double> value);
    void withdraw(Meter &m, meter::Q q);

    std::shared_ptr<prometheus::Registry> registry_;
    // The family of each quantity (several quantities share one); null where
    // the quantity is of the other type.
    std::array<prometheus::Family<prometheus::Gauge> *, meter::kQuantityCount> quantityGauges_{};
    std::array<prometheus::Family<prometheus::Counter> *, meter::kQuantityCount> quantityCounters_{};
    prometheus::Family<prometheus::Gauge> *up_ = nullptr;
    prometheus::Family<prometheus::Gauge> *info_ = nullptr;
    prometheus::Family<prometheus::Gauge> *lastPoll_ = nullptr;
    prometheus::Family<prometheus::Gauge> *cycleSeconds_ = nullptr;
    prometheus::Family<prometheus::Gauge> *clockOffset_ = nullptr;
    prometheus::Family<prometheus::Counter> *requests_ = nullptr;
    prometheus::Family<prometheus::Counter> *failures_ = nullptr;
    prometheus::Family<prometheus::Counter> *archived_ = nullptr;

    mutable std::mutex mutex_;
    std::map<std::string, Meter> meters_;
};

} // namespace gateway
