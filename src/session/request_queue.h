#pragma once

#include "modbus/transactions.h"
#include "session/meter_request.h"

#include <functional>
#include <optional>
#include <vector>

namespace session {

class MeterAccess;

// The settings waiting to be written to a meter: one of each kind at most (a
// newer request of a kind replaces the waiting one), served in the order of
// their kinds, each only while the meter's last transaction succeeded; a
// request is taken off before its writes run, and a failed one is not tried
// again. What became of each goes to done.
class RequestQueue {
public:
    using Done = std::function<void(const MeterRequest &, const RequestResult &)>;

    explicit RequestQueue(Done done) : done_(std::move(done)) {}

    void add(MeterRequest request);
    bool pending(RequestKind kind) const;
    bool empty() const { return waiting_.empty(); }
    void clear() { waiting_.clear(); }

    // The next request to serve but the CO2 factor (in the order of kinds),
    // taken off the queue; nothing when none waits.
    std::optional<MeterRequest> takeNext();
    // The waiting CO2 factor, taken off the queue.
    std::optional<MeterRequest> takeCO2();
    // Runs a request's writes, tells done, and returns the transaction that
    // ended it: the last one, or the one that failed.
    modbus::TransactionResult run(MeterAccess &meter, const MeterRequest &request);

private:
    std::optional<MeterRequest> take(bool co2);

    std::vector<MeterRequest> waiting_; // by kind
    Done done_;
};

} // namespace session
