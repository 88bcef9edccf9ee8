#include "modbus/transactions.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace modbus {

namespace {

constexpr char kAddressError[] = "Address Error";
constexpr char kCrcError[] = "CRC Error";

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

TransactionResult Transactions::ModbusReadRegisters(int slaveAddress, std::uint8_t function, int start,
                                                    int count, bool rtuMode, const TransactionPolicy &policy)
{
    if (!host_.linkOnline())
        return {Failure::LinkGone};
    CommBusy = true;
    FrameCodec frame(crc_);
    if (!frame.buildReadRequest(static_cast<std::uint8_t>(slaveAddress), function, start, count, rtuMode))
        return refuse();
    return run({frame, slaveAddress, count, rtuMode}, policy);
}

TransactionResult Transactions::ModbusWriteRegisters(int slaveAddress, int start, int count,
                                                     std::span<const std::uint16_t> values, bool rtuMode,
                                                     const TransactionPolicy &policy)
{
    if (!host_.linkOnline())
        return {Failure::LinkGone};
    CommBusy = true;
    FrameCodec frame(crc_);
    if (count < 0 || values.size() < static_cast<std::size_t>(count)
        || !frame.buildWriteRequest(static_cast<std::uint8_t>(slaveAddress), start,
                                    values.first(static_cast<std::size_t>(count)), rtuMode))
        return refuse();
    return run({frame, slaveAddress, 0, rtuMode}, policy);
}

TransactionResult Transactions::ModbusWriteBytes(int slaveAddress, int start, int byteCount,
                                                 std::span<const std::uint8_t> data, bool rtuMode,
                                                 const TransactionPolicy &policy)
{
    if (!host_.linkOnline())
        return {Failure::LinkGone};
    CommBusy = true;
    if (byteCount <= 0 || byteCount % 2 != 0 || data.size() < static_cast<std::size_t>(byteCount))
        return refuse();
    const int count = byteCount / 2;
    std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(
            data[static_cast<std::size_t>(2 * i)] << 8 | data[static_cast<std::size_t>(2 * i + 1)]);
    return ModbusWriteRegisters(slaveAddress, start, count, values, rtuMode, policy);
}

TransactionResult Transactions::PassOnPdu(int unit, std::span<const std::uint8_t> pdu, std::size_t answerLength,
                                          bool rtuMode, const TransactionPolicy &policy)
{
    if (!host_.linkOnline())
        return {Failure::LinkGone};
    CommBusy = true;
    // 1 to 65535: the program's own requests carry 0.
    lastTransaction_ = static_cast<std::uint16_t>(lastTransaction_ % 0xFFFF + 1);
    FrameCodec frame(crc_);
    if (unit < 0 || unit > 255
        || !frame.buildPduRequest(static_cast<std::uint8_t>(unit), pdu, answerLength, rtuMode, lastTransaction_))
        return refuse();
    // Over TCP it gets a read's pause (a write's longer one is the window's
    // own habit); a line whose pause is set takes that.
    return run({frame, unit, 0, rtuMode, true}, policy);
}

void Transactions::report(TrafficEvent::Kind kind, bool rtuMode, int attempt,
                          std::span<const std::uint8_t> bytes, const char *note, bool error)
{
    if (!observer_)
        return;
    observer_->traffic(
        {kind, rtuMode, attempt, error, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), note});
}

