#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace modbus {

// Accumulator of the data bytes of register reads. A single element is the
// empty state: the next read replaces it instead of appending, so a filled
// accumulator always holds an even number of bytes.
class RxBuffer {
public:
    RxBuffer() : bytes_(1, 0) {}

    // Back to the empty state (one zero byte).
    void reset() { bytes_.assign(1, 0); }
    // Appends the data bytes of one read, or replaces the empty state by them.
    void append(std::span<const std::uint8_t> data);

    std::size_t size() const { return bytes_.size(); }
    bool isEmptyState() const { return bytes_.size() <= 1; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::uint8_t operator[](std::size_t i) const { return bytes_.at(i); }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace modbus
