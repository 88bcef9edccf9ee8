#pragma once

#include "modbus/transactions.h"
#include "session/line_turns.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace links {
class LinkState;
}

namespace session {

// One meter on its line: the transactions with it, at its unit address, in
// the line's framing, under the caller's policy. Every exchange of a meter
// session (its poll cycle, its requests, its downloads) goes through here.
class MeterAccess {
public:
    // unit: the meter's address; nothing for the address the link holds
    // (the window's connection row chooses it).
    MeterAccess(links::LinkState &link, modbus::Transactions &transactions, std::optional<int> unit = std::nullopt)
        : link_(link), tx_(transactions), unit_(unit)
    {
    }

    modbus::TransactionResult read(std::uint8_t function, int start, int count);
    modbus::TransactionResult write(int start, std::span<const std::uint16_t> values);
    // Raw data bytes, two a register (the record pointer).
    modbus::TransactionResult writeBytes(int start, std::span<const std::uint8_t> bytes);

    int unit() const;
    void setUnit(std::optional<int> unit) { unit_ = unit; }
    bool rtu() const;
    bool online() const;
    // Changes each time the link goes online (see LinkState::session).
    std::uint64_t connection() const;
    // A transaction is under way on the line.
    bool busy() const { return tx_.CommBusy; }

    modbus::TransactionPolicy policy;
    // Attempts beyond the first only while the meter answers: its last
    // transaction got an answer (an exception answer too). A meter that went
    // silent then costs its line one attempt a request, however many the
    // policy gives; its first answer brings the policy's attempts back. Off:
    // every transaction gets the policy's attempts (the window, the tool).
    bool retryOnlyWhileAnswering = false;
    bool answering() const { return answering_; }
    // Told of every transaction's result (the gateway counts them per meter).
    std::function<void(const modbus::TransactionResult &)> onResult;
    // Others on the line, nullptr for none: they may have a turn before
    // each of this meter's transactions.
    LineTurns *turns = nullptr;
    // While one lives and is granted, the meter's record pointer is this
    // program's: the others' requests to this meter wait (the pointer's
    // write and the reads at it stay together). Not granted while another
    // reads records at it: the pointer must not be moved then.
    class RecordPointerHold {
    public:
        explicit RecordPointerHold(MeterAccess &meter);
        ~RecordPointerHold();
        RecordPointerHold(const RecordPointerHold &) = delete;
        RecordPointerHold &operator=(const RecordPointerHold &) = delete;
        bool granted() const { return granted_; }

    private:
        LineTurns *turns_;
        int unit_;
        bool granted_ = true;
    };

    links::LinkState &link() { return link_; }
    modbus::Transactions &transactions() { return tx_; }

private:
    modbus::TransactionPolicy policyNow() const;
    modbus::TransactionResult told(modbus::TransactionResult result);
    void giveTurn();

    links::LinkState &link_;
    modbus::Transactions &tx_;
    std::optional<int> unit_;
    bool answering_ = false;
};

} // namespace session
