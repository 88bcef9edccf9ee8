#include "modbus/transactions.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace modbus {

namespace {

constexpr char kAddressError[] = "Address Error";
constexpr char kCrcError[] = "CRC Error";

std::string communicationError()
{
    return "Communication Error! Retry " + std::to_string(Transactions::kAttempts) + " times!";
}

} // namespace

Transactions::Transactions(TransactionHost &host, Waits &waits, SerialIo &serial, TcpIo &tcp)
    : host_(host), waits_(waits), serial_(serial), tcp_(tcp)
{
}

void Transactions::CrcTableSetup() { crc_.CrcTableSetup(); }

void Transactions::Winsock_DataArrival(std::int64_t totalBytes)
{
    // The count is kept in 16 bits; a larger total is held at the largest value.
    TcpBytesPending = static_cast<std::int16_t>(
        std::clamp<std::int64_t>(totalBytes, 0, std::numeric_limits<std::int16_t>::max()));
}

void Transactions::ModbusReadRegisters(int slaveAddress, std::uint8_t function, int start,
                                       int count, bool rtuMode)
{
    if (!host_.linkOnline())
        return;
    CommBusy = true;
    FrameCodec request(crc_);
    if (!request.buildReadRequest(static_cast<std::uint8_t>(slaveAddress), function, start, count,
                                  rtuMode)) {
        refuse();
        return;
    }
    run(request, count, rtuMode);
}

void Transactions::ModbusWriteRegisters(int slaveAddress, int start, int count,
                                        std::span<const std::uint16_t> values, bool rtuMode)
{
    if (!host_.linkOnline())
        return;
    CommBusy = true;
    LastTransOK = true;
    FrameCodec request(crc_);
    if (count < 0 || values.size() < static_cast<std::size_t>(count)
        || !request.buildWriteRequest(static_cast<std::uint8_t>(slaveAddress), start,
                                      values.first(static_cast<std::size_t>(count)), rtuMode)) {
        refuse();
        return;
    }
    run(request, 0, rtuMode);
}

void Transactions::ModbusWriteBytes(int slaveAddress, int start, int byteCount,
                                    std::span<const std::uint8_t> data, bool rtuMode)
{
    if (!host_.linkOnline())
        return;
    CommBusy = true;
    LastTransOK = true;
    if (byteCount <= 0 || byteCount % 2 != 0 || data.size() < static_cast<std::size_t>(byteCount)) {
        refuse();
        return;
    }
    const int count = byteCount / 2;
    std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(
            data[static_cast<std::size_t>(2 * i)] << 8 | data[static_cast<std::size_t>(2 * i + 1)]);
    ModbusWriteRegisters(slaveAddress, start, count, values, rtuMode);
}

void Transactions::report(TrafficEvent::Kind kind, bool rtuMode, int attempt,
                          std::span<const std::uint8_t> bytes, const char *note, bool error)
{
    if (!observer_)
        return;
    observer_->traffic(
        {kind, rtuMode, attempt, error, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), note});
}

void Transactions::refuse()
{
    report(TrafficEvent::Kind::Outcome, true, 0, {}, "request refused: it does not fit a Modbus frame",
           true);
    LastTransOK = false;
    releaseLink();
}

void Transactions::releaseLink()
{
    CommBusy = false;
    waits_.transactionEnded();
}

bool Transactions::linkReady(bool rtuMode, std::uint64_t session) const
{
    return host_.linkOnline() && host_.linkSession() == session
           && (rtuMode ? serial_.isOpen() : tcp_.isConnected());
}

void Transactions::linkLost()
{
    // The link went away under the transaction (the user went offline, the
    // port closed, the socket is not connected): no message, but the caller
    // must not take the missing answer for a success, and the busy flag must
    // not stay raised, or nothing would ever talk to the meter again.
    LastTransOK = false;
    releaseLink();
}

void Transactions::discardStaleInput(bool rtuMode, bool forgetAnnounced, int attempt)
{
    std::vector<std::uint8_t> dropped;
    if (rtuMode)
        dropped = serial_.takeInput();
    else if (TcpBytesPending > 0)
        dropped = tcp_.getData(TcpBytesPending);
    if (!rtuMode && forgetAnnounced)
        TcpBytesPending = 0;
    if (!dropped.empty())
        report(TrafficEvent::Kind::Discarded, rtuMode, attempt, dropped,
               forgetAnnounced ? "late or unasked input dropped before sending"
                               : "incomplete or unusable answer dropped");
}

