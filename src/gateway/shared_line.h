#pragma once

#include "modbus/mbap.h"
#include "session/line_turns.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace session {
class MeterLine;
}

namespace gateway {

// A request of a master (through a listener of the line) waiting for its
// turn on the line.
struct MasterRequest {
    std::uint8_t unit = 0;
    std::vector<std::uint8_t> pdu;
    modbus::PduShape shape;
    // The PDU of the answer for the master: the meter's, or an exception.
    std::function<void(const std::vector<std::uint8_t> &pdu)> answer;
    // Told once it was served: how long it waited for the line, and whether
    // the line gave it an answer (the meter's exception answer counts).
    std::function<void(double waitedS, bool answered)> served;
    qint64 arrivedMs = 0; // set by enqueue()
};

// The line the gateway polls, shared with the masters of its listeners. One
// request is on the line at a time: a master's request waits for the one
// under way and no longer. Before each of the gateway's own transactions the
// oldest waiting master request has its turn (one, so that a busy master
// slows the gateway's polls at most twofold); while the gateway has nothing
// to do, every request waiting is served in arrival order, until the
// gateway has something due again.
//
// A meter's record pointer is shared state: while the gateway holds it (its
// write and the reads at it), the masters' requests to that meter wait; the
// gateway does not get it while a master moved it within pointerQuietMs
// (that master reads records at it next).
//
// Lives on its line's thread; everything is called there.
class SharedLine : public session::LineTurns {
public:
    // attempts: what a passed-on request gets when its answers are lost.
    SharedLine(session::MeterLine &line, int attempts, qint64 pointerQuietMs);

    // The line is opened again (the gateway's reopening, with its pause),
    // true when it is open. Set before the first request.
    std::function<bool()> openLine;
    // A request came in and the line's owner should give it a turn soon.
    std::function<void()> wake;

    void enqueue(MasterRequest request);
    bool waiting() const { return !queue_.empty(); }
    // Serves the requests waiting now (not those coming in meanwhile), in
    // arrival order; each waits while its meter's pointer is held. Stops
    // early once gatewayDue() holds: the gateway's own transactions are then
    // due, and the masters go one before each of them.
    void serveWaiting(const std::function<bool()> &gatewayDue = {});
    // How long since a master last moved unit's record pointer; nothing: never.
    std::optional<qint64> sincePointerMovedMs(int unit) const;

    // session::LineTurns
    void beforeTransaction(int unit) override;
    bool holdRecordPointer(int unit) override;
    void releaseRecordPointer(int unit) override;

private:
    // Serves the oldest waiting request whose meter's pointer is free; false
    // when there is none.
    bool serveOne();
    void serve(MasterRequest request);

    session::MeterLine &line_;
    int attempts_;
    qint64 pointerQuietMs_;
    QElapsedTimer clock_;
    std::deque<MasterRequest> queue_;
    std::set<int> held_;
    std::map<int, qint64> pointerMovedMs_;
    bool serving_ = false;
};

} // namespace gateway
