#pragma once

#include "modbus/traffic.h"

#include <QString>

namespace links {

// Prints the traffic on standard error, one line a frame, each line after
// prefix; lines of several threads do not mix.
class StderrTraffic : public modbus::TrafficObserver {
public:
    explicit StderrTraffic(QString prefix = QString()) : prefix_(std::move(prefix)) {}
    void traffic(const modbus::TrafficEvent &event) override;

private:
    QString prefix_;
};

} // namespace links
