#include "links/stderr_traffic.h"

#include "links/traffic_log.h"

#include <QTime>

#include <cstdio>
#include <mutex>

namespace links {

void StderrTraffic::traffic(const modbus::TrafficEvent &event)
{
    static std::mutex lock;
    const QByteArray line = (prefix_ + trafficText(event, QTime::currentTime())).toLocal8Bit();
    const std::lock_guard<std::mutex> hold(lock);
    std::fprintf(stderr, "%s\n", line.constData());
}

} // namespace links
