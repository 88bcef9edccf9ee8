#pragma once

#include "modbus/frame.h"
#include "modbus/link_io.h"
#include "modbus/traffic.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace modbus {

// What a transaction needs of the link it runs on.
class TransactionHost {
public:
    virtual ~TransactionHost() = default;
    virtual bool linkOnline() const = 0;
    // Which connection the link is on: it changes each time the link goes
    // online. A transaction ends when the connection it began on is gone.
    virtual std::uint64_t linkSession() const = 0;
    // A one-line status of the exchange ("CRC Error", ...) for whoever
    // shows one.
    virtual void setStatusText(const std::string &text) = 0;
    // Takes a failed link offline.
    virtual void takeLinkOffline() = 0;
};

// Waiting that keeps the caller's event loop alive: events are processed
// while waiting.
class Waits {
public:
    virtual ~Waits() = default;
    // Monotonic milliseconds.
    virtual std::int64_t nowMs() = 0;
    // Returns once more than ms have passed since start, or the link is offline.
    virtual void WaitGapSince(std::int64_t start, int ms) = 0;
    // Returns once more than ms have passed, or earlier when the link goes offline.
    virtual void WaitWhileOnline(int ms) = 0;
    // Returns once settled() holds, or nowMs() has reached deadline, or the
    // link is offline. settled() is looked at when something happens that
    // can change it: input arrives from the meter, the port or the socket
    // goes away, a transaction ends (transactionEnded). Nothing looks at it
    // periodically, nor at the start: the caller has just looked. False only
    // when the link went offline.
    virtual bool WaitForAnswer(std::int64_t deadline, const std::function<bool()> &settled) = 0;
    // A transaction has ended and given the link up. A transaction waiting
    // for its answer around it (the other one ran inside its wait) then finds
    // that it lost the link.
    virtual void transactionEnded() = 0;
    // Returns after the given time.
    virtual void subDelay(double seconds) = 0;
};

// What became of a transaction.
enum class Failure {
    None,      // answered
    Abandoned, // another transaction ran to its end inside this one's waits,
               // three times: given up without a word, nothing known
    NoAnswer,  // no complete answer in any attempt
    BadAnswer, // answers that did not pass the checks (a CRC, a header)
    WrongUnit, // answers from another unit
    Exception, // the meter answered with a Modbus exception
    LinkGone,  // the link went offline or away under the transaction
    Refused,   // the request does not fit a Modbus frame: nothing was sent
};

struct TransactionResult {
    TransactionResult() = default;
    TransactionResult(Failure kind, std::uint8_t code = 0) : failure(kind), exceptionCode(code) {}

    Failure failure = Failure::None;
    std::uint8_t exceptionCode = 0; // the meter's exception code
    std::vector<std::uint8_t> data; // a read's data bytes, two per register

    // What became of each attempt before the last one, which gave failure:
    // the answers a transaction that ended well lost on its way.
    std::vector<Failure> lostAttempts;

    bool ok() const { return failure == Failure::None; }
    // Failed in a way the caller must take for a failure; an abandoned
    // transaction leaves the caller's state as it was.
    bool failed() const { return failure != Failure::None && failure != Failure::Abandoned; }
};

// How a caller wants its transaction run.
struct TransactionPolicy {
    int attempts = 3;
    // A transaction that fails all its attempts takes the link offline (a
    // link to one meter that went silent). A line shared by several meters
    // keeps its link for the others.
    bool takeOfflineOnFailure = true;
};

// One Modbus request with its answer: waiting, checking, three attempts, and
// taking a dead link offline. Every exchange with the meter goes through here.
// Each returns what came of it: a read its data. An exception answer ends
// its transaction at once: the meter answered, so the link is alive.
class Transactions {
public:
    static constexpr int kAttempts = 3;
    static constexpr int kGapMs = 12;
    // How long each attempt waits for an answer that does not come: 1.1 s
    // from the request (over TCP from the end of the pause after it), the
    // time of a hundred waits of more than 10 ms on a millisecond clock.
    static constexpr int kAnswerWaitMs = 1100;

