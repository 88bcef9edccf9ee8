#pragma once

// A scripted link for driving the transactions without a meter or a clock:
// virtual time advances only inside the waits, where scheduled events (answer
// bytes arriving, the user going offline, another transaction) run in order.

#include "modbus/crc.h"
#include "modbus/transactions.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace fake {

using Bytes = std::vector<std::uint8_t>;

class Clock : public modbus::Waits {
public:
    std::int64_t now = 1'000'000;
    std::function<bool()> online = [] { return true; };

    void at(std::int64_t time, std::function<void()> event) { events_.emplace(time, std::move(event)); }
    void after(std::int64_t ms, std::function<void()> event) { at(now + ms, std::move(event)); }

    std::int64_t nowMs() override { return now; }
    void WaitGapSince(std::int64_t start, int ms) override
    {
        while (online() && now - start <= ms)
            advanceTo(start + ms + 1, true);
    }
    void WaitWhileOnline(int ms) override
    {
        const std::int64_t end = now + ms + 1;
        while (online() && now < end)
            advanceTo(end, true);
    }
    // Each wait looks at its settled() only when the link announces something.
    bool WaitForAnswer(std::int64_t deadline, const std::function<bool()> &settled) override
    {
        ++answerWaits;
        std::pair<const std::function<bool()> *, bool> wait{&settled, settled()};
        waits_.push_back(&wait);
        while (online() && now < deadline && !wait.second)
            advanceTo(deadline, true, &wait.second);
        std::erase(waits_, &wait);
        return online();
    }
    void transactionEnded() override { inputArrived(); }
    void subDelay(double seconds) override { advanceTo(now + std::int64_t(seconds * 1000), false); }
    // Called by events that bring bytes from the meter or take the socket away.
    void inputArrived() { for (auto *wait : waits_) wait->second = wait->second || (*wait->first)(); }
    int answerWaits = 0;

private:
    // Runs the events due up to target; stops early after an event that took
    // the link offline, or settled the wait that watches for it.
    void advanceTo(std::int64_t target, bool stopWhenOffline, const bool *settled = nullptr)
    {
        while (!events_.empty() && events_.begin()->first <= target) {
            auto first = events_.begin();
            now = std::max(now, first->first);
            auto event = std::move(first->second);
            events_.erase(first);
            event();
            if ((stopWhenOffline && !online()) || (settled && *settled))
                return;
        }
        now = std::max(now, target);
    }

    std::vector<std::pair<const std::function<bool()> *, bool> *> waits_;
    std::multimap<std::int64_t, std::function<void()>> events_;
};

class Host : public modbus::TransactionHost {
public:
    bool online = true;
    int slave = 1;
    std::vector<std::string> statusTexts;
    int offlineCalls = 0;
    std::function<void()> onOffline;

    std::uint64_t session = 1;

    bool linkOnline() const override { return online; }
    std::uint64_t linkSession() const override { return session; }
    void setStatusText(const std::string &text) override { statusTexts.push_back(text); }
    void takeLinkOffline() override
    {
        ++offlineCalls;
        online = false;
        if (onOffline)
            onOffline();
    }
};

// The meter's side: each request sent is answered by the next scripted reply.
struct Reply {
    Bytes bytes;            // empty: no answer
    std::int64_t delayMs = 30;
};

class Serial : public modbus::SerialIo {
public:
    explicit Serial(Clock &clock) : clock_(clock) {}
    bool open = true;
    Bytes buffer;
    std::vector<Bytes> sent;
    std::vector<std::int64_t> sentAt;
    std::deque<Reply> replies;
    // When set, answers every request instead of the scripted replies.
    std::function<std::optional<Reply>(const Bytes &request)> responder;

