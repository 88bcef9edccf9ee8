#include "rtu_framer.h"

#include "wire_codec.h"

namespace metersim {

namespace {
constexpr int kMinFrame = 4; // address, function, CRC
}

void RtuFramer::append(QByteArrayView bytes, qint64 arrivalNs)
{
    buffer_.append(bytes.data(), bytes.size());
    arrivalNs_.insert(arrivalNs_.end(), static_cast<std::size_t>(bytes.size()), arrivalNs);
}

RtuFramer::ProbeResult RtuFramer::probe(qsizetype pos, bool knownOnly) const
{
    const qsizetype available = buffer_.size() - pos;
    if (available < 2)
        return {Probe::Incomplete};
    qsizetype length = 0;
    switch (static_cast<quint8>(buffer_[pos + 1])) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        length = 8; // address, function, two 16-bit fields, CRC
        break;
    case 15: case 16:
        if (available < 7)
            return {Probe::Incomplete};
        length = 9 + static_cast<quint8>(buffer_[pos + 6]);
        break;
    default:
        if (knownOnly)
            return {Probe::Invalid};
        return probeByCrc(pos);
    }
    if (length > kMaxFrame)
        return {Probe::Invalid};
    if (available < length)
        return {Probe::Incomplete};
    return crcMatches(QByteArrayView(buffer_).sliced(pos, length))
        ? ProbeResult{Probe::Complete, length}
        : ProbeResult{Probe::Invalid};
}

// A function whose request length is unknown here: the shortest stretch that
// ends in its own CRC is taken as the frame.
RtuFramer::ProbeResult RtuFramer::probeByCrc(qsizetype pos) const
{
    const qsizetype available = buffer_.size() - pos;
    quint16 crc = crc16Update(crc16Update(0xFFFF, static_cast<quint8>(buffer_[pos])),
                              static_cast<quint8>(buffer_[pos + 1]));
    for (qsizetype length = kMinFrame; length <= qMin<qsizetype>(available, kMaxFrame); ++length) {
        const qsizetype crcAt = pos + length - 2;
        if (static_cast<quint8>(buffer_[crcAt]) == (crc & 0xFF)
            && static_cast<quint8>(buffer_[crcAt + 1]) == (crc >> 8))
            return {Probe::Complete, length};
        crc = crc16Update(crc, static_cast<quint8>(buffer_[crcAt]));
    }
    return available >= kMaxFrame ? ProbeResult{Probe::Invalid} : ProbeResult{Probe::Incomplete};
}

std::optional<RtuFrame> RtuFramer::takeFrame()
{
    while (buffer_.size() >= kMinFrame) {
        const ProbeResult head = probe(0, false);
        if (head.kind == Probe::Complete)
            return extract(head.length);
        if (head.kind == Probe::Invalid) {
            discard(1);
            continue;
        }
        // The head may be the start of a frame still arriving, or noise that
        // only looks like one: a complete frame further on settles it.
        for (qsizetype pos = 1; pos + kMinFrame <= buffer_.size(); ++pos) {
            const ProbeResult later = probe(pos, true);
            if (later.kind == Probe::Complete) {
                discard(pos);
                return extract(later.length);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

RtuFrame RtuFramer::extract(qsizetype length)
{
    RtuFrame frame;
    frame.address = static_cast<quint8>(buffer_[0]);
    frame.pdu = buffer_.mid(1, length - 3);
    frame.firstByteNs = arrivalNs_.front();
    frame.length = static_cast<int>(length);
    discard(length);
    return frame;
}

void RtuFramer::discard(qsizetype count)
{
    buffer_.remove(0, count);
    arrivalNs_.erase(arrivalNs_.begin(), arrivalNs_.begin() + count);
}

} // namespace metersim
