#include "rx_buffer.h"

namespace modbus {

void RxBuffer::append(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return;
    if (isEmptyState())
        bytes_.assign(data.begin(), data.end());
    else
        bytes_.insert(bytes_.end(), data.begin(), data.end());
}

} // namespace modbus
