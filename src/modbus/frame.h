#pragma once

#include "crc.h"
#include "rx_buffer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace modbus {

enum class AnswerCheck {
    Valid,
    AddressError, // first byte is not the slave address
    CrcError,     // CRC over the expected length does not match
    TooShort,     // fewer bytes than expected (the transaction never checks those)
    HeaderError,  // TCP: protocol identifier, length or function code do not fit the request
};

// Limits of the requests this codec builds: start register and count are
// 15-bit values; the count must also fit the one-byte byte-count field of a
// write and, over TCP, the one-byte MBAP length.
inline constexpr int kMaxRegisterField = 32767;
inline constexpr int kMaxRtuWriteRegisters = 127;
inline constexpr int kMaxTcpWriteRegisters = 124;

// One request, its expected answer length, and the checks of its answer. The
// CRC register is shared by all requests of a link: one register per link. Requests use transaction identifier 0 over TCP and carry no
// checksum there.
class FrameCodec {
public:
    explicit FrameCodec(Crc16 &crc) : crc_(crc) {}

    // Read with the caller's function code (3 or 4). Returns false, and builds
    // nothing, for a start or count outside the limits above.
    bool buildReadRequest(std::uint8_t address, std::uint8_t function, int start, int count,
                          bool rtu);
    // Function 16, value i to register start + i, each high byte first.
    bool buildWriteRequest(std::uint8_t address, int start, std::span<const std::uint16_t> values,
                           bool rtu);
    // A master's request PDU passed on as it is (the gateway's line): its
    // regular answer has an answerLength-byte PDU. Over TCP the frame carries
    // transaction, which its answer must carry too. Its answers are checked
    // beyond what the program's own requests need: the function, a read's
    // byte count and, over TCP, the transaction and the unit.
    bool buildPduRequest(std::uint8_t address, std::span<const std::uint8_t> pdu, std::size_t answerLength,
                         bool rtu, std::uint16_t transaction = 0);
    // The PDU of an answer that passed its check.
    std::vector<std::uint8_t> answerPdu(std::span<const std::uint8_t> r, bool rtu) const;

    // RTU answer check over the first ExpectedLength bytes of r. Nothing beyond
    // the address and the CRC is compared (but see buildPduRequest); trailing
    // bytes are ignored.
    AnswerCheck checkRtuAnswer(std::span<const std::uint8_t> r, int slaveAddress);
    // TCP answer check over the first ExpectedLength bytes of r: the MBAP
    // header must carry protocol identifier 0 and the length of the expected
    // answer, and the function code must be the request's. Bytes that are
    // no answer to this request (a device that streams data, an exception
    // answer padded out by later bytes) are not taken for one. Trailing bytes
    // are ignored.
    AnswerCheck checkTcpAnswer(std::span<const std::uint8_t> r) const;

    // An exception answer to this request (the request's function with its
    // high bit set, and a code): its code, once the first bytes of r form
    // one, checked as an answer is (RTU: the unit and the CRC; TCP: the
    // header). Nothing for any other bytes.
    static constexpr int kRtuExceptionLength = 5;
    static constexpr int kTcpExceptionLength = 9;
    std::optional<std::uint8_t> exceptionCode(std::span<const std::uint8_t> r, int unit, bool rtu);

    // Appends the 2n data bytes of a read answer r (already checked) to rx.
    // Returns false, appending nothing, when r is shorter than the layout.
    static bool extractReadData(std::span<const std::uint8_t> r, int registerCount, bool rtu,
                                RxBuffer &rx);

    const std::vector<std::uint8_t> &txFrame() const { return TxFrame; }
    int expectedLength() const { return ExpectedLength; }

private:
    void appendField(std::uint16_t value);
    void appendCrc();
    // A passed-on request's further checks of answer r (its frame offset by
    // the header over TCP).
    bool passedOnFits(std::span<const std::uint8_t> r, bool rtu) const;

    std::vector<std::uint8_t> TxFrame;
    std::int16_t ExpectedLength = 0;
    Crc16 &crc_;
    bool passedOn_ = false;
    std::uint16_t transaction_ = 0;
};

} // namespace modbus
