#include "archive/channel_statistics.h"

#include "archive/stamp_text.h"

#include <cmath>

namespace archive {

ChannelStatistics channelStatistics(std::span<const lpdata::Record> records, std::size_t column,
                                    bool summed)
{
    ChannelStatistics s;
    const lpdata::Record *lowest = nullptr;
    const lpdata::Record *highest = nullptr;
    double total = 0;
    for (const lpdata::Record &record : records) {
        if (column >= record.values.size() || !std::isfinite(record.values[column]))
            continue;
        const double value = record.values[column];
        // Strict comparisons: of equal values the earliest record counts.
        if (!lowest || value < s.minimum) {
            s.minimum = value;
            lowest = &record;
        }
        if (!highest || value > s.maximum) {
            s.maximum = value;
            highest = &record;
        }
        total += value;
        ++s.values;
    }
    if (s.values == 0)
        return s;
    s.minimumAt = stampDateTime(*lowest);
    s.maximumAt = stampDateTime(*highest);
    s.average = total / double(s.values);
    if (s.maximum > 0)
        s.loadFactor = s.average / s.maximum;
    if (summed)
        s.sum = total;
    return s;
}

} // namespace archive
