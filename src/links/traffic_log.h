#pragma once

#include "modbus/traffic.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <deque>

namespace links {

// One line of the traffic view: the time with milliseconds, then the frame
// or outcome (see modbus::trafficLine).
QString trafficText(const modbus::TrafficEvent &event, const QTime &at);

// The last frames of the link and what became of them, at most kCapacity:
// a day of polling never grows it. It records only while it is the
// transactions' observer.
class TrafficLog : public QObject, public modbus::TrafficObserver {
    Q_OBJECT
public:
    static constexpr std::size_t kCapacity = 10000;

    struct Entry {
        QString text;
        bool error = false;
        int function = -1; // of the frame, or of the request an outcome belongs to
    };

    explicit TrafficLog(QObject *parent = nullptr) : QObject(parent) {}

    void traffic(const modbus::TrafficEvent &event) override;
    const std::deque<Entry> &entries() const { return entries_; }
    void clear();

signals:
    void added(const TrafficLog::Entry &entry);
    void cleared();

private:
    std::deque<Entry> entries_;
    int lastFunction_ = -1;
};

} // namespace links