bool Transactions::answerComplete(int expectedLength, bool rtuMode)
{
    return rtuMode ? serial_.inBufferCount() >= expectedLength
                   : TcpBytesPending >= expectedLength;
}

void Transactions::run(FrameCodec &request, int readCount, bool rtuMode)
{
    const bool isRead = readCount > 0;
    // Going offline and online again while this transaction waits gives a
    // new connection; the transaction then ends instead of going on there.
    const std::uint64_t session = host_.linkSession();
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        // A transaction that ran to its end inside this one's waits cleared
        // the busy flag; this attempt sends again and owns the link once more.
        CommBusy = true;
        waits_.WaitGapSince(LastRxTime, kGapMs);
        if (!linkReady(rtuMode, session)) {
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone before sending");
            return linkLost();
        }
        discardStaleInput(rtuMode, true, attempt);
        if (rtuMode) {
            serial_.expectInput(request.expectedLength());
            serial_.output(request.txFrame());
        } else {
            tcp_.sendData(request.txFrame());
        }
        report(TrafficEvent::Kind::Sent, rtuMode, attempt, request.txFrame(), "");
        if (!rtuMode)
            waits_.subDelay(tcpPauseMs_ ? *tcpPauseMs_ / 1000.0 : isRead ? 0.2 : 0.5);

        switch (pollForAnswer(request, readCount, rtuMode, session, attempt)) {
        case PollOutcome::Success:
            releaseLink();
            return;
        case PollOutcome::LinkLost:
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone while waiting");
            return linkLost();
        case PollOutcome::Abandoned:
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {},
                   "given up: another transaction took the link", true);
            if (attempt == kAttempts)
                return;
            continue;
        case PollOutcome::Failed:
            break;
        }

        if (!linkReady(rtuMode, session)) {
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone after a failed attempt");
            return linkLost();
        }
        discardStaleInput(rtuMode, false, attempt);
    }

    report(TrafficEvent::Kind::Outcome, rtuMode, kAttempts, {},
           "no usable answer in 3 attempts: link taken offline", true);
    host_.setStatusText(communicationError());
    LastTransOK = false;
    releaseLink();
    host_.takeLinkOffline();
}

Transactions::PollOutcome Transactions::pollForAnswer(FrameCodec &request, int readCount,
                                                      bool rtuMode, std::uint64_t session,
                                                      int attempt)
{
    const int expected = request.expectedLength();
    // One wait for the whole attempt. The link's arrival events end it once
    // the answer is complete, so the answer is taken at once; a silent meter
    // gets kAnswerWaitMs. It also ends when the link goes, or when another
    // transaction ran to its end inside it and so took the link.
    const std::int64_t deadline = waits_.nowMs() + kAnswerWaitMs;
    const auto settled = [&] {
        return !CommBusy || !linkReady(rtuMode, session) || answerComplete(expected, rtuMode);
    };
    for (;;) {
        if (!CommBusy)
            return PollOutcome::Abandoned;
        if (!linkReady(rtuMode, session))
            return PollOutcome::LinkLost;
        if (answerComplete(expected, rtuMode)) {
            const std::vector<std::uint8_t> answer =
                rtuMode ? serial_.takeInput() : tcp_.getData(TcpBytesPending);
            LastRxTime = waits_.nowMs();
            const AnswerCheck outcome =
                rtuMode ? request.checkRtuAnswer(answer, host_.slaveAddress())
                        : request.checkTcpAnswer(answer);
            if (outcome == AnswerCheck::Valid) {
                report(TrafficEvent::Kind::Received, rtuMode, attempt, answer, "answer taken");
                if (readCount > 0)
                    FrameCodec::extractReadData(answer, readCount, rtuMode, RxData);
                return PollOutcome::Success;
            }
            if (outcome == AnswerCheck::AddressError)
                host_.setStatusText(kAddressError);
            else if (outcome == AnswerCheck::CrcError)
                host_.setStatusText(kCrcError);
            report(TrafficEvent::Kind::Received, rtuMode, attempt, answer,
                   outcome == AnswerCheck::AddressError ? "address error: another unit answered"
                   : outcome == AnswerCheck::CrcError   ? "CRC error"
                                                        : "answer does not fit the request",
                   true);
            return PollOutcome::Failed;
        }
        if (waits_.nowMs() >= deadline) {
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {},
                   "no complete answer within the waits", true);
            return PollOutcome::Failed;
        }
        // Offline ends the wait whatever settled() says; the busy flag still
        // tells an abandoned transaction from a lost link.
        if (!waits_.WaitForAnswer(deadline, settled) && CommBusy)
            return PollOutcome::LinkLost;
    }
}

} // namespace modbus
