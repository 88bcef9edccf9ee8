#pragma once

#include "modbus/transactions.h"

class LinkState;

// Waits of the transactions as nested event loops ended by a single-shot
// timer, and by the link going offline where the wait says so. The window
// stays live and a waiting program uses no CPU.
class EventLoopWaits : public modbus::Waits {
public:
    explicit EventLoopWaits(LinkState &link) : link_(link) {}

    std::int64_t nowMs() override;
    void WaitGapSince(std::int64_t start, int ms) override;
    void WaitWhileOnline(int ms) override;
    bool WaitForAnswerWhileOnline(int ms, const std::function<bool()> &answerComplete) override;
    void subDelay(double seconds) override;

    // While part of a serial answer is in, completion is looked at this often.
    static constexpr int kPartialAnswerCheckMs = 3;

private:
    enum class End { Time, Offline, Input };
    // Waits until more than ms have passed since start, or an end condition
    // that the wait watches for holds.
    End waitUntilPast(std::int64_t start, std::int64_t ms, bool endWhenOffline,
                      const std::function<bool()> *inputEnds = nullptr);

    LinkState &link_;
};