    bool isOpen() const override { return open; }
    int inBufferCount() override { return open ? int(buffer.size()) : 0; }
    std::vector<std::uint8_t> takeInput() override { return std::exchange(buffer, {}); }
    std::vector<std::uint8_t> peekInput(int maxBytes) override
    {
        return Bytes(buffer.begin(), buffer.begin() + std::ptrdiff_t(std::min<std::size_t>(buffer.size(), std::size_t(std::max(maxBytes, 0)))));
    }
    void expectInput(int, int) override {}
    void output(std::span<const std::uint8_t> bytes) override
    {
        sent.emplace_back(bytes.begin(), bytes.end());
        sentAt.push_back(clock_.now);
        Reply reply;
        if (responder) {
            const std::optional<Reply> answer = responder(sent.back());
            if (!answer)
                return;
            reply = *answer;
        } else {
            if (replies.empty())
                return;
            reply = replies.front();
            replies.pop_front();
        }
        if (!reply.bytes.empty())
            clock_.after(reply.delayMs, [this, bytes = reply.bytes] {
                buffer.insert(buffer.end(), bytes.begin(), bytes.end());
                clock_.inputArrived();
            });
    }

private:
    Clock &clock_;
};

class Tcp : public modbus::TcpIo {
public:
    Tcp(Clock &clock, modbus::Transactions *&transactions) : clock_(clock), tx_(transactions) {}
    bool connected = true;
    Bytes socketBuffer;
    std::vector<Bytes> sent;
    std::deque<Reply> replies;

    bool isConnected() const override { return connected; }
    std::vector<std::uint8_t> getData(int maxBytes) override
    {
        const std::size_t n = std::min<std::size_t>(socketBuffer.size(), std::size_t(maxBytes));
        Bytes out(socketBuffer.begin(), socketBuffer.begin() + std::ptrdiff_t(n));
        socketBuffer.erase(socketBuffer.begin(), socketBuffer.begin() + std::ptrdiff_t(n));
        return out;
    }
    std::vector<std::uint8_t> peekData(int maxBytes) override
    {
        return Bytes(socketBuffer.begin(),
                     socketBuffer.begin() + std::ptrdiff_t(std::min<std::size_t>(socketBuffer.size(), std::size_t(std::max(maxBytes, 0)))));
    }
    void sendData(std::span<const std::uint8_t> bytes) override
    {
        sent.emplace_back(bytes.begin(), bytes.end());
        if (replies.empty())
            return;
        Reply reply = replies.front();
        replies.pop_front();
        if (!reply.bytes.empty())
            clock_.after(reply.delayMs, [this, bytes = reply.bytes] { arrive(bytes); });
    }
    // Bytes arrive and the socket announces its new total.
    void arrive(const Bytes &bytes)
    {
        socketBuffer.insert(socketBuffer.end(), bytes.begin(), bytes.end());
        tx_->Winsock_DataArrival(std::int64_t(socketBuffer.size()));
        clock_.inputArrived();
    }

private:
    Clock &clock_;
    modbus::Transactions *&tx_;
};

// frame with its RTU CRC after it.
inline Bytes withCrc(Bytes frame)
{
    modbus::Crc16 crc;
    crc.CrcTableSetup();
    crc.compute(frame);
    frame.push_back(crc.CrcLo);
    frame.push_back(crc.CrcHi);
    return frame;
}

// A correct RTU read answer with data bytes 1, 2, 3, ... from `address`.
inline Bytes rtuReadAnswer(std::uint8_t address, int registers, std::uint8_t function = 3)
{
    Bytes a{address, function, std::uint8_t(2 * registers)};
    for (int i = 0; i < 2 * registers; ++i)
        a.push_back(std::uint8_t(i + 1));
    return withCrc(std::move(a));
}

inline Bytes rtuWriteAnswer(std::uint8_t address, int start, int count)
{
    Bytes a{address, 16, std::uint8_t(start >> 8), std::uint8_t(start), std::uint8_t(count >> 8),
            std::uint8_t(count)};
    return withCrc(std::move(a));
}

inline Bytes tcpReadAnswer(std::uint8_t unit, int registers)
{
    Bytes a{0, 0, 0, 0, 0, std::uint8_t(3 + 2 * registers), unit, 3, std::uint8_t(2 * registers)};
    for (int i = 0; i < 2 * registers; ++i)
        a.push_back(std::uint8_t(i + 1));
    return a;
}

// Everything a test needs, wired together.
struct Rig {
    Clock clock;
    Host host;
    Serial serial{clock};
    modbus::Transactions *txPointer = nullptr;
    Tcp tcp{clock, txPointer};
    modbus::Transactions tx{host, clock, serial, tcp};

    Rig()
    {
        txPointer = &tx;
        clock.online = [this] { return host.online; };
        tx.CrcTableSetup();
    }
};

} // namespace fake