    Transactions(TransactionHost &host, Waits &waits, SerialIo &serial, TcpIo &tcp);

    TransactionResult ModbusReadRegisters(int slaveAddress, std::uint8_t function, int start, int count,
                                          bool rtuMode, const TransactionPolicy &policy = {});
    TransactionResult ModbusWriteRegisters(int slaveAddress, int start, int count,
                                           std::span<const std::uint16_t> values, bool rtuMode,
                                           const TransactionPolicy &policy = {});
    TransactionResult ModbusWriteBytes(int slaveAddress, int start, int byteCount,
                                       std::span<const std::uint8_t> data, bool rtuMode,
                                       const TransactionPolicy &policy = {});

    // A master's request PDU passed on to unit as it is (the gateway sharing
    // its line); answerLength: the PDU of its regular answer. Over TCP the
    // request carries a transaction number of the line's own, which the
    // answer must carry back. A read's data holds the answer's PDU.
    TransactionResult PassOnPdu(int unit, std::span<const std::uint8_t> pdu, std::size_t answerLength, bool rtuMode,
                                const TransactionPolicy &policy);

    // Rebuilds the CRC tables and resets the CRC register.
    void CrcTableSetup();

    // The pause after each TCP request before its answer is looked at: by
    // default 0.2 s after a read and 0.5 s after a write (nothing), or a
    // fixed one for every request; 0 takes each answer as soon as it is
    // complete, for a meter or gateway that needs no pause.
    void setTcpPauseMs(std::optional<int> ms) { tcpPauseMs_ = ms; }
    // How long each attempt waits for its answer (kAnswerWaitMs when not
    // given), and the quiet time after an answer before the next request
    // (never under kGapMs): a slow converter or TCP gateway needs more.
    void setAnswerWaitMs(std::optional<int> ms) { answerWaitMs_ = ms ? std::max(1, *ms) : kAnswerWaitMs; }
    void setGapMs(std::optional<int> ms) { gapMs_ = ms ? std::max(kGapMs, *ms) : kGapMs; }

    // Who watches the traffic (the traffic view, a log); nullptr for no one.
    void setTrafficObserver(TrafficObserver *observer) { observer_ = observer; }

    // The socket's data-arrival event: the total of unread bytes.
    void Winsock_DataArrival(std::int64_t totalBytes);

    // A transaction is under way (the load-profile download waits for none).
    bool CommBusy = false;
    std::int64_t LastRxTime = 0;
    std::int16_t TcpBytesPending = 0;

private:
    // One request on its way: what is sent and to whom.
    struct Request {
        FrameCodec &frame;
        int unit;
        int readCount; // registers of a read; 0 for a write
        bool rtu;
        bool passedOn = false; // its data is the answer's PDU
    };

    TransactionResult run(const Request &request, const TransactionPolicy &policy);
    TransactionResult pollForAnswer(const Request &request, std::uint64_t session, int attempt);
    // The link is online, still on the connection (session) the transaction
    // began on, with its port open or socket connected.
    bool linkReady(bool rtuMode, std::uint64_t session) const;
    // A whole answer is in, or an exception answer.
    bool answerComplete(const Request &request);
    void discardStaleInput(bool rtuMode, bool forgetAnnounced, int attempt);
    void report(TrafficEvent::Kind kind, bool rtuMode, int attempt,
                std::span<const std::uint8_t> bytes, const char *note, bool error = false);
    TransactionResult linkLost();
    TransactionResult refuse();
    // Lowers the busy flag and tells the waits, so that a transaction this
    // one ran inside of stops waiting for its answer.
    void releaseLink();

    TransactionHost &host_;
    Waits &waits_;
    SerialIo &serial_;
    TcpIo &tcp_;
    // The CRC register and its tables, shared by every request of the link.
    Crc16 crc_;
    TrafficObserver *observer_ = nullptr;
    std::optional<int> tcpPauseMs_;
    int answerWaitMs_ = kAnswerWaitMs;
    int gapMs_ = kGapMs;
    std::uint16_t lastTransaction_ = 0;
};

} // namespace modbus
