#include "rx_data.h"

namespace modbus {

void RxData::append(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return;
    if (isEmptyState())
        bytes_.assign(data.begin(), data.end());
    else
        bytes_.insert(bytes_.end(), data.begin(), data.end());
}

} // namespace modbus
