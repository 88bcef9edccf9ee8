#pragma once

#include "lpdata/records.h"

#include <QDateTime>

#include <cstddef>
#include <optional>
#include <span>

// What a period of a load-profile channel amounts to, as the viewer shows it
// beside the chart.
namespace archive {

struct ChannelStatistics {
    long long values = 0; // finite values in the period; the others count nowhere
    double minimum = 0;   // meaningful only when values > 0
    QDateTime minimumAt;  // the first record holding the minimum (Qt::UTC, as the archive hands out)
    double maximum = 0;
    QDateTime maximumAt;
    double average = 0;
    // Average over maximum, for a maximum above 0.
    std::optional<double> loadFactor;
    // The energy of the period, for an interval-energy channel with values.
    std::optional<double> sum;
};

// The statistics of column `column` of the records (oldest first, as the
// archive hands them out). Values that are not finite numbers (NaN where a
// record lacks the channel) are skipped, as are records too short to hold
// the column. summed: the channel records interval energy, so its values
// add up.
ChannelStatistics channelStatistics(std::span<const lpdata::Record> records, std::size_t column,
                                    bool summed);

} // namespace archive
