#include "frame.h"

namespace modbus {

namespace {

bool fieldInRange(int value) { return value >= 0 && value <= kMaxRegisterField; }

constexpr int kTcpHeaderLength = 6;

} // namespace

void FrameCodec::appendField(std::uint16_t value)
{
    TxFrame.push_back(static_cast<std::uint8_t>(value >> 8));
    TxFrame.push_back(static_cast<std::uint8_t>(value & 0xFFu));
}

void FrameCodec::appendCrc()
{
    if (!crc_.tablesReady())
        crc_.CrcTableSetup();
    crc_.compute(TxFrame);
    TxFrame.push_back(crc_.CrcLo);
    TxFrame.push_back(crc_.CrcHi);
}

bool FrameCodec::buildReadRequest(std::uint8_t address, std::uint8_t function, int start,
                                  int count, bool rtu)
{
    if (!fieldInRange(start) || !fieldInRange(count))
        return false;
    TxFrame.clear();
    if (!rtu)
        TxFrame.insert(TxFrame.end(), {0, 0, 0, 0, 0, 6});
    TxFrame.push_back(address);
    TxFrame.push_back(function);
    appendField(static_cast<std::uint16_t>(start));
    appendField(static_cast<std::uint16_t>(count));
    if (rtu) {
        appendCrc();
        ExpectedLength = static_cast<std::int16_t>(5 + 2 * count);
    } else {
        ExpectedLength = static_cast<std::int16_t>(9 + 2 * count);
    }
    return true;
}

bool FrameCodec::buildWriteRequest(std::uint8_t address, int start,
                                   std::span<const std::uint16_t> values, bool rtu)
{
    const int count = static_cast<int>(values.size());
    const int limit = rtu ? kMaxRtuWriteRegisters : kMaxTcpWriteRegisters;
    if (!fieldInRange(start) || count < 1 || count > limit)
        return false;
    TxFrame.clear();
    if (!rtu)
        TxFrame.insert(TxFrame.end(), {0, 0, 0, 0, 0, static_cast<std::uint8_t>(7 + 2 * count)});
    TxFrame.push_back(address);
    TxFrame.push_back(16);
    appendField(static_cast<std::uint16_t>(start));
    appendField(static_cast<std::uint16_t>(count));
    TxFrame.push_back(static_cast<std::uint8_t>(2 * count));
    for (std::uint16_t value : values)
        appendField(value);
    if (rtu) {
        appendCrc();
        ExpectedLength = 8;
    } else {
        ExpectedLength = 12;
    }
    return true;
}

bool FrameCodec::buildPduRequest(std::uint8_t address, std::span<const std::uint8_t> pdu, std::size_t answerLength,
                                 bool rtu, std::uint16_t transaction)
{
    if (pdu.empty() || pdu.size() > 253 || answerLength < 2 || answerLength > 253)
        return false;
    TxFrame.clear();
    if (!rtu) {
        const std::size_t length = pdu.size() + 1;
        TxFrame.insert(TxFrame.end(), {static_cast<std::uint8_t>(transaction >> 8),
                                       static_cast<std::uint8_t>(transaction & 0xFF), 0, 0,
                                       static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)});
    }
    TxFrame.push_back(address);
    TxFrame.insert(TxFrame.end(), pdu.begin(), pdu.end());
    if (rtu)
        appendCrc();
    ExpectedLength = static_cast<std::int16_t>(rtu ? 1 + answerLength + 2 : kTcpHeaderLength + 1 + answerLength);
    passedOn_ = true;
    transaction_ = transaction;
    return true;
}

