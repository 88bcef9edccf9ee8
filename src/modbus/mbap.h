#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The server's side of Modbus TCP: requests from a master taken out of what
// its connection delivered, their PDU's shape checked, and the answers framed
// with the master's own transaction and unit. Plain C++.
namespace modbus {

// The longest Modbus TCP frame: a 7-byte header and a 253-byte PDU.
inline constexpr std::size_t kMaxTcpFrame = 260;
inline constexpr std::size_t kMbapHeader = 7;

struct MbapRequest {
    std::uint16_t transaction = 0;
    std::uint8_t unit = 0;
    std::vector<std::uint8_t> pdu; // function code and data
};

// What the front of a connection's bytes holds.
struct MbapTake {
    enum class State {
        NeedMore, // not a whole request yet
        Request,  // request holds it; consumed bytes are its frame
        Bad,      // no Modbus TCP: why says what; the connection is to be closed
    };
    State state = State::NeedMore;
    MbapRequest request;
    std::size_t consumed = 0;
    std::string why;
};
MbapTake takeMbapRequest(std::span<const std::uint8_t> bytes);

// The frame of an answer: header with the master's transaction and unit, then pdu.
std::vector<std::uint8_t> mbapFrame(std::uint16_t transaction, std::uint8_t unit, std::span<const std::uint8_t> pdu);
// An exception answer's PDU: the function with its high bit set, and the code.
std::vector<std::uint8_t> exceptionPdu(std::uint8_t function, std::uint8_t code);

// A request PDU of the functions a line passes on (3 and 4 read, 6 and 16
// write), its fields checked as a meter would check them.
struct PduShape {
    std::uint8_t function = 0;
    int start = 0;
    int count = 0;             // registers
    std::size_t answerLength = 0; // the PDU of a regular answer
    bool write() const { return function == 6 || function == 16; }
    // Register r is among those the request touches.
    bool covers(int r) const { return r >= start && r < start + count; }
};
struct PduCheck {
    bool ok = false;
    PduShape shape;              // when ok
    std::uint8_t exceptionCode = 0; // when not: 1 for another function, 3 for fields that do not fit
};
PduCheck checkRequestPdu(std::span<const std::uint8_t> pdu);

} // namespace modbus
