#pragma once

#include "cli/recorded_view.h"
#include "link/link_state.h"
#include "link/meter_address.h"
#include "link/transaction_link.h"
#include "polling/poll_cycle.h"

#include <QString>


// Prints the traffic on standard error, one line a frame, each line after
// prefix; lines of several threads do not mix.
class StderrTraffic : public modbus::TrafficObserver {
public:
    explicit StderrTraffic(QString prefix = QString()) : prefix_(std::move(prefix)) {}
    void traffic(const modbus::TrafficEvent &event) override;

private:
    QString prefix_;
};

// One meter's link, its transactions and a poll cycle that writes into a
// RecordedView: the window's reading without the window. Use it on one
// thread; it waits in nested event loops like the window.
class MeterConnection {
public:
    static constexpr int kConnectTimeoutMs = 5000;

    // log, when given, receives every frame and what became of it.
    explicit MeterConnection(const MeterAddress &address, modbus::TrafficObserver *log = nullptr);
    ~MeterConnection();

    // Opens the port or connects, and goes online. False with a one-line
    // reason (and, for a port the user may not open, how to get access).
    bool open(QString *error);

    // One poll cycle (firmware first, the first time). False when the meter
    // did not answer, with the reason.
    bool poll(QString *error);

    // What the polls have read of the meter.
    const polling::Reading &reading() const { return poll_.reading(); }
    LinkState &link() { return link_; }
    modbus::Transactions &transactions() { return transactionLink_.transactions(); }
    const MeterAddress &address() const { return address_; }
    // Why the link went offline: the transactions' last status text.
    QString noAnswer() const;

private:
    bool waitForTcp(QString *error);

    MeterAddress address_;
    LinkState link_;
    TransactionLink transactionLink_{link_};
    RecordedView view_;
    PollCycle poll_{transactionLink_.transactions(), link_, view_};
    QString status_;
};
