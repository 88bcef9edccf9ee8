#pragma once

#include "modbus/transactions.h"

#include <QObject>

namespace links {

class LinkState;

// Waits of the transactions as nested event loops ended by a single-shot
// timer, and by the link going offline where the wait says so. A wait for an
// answer also ends on the link's own events (input arrived, port or socket
// gone, a transaction ended), never on a periodic look. The window stays
// live and a waiting program uses no CPU.
class EventLoopWaits : public QObject, public modbus::Waits {
    Q_OBJECT
public:
    explicit EventLoopWaits(LinkState &link) : link_(link) {}

    std::int64_t nowMs() override;
    void WaitGapSince(std::int64_t start, int ms) override;
    void WaitWhileOnline(int ms) override;
    bool WaitForAnswer(std::int64_t deadline, const std::function<bool()> &settled) override;
    void transactionEnded() override { emit linkReleased(); }
    void subDelay(double seconds) override;

signals:
    // A transaction ended: the waits for an answer look at theirs again.
    void linkReleased();

private:
    // Waits until more than ms have passed since start, or the link is
    // offline where endWhenOffline says so.
    void waitUntilPast(std::int64_t start, std::int64_t ms, bool endWhenOffline);

    LinkState &link_;
};

} // namespace links
