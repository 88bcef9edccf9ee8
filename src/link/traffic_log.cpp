#include "link/traffic_log.h"

QString trafficText(const modbus::TrafficEvent &event, const QTime &at)
{
    return at.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ")
           + QString::fromStdString(modbus::trafficLine(event));
}

void TrafficLog::traffic(const modbus::TrafficEvent &event)
{
    if (event.kind != modbus::TrafficEvent::Kind::Outcome) {
        const int function =
            modbus::frameFields(event.bytes, event.rtu, event.kind == modbus::TrafficEvent::Kind::Sent).function;
        // An exception answer carries its request's function with 0x80.
        if (function >= 0 && event.kind == modbus::TrafficEvent::Kind::Sent)
            lastFunction_ = function & 0x7F;
    }
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
