#pragma once

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
class Registry;
template <typename T> class Family;
} // namespace prometheus

namespace gateway {

// What a listener passes on, as series of the gateway's /metrics, labelled
// listener="HOST:PORT": ampwright_listener_masters (connected now),
// ampwright_listener_requests_total{outcome="passed|refused|failed"} and
// ampwright_listener_wait_seconds (how long requests waited for the line).
// Every call may come from any thread.
class ListenerMetrics {
public:
    enum class Outcome { Passed, Refused, Failed };

    explicit ListenerMetrics(prometheus::Registry &registry);
    ~ListenerMetrics();
    ListenerMetrics(const ListenerMetrics &) = delete;
    ListenerMetrics &operator=(const ListenerMetrics &) = delete;

    void setMasters(const QString &listener, int masters);
    void count(const QString &listener, Outcome outcome);
    void observeWait(const QString &listener, double seconds);

private:
    struct Listener {
        prometheus::Gauge *masters = nullptr;
        prometheus::Counter *passed = nullptr, *refused = nullptr, *failed = nullptr;
        prometheus::Histogram *wait = nullptr;
    };
    Listener &listener(const QString &name); // with mutex_ held

    prometheus::Family<prometheus::Gauge> &masters_;
    prometheus::Family<prometheus::Counter> &requests_;
    prometheus::Family<prometheus::Histogram> &wait_;
    std::mutex mutex_;
    std::map<std::string, Listener> listeners_;
};

} // namespace gateway