std::vector<std::uint8_t> FrameCodec::answerPdu(std::span<const std::uint8_t> r, bool rtu) const
{
    const std::size_t first = rtu ? 1 : kTcpHeaderLength + 1;
    const std::size_t end = static_cast<std::size_t>(ExpectedLength) - (rtu ? 2 : 0);
    if (r.size() < end || end <= first)
        return {};
    return {r.begin() + static_cast<std::ptrdiff_t>(first), r.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool FrameCodec::passedOnFits(std::span<const std::uint8_t> r, bool rtu) const
{
    if (!passedOn_)
        return true;
    const std::size_t at = rtu ? 0 : kTcpHeaderLength;
    const std::size_t expected = static_cast<std::size_t>(ExpectedLength);
    if (r.size() < expected || TxFrame.size() <= at + 1 || r[at] != TxFrame[at] || r[at + 1] != TxFrame[at + 1])
        return false;
    if (!rtu && (r[0] != TxFrame[0] || r[1] != TxFrame[1]))
        return false;
    // A read's byte count is the data that follows it.
    const std::uint8_t function = TxFrame[at + 1];
    const std::size_t data = expected - at - 3 - (rtu ? 2 : 0);
    return (function != 3 && function != 4) || r[at + 2] == data;
}

AnswerCheck FrameCodec::checkRtuAnswer(std::span<const std::uint8_t> r, int slaveAddress)
{
    const std::size_t expected = static_cast<std::size_t>(ExpectedLength);
    if (ExpectedLength < 3 || r.size() < expected)
        return AnswerCheck::TooShort;
    if (r[0] != slaveAddress)
        return AnswerCheck::AddressError;
    if (!crc_.tablesReady())
        crc_.CrcTableSetup();
    crc_.compute(r.first(expected - 2));
    if (r[expected - 1] != crc_.CrcHi || r[expected - 2] != crc_.CrcLo)
        return AnswerCheck::CrcError;
    return passedOnFits(r, true) ? AnswerCheck::Valid : AnswerCheck::HeaderError;
}

AnswerCheck FrameCodec::checkTcpAnswer(std::span<const std::uint8_t> r) const
{
    constexpr std::size_t kFunction = kTcpHeaderLength + 1;
    const std::size_t expected = static_cast<std::size_t>(ExpectedLength);
    if (ExpectedLength <= static_cast<int>(kFunction) || r.size() < expected)
        return AnswerCheck::TooShort;
    const std::size_t length = static_cast<std::size_t>(r[4] << 8 | r[5]);
    const bool fits = r[2] == 0 && r[3] == 0 && length == expected - kTcpHeaderLength
                      && TxFrame.size() > kFunction && r[kFunction] == TxFrame[kFunction] && passedOnFits(r, false);
    return fits ? AnswerCheck::Valid : AnswerCheck::HeaderError;
}

std::optional<std::uint8_t> FrameCodec::exceptionCode(std::span<const std::uint8_t> r, int unit, bool rtu)
{
    const std::size_t functionAt = rtu ? 0 : kTcpHeaderLength;
    if (TxFrame.size() <= functionAt + 1)
        return std::nullopt;
    const std::uint8_t function = TxFrame[functionAt + 1] | 0x80;
    if (rtu) {
        if (r.size() < std::size_t(kRtuExceptionLength) || r[0] != unit || r[1] != function)
            return std::nullopt;
        if (!crc_.tablesReady())
            crc_.CrcTableSetup();
        crc_.compute(r.first(3));
        if (r[3] != crc_.CrcLo || r[4] != crc_.CrcHi)
            return std::nullopt;
        return r[2];
    }
    if (r.size() < std::size_t(kTcpExceptionLength) || r[2] != 0 || r[3] != 0 || r[4] != 0 || r[5] != 3
        || r[7] != function)
        return std::nullopt;
    if (passedOn_ && (r[0] != TxFrame[0] || r[1] != TxFrame[1] || r[6] != TxFrame[6]))
        return std::nullopt;
    return r[8];
}

bool FrameCodec::extractReadData(std::span<const std::uint8_t> r, int registerCount, bool rtu,
                                 RxBuffer &rx)
{
    if (registerCount < 1)
        return false;
    const std::size_t first = rtu ? 3 : kTcpHeaderLength + 3;
    const std::size_t length = 2 * static_cast<std::size_t>(registerCount);
    if (r.size() < first + length)
        return false;
    rx.append(r.subspan(first, length));
    return true;
}

} // namespace modbus
