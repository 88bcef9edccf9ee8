#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// What passes on the link, frame by frame, for a traffic view: the requests
// the transactions send, what comes back, and what each attempt came to.
namespace modbus {

struct TrafficEvent {
    enum class Kind {
        Sent,      // a request frame, attempt 1..3
        Received,  // an answer taken off the link and checked
        Discarded, // input dropped unchecked: late, partial or unasked
        Outcome,   // what the attempt or the transaction came to (note)
    };
    Kind kind = Kind::Sent;
    bool rtu = true;
    int attempt = 0;
    bool error = false;                // the note reports a failure
    std::vector<std::uint8_t> bytes;   // empty for an outcome
    std::string note;                  // "answer taken", "CRC error", ...
};

// Receives the traffic of a link while it is watched; the transactions call
// it only while one is set, so an unwatched link costs nothing.
class TrafficObserver {
public:
    virtual ~TrafficObserver() = default;
    virtual void traffic(const TrafficEvent &event) = 0;
};

// The fields of a Modbus frame as far as its bytes hold them (RTU: unit,
// function, ...; TCP: the MBAP header first). A request of function 3, 4 or
// 16 has start and count; an answer to a read has its byte count; an
// exception answer (function with 0x80) has its code.
struct FrameFields {
    int unit = -1;
    int function = -1;
    int start = -1;
    int count = -1;
    int byteCount = -1;
    int exception = -1;
};
FrameFields frameFields(std::span<const std::uint8_t> frame, bool rtu, bool request);

// One line of the traffic view, without the time: direction, attempt, the
// frame's fields and length, the note, then the bytes in hex.
//   TX  #1  unit 15  fc 04  start 0x1100 count 10  len 8  | 0F 04 11 00 00 0A 72 FB
//   RX  #1  unit 16  fc 04  bytes 2  len 7  address error: another unit answered  | 10 04 02 ...
std::string trafficLine(const TrafficEvent &event);

} // namespace modbus
