#include "gateway/listener_metrics.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

namespace gateway {

ListenerMetrics::ListenerMetrics(prometheus::Registry &registry)
    : masters_(prometheus::BuildGauge()
                   .Name("ampwright_listener_masters")
                   .Help("Modbus TCP masters connected to the listener")
                   .Register(registry)),
      requests_(prometheus::BuildCounter()
                    .Name("ampwright_listener_requests_total")
                    .Help("Masters' requests: passed to the line and answered, refused by the listener, or "
                          "failed on the line")
                    .Register(registry)),
      wait_(prometheus::BuildHistogram()
                .Name("ampwright_listener_wait_seconds")
                .Help("How long masters' requests waited for the line")
                .Register(registry))
{
}

ListenerMetrics::~ListenerMetrics() = default;

ListenerMetrics::Listener &ListenerMetrics::listener(const QString &name)
{
    const std::string key = name.toStdString();
    const auto found = listeners_.find(key);
    if (found != listeners_.end())
        return found->second;
    Listener &l = listeners_[key];
    l.masters = &masters_.Add({{"listener", key}});
    l.passed = &requests_.Add({{"listener", key}, {"outcome", "passed"}});
    l.refused = &requests_.Add({{"listener", key}, {"outcome", "refused"}});
    l.failed = &requests_.Add({{"listener", key}, {"outcome", "failed"}});
    l.wait = &wait_.Add({{"listener", key}},
                        prometheus::Histogram::BucketBoundaries{0.001, 0.005, 0.01, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5});
    return l;
}

void ListenerMetrics::setMasters(const QString &name, int masters)
{
    const std::lock_guard lock(mutex_);
    listener(name).masters->Set(masters);
}

void ListenerMetrics::count(const QString &name, Outcome outcome)
{
    const std::lock_guard lock(mutex_);
    Listener &l = listener(name);
    (outcome == Outcome::Passed ? l.passed : outcome == Outcome::Refused ? l.refused : l.failed)->Increment();
}

void ListenerMetrics::observeWait(const QString &name, double seconds)
{
    const std::lock_guard lock(mutex_);
    listener(name).wait->Observe(seconds);
}

} // namespace gateway
