#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <optional>

namespace metersim {

struct RtuFrame {
    quint8 address = 0;
    QByteArray pdu;          // between the address and the CRC
    qint64 firstByteNs = 0;  // when the frame's first byte arrived
    int length = 0;          // bytes on the wire, CRC included
};

// Cuts the byte stream of a serial line into RTU request frames. Frames may
// arrive in pieces or back to back; bytes that do not start a frame with a
// good CRC (noise, a frame with a bad CRC) are dropped one at a time until the
// stream is in step again. A frame for another unit is still a frame: the
// caller decides whom it concerns. Never holds more than one frame's worth of
// bytes once takeFrame() has returned std::nullopt.
class RtuFramer {
public:
    static constexpr int kMaxFrame = 256;

    void append(QByteArrayView bytes, qint64 arrivalNs);
    // The next complete frame, or std::nullopt when more bytes are needed.
    std::optional<RtuFrame> takeFrame();
    qsizetype pendingBytes() const { return buffer_.size(); }

private:
    enum class Probe { Complete, Incomplete, Invalid };
    struct ProbeResult {
        Probe kind;
        qsizetype length = 0;
    };
    // Whether a frame starts at pos. With knownOnly, only functions whose
    // request length follows from their header count.
    ProbeResult probe(qsizetype pos, bool knownOnly) const;
    ProbeResult probeByCrc(qsizetype pos) const;
    RtuFrame extract(qsizetype length);
    void discard(qsizetype count);

    QByteArray buffer_;
    std::deque<qint64> arrivalNs_; // one entry per byte of buffer_
};

} // namespace metersim