TransactionResult Transactions::refuse()
{
    report(TrafficEvent::Kind::Outcome, true, 0, {}, "request refused: it does not fit a Modbus frame",
           true);
    releaseLink();
    return {Failure::Refused};
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

TransactionResult Transactions::linkLost()
{
    // The link went away under the transaction (the user went offline, the
    // port closed, the socket is not connected): no message, but the caller
    // must not take the missing answer for a success, and the busy flag must
    // not stay raised, or nothing would ever talk to the meter again.
    releaseLink();
    return {Failure::LinkGone};
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

bool Transactions::answerComplete(const Request &request)
{
    const int received = request.rtu ? serial_.inBufferCount() : TcpBytesPending;
    if (received >= request.frame.expectedLength())
        return true;
    // An exception answer is shorter than the answer asked for.
    const int exception = request.rtu ? FrameCodec::kRtuExceptionLength : FrameCodec::kTcpExceptionLength;
    if (received < exception)
        return false;
    const std::vector<std::uint8_t> head = request.rtu ? serial_.peekInput(exception) : tcp_.peekData(exception);
    return request.frame.exceptionCode(head, request.unit, request.rtu).has_value();
}

TransactionResult Transactions::run(const Request &request, const TransactionPolicy &policy)
{
    const bool rtuMode = request.rtu;
    const bool isRead = request.readCount > 0 || request.passedOn;
    const int attempts = std::max(1, policy.attempts);
    // Going offline and online again while this transaction waits gives a
    // new connection; the transaction then ends instead of going on there.
    const std::uint64_t session = host_.linkSession();
    Failure lastFailure = Failure::NoAnswer;
    std::vector<Failure> lost;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        // A transaction that ran to its end inside this one's waits cleared
        // the busy flag; this attempt sends again and owns the link once more.
        CommBusy = true;
        waits_.WaitGapSince(LastRxTime, gapMs_);
        if (!linkReady(rtuMode, session)) {
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone before sending");
            return linkLost();
        }
        discardStaleInput(rtuMode, true, attempt);
        if (rtuMode) {
            // The answer is looked at once its first bytes could be an exception.
            serial_.expectInput(request.frame.expectedLength(), FrameCodec::kRtuExceptionLength);
            serial_.output(request.frame.txFrame());
        } else {
            tcp_.sendData(request.frame.txFrame());
        }
        report(TrafficEvent::Kind::Sent, rtuMode, attempt, request.frame.txFrame(), "");
        if (!rtuMode)
            waits_.subDelay(tcpPauseMs_ ? *tcpPauseMs_ / 1000.0 : isRead ? 0.2 : 0.5);

        TransactionResult result = pollForAnswer(request, session, attempt);
        switch (result.failure) {
        case Failure::None:
        case Failure::Exception:
            releaseLink();
            result.lostAttempts = std::move(lost);
            return result;
        case Failure::LinkGone:
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone while waiting");
            return linkLost();
        case Failure::Abandoned:
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {},
                   "given up: another transaction took the link", true);
            if (attempt == attempts)
                return {Failure::Abandoned};
            continue;
        default:
            lastFailure = result.failure;
            if (attempt < attempts)
                lost.push_back(result.failure);
            break;
        }

        if (!linkReady(rtuMode, session)) {
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {}, "link gone after a failed attempt");
            return linkLost();
        }
        discardStaleInput(rtuMode, false, attempt);
    }

    const bool offline = policy.takeOfflineOnFailure;
    const std::string note = "no usable answer in " + std::to_string(attempts)
                             + (attempts == 1 ? " attempt" : " attempts") + (offline ? ": link taken offline" : "");
    report(TrafficEvent::Kind::Outcome, rtuMode, attempts, {}, note.c_str(), true);
    if (offline)
        host_.setStatusText("Communication Error! Retry " + std::to_string(attempts) + " times!");
    releaseLink();
    if (offline)
        host_.takeLinkOffline();
    TransactionResult failed(lastFailure);
    failed.lostAttempts = std::move(lost);
    return failed;
}

TransactionResult Transactions::pollForAnswer(const Request &request, std::uint64_t session, int attempt)
{
    const bool rtuMode = request.rtu;
    // One wait for the whole attempt. The link's arrival events end it once
    // the answer is complete, so the answer is taken at once; a silent meter
    // gets kAnswerWaitMs. It also ends when the link goes, or when another
    // transaction ran to its end inside it and so took the link.
    const std::int64_t deadline = waits_.nowMs() + answerWaitMs_;
    const auto settled = [&] {
        return !CommBusy || !linkReady(rtuMode, session) || answerComplete(request);
    };
    for (;;) {
        if (!CommBusy)
            return {Failure::Abandoned};
        if (!linkReady(rtuMode, session))
            return {Failure::LinkGone};
        if (answerComplete(request)) {
            const std::vector<std::uint8_t> answer =
                rtuMode ? serial_.takeInput() : tcp_.getData(TcpBytesPending);
            LastRxTime = waits_.nowMs();
            if (const auto code = request.frame.exceptionCode(answer, request.unit, rtuMode);
                code && answer.size() < std::size_t(request.frame.expectedLength())) {
                report(TrafficEvent::Kind::Received, rtuMode, attempt, answer, "exception answer", true);
                return {Failure::Exception, *code};
            }
            const AnswerCheck outcome =
                rtuMode ? request.frame.checkRtuAnswer(answer, request.unit) : request.frame.checkTcpAnswer(answer);
            if (outcome == AnswerCheck::Valid) {
                report(TrafficEvent::Kind::Received, rtuMode, attempt, answer, "answer taken");
                TransactionResult result;
                if (request.passedOn) {
                    result.data = request.frame.answerPdu(answer, rtuMode);
                } else if (request.readCount > 0) {
                    RxBuffer data;
                    FrameCodec::extractReadData(answer, request.readCount, rtuMode, data);
                    result.data.assign(data.bytes().begin(), data.bytes().end());
                }
                return result;
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
            return {outcome == AnswerCheck::AddressError ? Failure::WrongUnit : Failure::BadAnswer};
        }
        if (waits_.nowMs() >= deadline) {
            // An exception that came with more bytes than it has, or that the
            // link announced late, still ends the transaction.
            const int exception = rtuMode ? FrameCodec::kRtuExceptionLength : FrameCodec::kTcpExceptionLength;
            const std::vector<std::uint8_t> head = rtuMode ? serial_.peekInput(exception) : tcp_.peekData(exception);
            if (const auto code = request.frame.exceptionCode(head, request.unit, rtuMode)) {
                const std::vector<std::uint8_t> answer = rtuMode ? serial_.takeInput() : tcp_.getData(TcpBytesPending);
                report(TrafficEvent::Kind::Received, rtuMode, attempt, answer, "exception answer", true);
                return {Failure::Exception, *code};
            }
            report(TrafficEvent::Kind::Outcome, rtuMode, attempt, {},
                   "no complete answer within the waits", true);
            return {Failure::NoAnswer};
        }
        // Offline ends the wait whatever settled() says; the busy flag still
        // tells an abandoned transaction from a lost link.
        if (!waits_.WaitForAnswer(deadline, settled) && CommBusy)
            return {Failure::LinkGone};
    }
}

} // namespace modbus
