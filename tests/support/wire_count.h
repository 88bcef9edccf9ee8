#pragma once

#include "modbus/traffic.h"

namespace testsupport {

// Counts what passes on a line, for the wire-time floor of the benchmarks:
// the bytes sent and received, and the requests sent (each followed by the
// gap between frames).
struct WireCount : modbus::TrafficObserver {
    long long bytes = 0;
    long long requests = 0;
    void traffic(const modbus::TrafficEvent &event) override
    {
        if (event.kind == modbus::TrafficEvent::Kind::Sent)
            ++requests;
        if (event.kind != modbus::TrafficEvent::Kind::Outcome)
            bytes += static_cast<long long>(event.bytes.size());
    }
};

} // namespace testsupport
