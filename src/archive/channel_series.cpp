#include "archive/channel_series.h"

#include "archive/stamp_text.h"
#include "loadprofile/channel_codes.h"

#include <cmath>

namespace archive {

std::vector<ChannelSeries> channelSeries(std::span<const loadprofile::Record> records,
                                         std::span<const int> codes)
{
    std::vector<ChannelSeries> series(codes.size());
    for (std::size_t c = 0; c < codes.size(); ++c) {
        series[c].code = codes[c];
        series[c].points.reserve(qsizetype(records.size()));
        series[c].statistics = channelStatistics(records, c, loadprofile::isIntervalEnergy(codes[c]));
    }
    for (const loadprofile::Record &record : records) {
        const double x = double(stampDateTime(record).toMSecsSinceEpoch());
        for (std::size_t c = 0; c < codes.size() && c < record.values.size(); ++c) {
            if (std::isfinite(record.values[c]))
                series[c].points.append(QPointF(x, record.values[c]));
        }
    }
    return series;
}

} // namespace archive
