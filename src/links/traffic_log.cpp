#include "links/traffic_log.h"

namespace links {

QString trafficText(const modbus::TrafficEvent &event, const QTime &at)
{
    return at.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ")
           + QString::fromStdString(modbus::trafficLine(event));
}

void TrafficLog::traffic(const modbus::TrafficEvent &event)
{
    // Answers and outcomes belong to the request sent last: they are
    // filtered by its function (an exception answer carries it with 0x80).
    if (event.kind == modbus::TrafficEvent::Kind::Sent)
        lastFunction_ = modbus::frameFields(event.bytes, event.rtu, true).function;
    Entry entry{trafficText(event, QTime::currentTime()), event.error, lastFunction_};
    if (entries_.size() == kCapacity)
        entries_.pop_front();
    entries_.push_back(entry);
    emit added(entry);
}

void TrafficLog::clear()
{
    entries_.clear();
    emit cleared();
}

} // namespace links
