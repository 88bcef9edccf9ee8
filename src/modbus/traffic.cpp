#include "modbus/traffic.h"

#include <cstdio>

namespace modbus {

namespace {

constexpr std::size_t kMbapBytes = 7;

int u16At(std::span<const std::uint8_t> b, std::size_t i)
{
    return i + 1 < b.size() ? b[i] << 8 | b[i + 1] : -1;
}

std::string hex(std::span<const std::uint8_t> bytes)
{
    std::string out;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        if (!out.empty())
            out += ' ';
        out += two;
    }
    return out;
}

} // namespace

FrameFields frameFields(std::span<const std::uint8_t> frame, bool rtu, bool request)
{
    FrameFields f;
    std::span<const std::uint8_t> pdu = frame;
    if (rtu) {
        if (frame.empty())
            return f;
        f.unit = frame[0];
        pdu = frame.subspan(1);
    } else {
        if (frame.size() < kMbapBytes)
            return f;
        f.unit = frame[6];
        pdu = frame.subspan(kMbapBytes);
    }
    if (pdu.empty())
        return f;
    f.function = pdu[0];
    if (f.function & 0x80) {
        if (pdu.size() > 1)
            f.exception = pdu[1];
    } else if (request || f.function == 16) {
        f.start = u16At(pdu, 1);
        f.count = u16At(pdu, 3);
    } else if (pdu.size() > 1) {
        f.byteCount = pdu[1];
    }
    return f;
}

std::string trafficLine(const TrafficEvent &e)
{
    static const char *const kDirections[] = {"TX", "RX", "RX dropped", "--"};
    std::string line = kDirections[static_cast<int>(e.kind)];
    char text[96];
    if (e.attempt > 0) {
        std::snprintf(text, sizeof text, "  #%d", e.attempt);
        line += text;
    }
    if (e.kind != TrafficEvent::Kind::Outcome) {
        const FrameFields f = frameFields(e.bytes, e.rtu, e.kind == TrafficEvent::Kind::Sent);
        std::string fields;
        if (f.unit >= 0) {
            std::snprintf(text, sizeof text, "  unit %d", f.unit);
            fields += text;
        }
        if (f.function >= 0) {
            std::snprintf(text, sizeof text, "  fc %02X", f.function);
            fields += text;
        }
        if (f.exception >= 0)
            std::snprintf(text, sizeof text, "  exception %02X", f.exception);
        else if (f.start >= 0 && f.count >= 0)
            std::snprintf(text, sizeof text, "  start 0x%04X count %d", f.start, f.count);
        else if (f.byteCount >= 0)
            std::snprintf(text, sizeof text, "  bytes %d", f.byteCount);
        else
            text[0] = '\0';
        fields += text;
        line += fields;
        std::snprintf(text, sizeof text, "  len %zu", e.bytes.size());
        line += text;
    }
    // The note before the bytes, which may run long.
    if (!e.note.empty())
        line += "  " + e.note;
    if (!e.bytes.empty())
        line += "  | " + hex(e.bytes);
    return line;
}

} // namespace modbus
