#pragma once

#include "meter/quantities.h"

#include <QDateTime>
#include <QString>

#include <span>

namespace meter {
struct Reading;
}

// The lines of a trend recording, the same from the trend window and from
// the command-line tool, so that either file opens alike. Lines carry no end.
namespace trend {

// A quantity as "id (unit)", or its id alone when it has no unit.
QString columnName(meter::Q quantity);

// "time", then each quantity's column name: "time,voltage_ln_a (V),pf_a".
QString csvHeader(std::span<const meter::Q> quantities);

// The time as ISO 8601 local time with milliseconds, then each quantity's
// value as the shortest text of its float32 with "." decimals, whatever the
// locale; an empty field for a value the meter did not give (or gave as NaN
// or infinity): "2024-03-05T09:05:03.250,230,".
QString csvRow(const QDateTime &time, std::span<const meter::Q> quantities,
               const meter::Reading &reading);

} // namespace trend
