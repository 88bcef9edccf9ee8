#pragma once

#include "lpdata/records.h"

#include <QString>

#include <optional>
#include <span>

// What the archive knows about each interval a record closes: whether its
// stamp repeats an earlier one of the meter (a clock set back, an hour of
// autumn told twice), comes before the record ahead of it, lies off the
// group's interval grid, and how many intervals are missing before it (the
// meter was off, or its clock moved forward).
namespace archive {

enum IntervalFlag : unsigned {
    kRepeatedStamp = 1, // an earlier record of the meter's group has the same stamp
    kOutOfOrder = 2,    // stamped before the record ahead of it in the meter's order
    kOffGrid = 4,       // not on a whole interval from midnight
    kGapBefore = 8,     // intervals missing between the record ahead of it and this one
};

struct RecordQuality {
    // 0 for the first record of its stamp, 1 for the next, ... in the meter's order.
    int occurrence = 0;
    unsigned flags = 0;
    long long gapBefore = 0; // missing intervals, with kGapBefore
    int intervalSeconds = 0; // the group's interval; 0 when not known

    bool operator==(const RecordQuality &) const = default;
};

// Seconds of a record's stamp since the year 2000 began, to compare and
// subtract stamps; the stamp must be valid.
long long stampSeconds(const lpdata::Record &record);
// The same stamp in milliseconds since 1970, as a date time held as UTC
// counts them (the time axis of a chart).
double stampMsecs(const lpdata::Record &record);

// The flags of a record stamped at `stamp` (stampSeconds) that comes after a
// record stamped at `previous` in the meter's order (none: the first one
// known), the group recording every intervalSeconds (0: not known, no grid
// and no gaps).
RecordQuality intervalQuality(std::optional<long long> previous, long long stamp, int intervalSeconds,
                              int occurrence);

// The interval a group's stamps show (stampSeconds, in the meter's order):
// the step between neighbours seen most often, when it is one a group
// records at; else 0.
int intervalOfStamps(std::span<const long long> seconds);

// The flags as the CSV files of the archive write them: words separated by
// a blank, "repeated out-of-order off-grid gap=6"; empty for none.
QString qualityText(const RecordQuality &quality);
// And back: nothing for a text of other words, a gap that is no whole
// number from 1, or a word given twice.
std::optional<RecordQuality> parseQualityText(QStringView text);

// A value as the archive keeps it: ten thousand times the four-decimal
// number the CSV file writes (so that a record read from the meter and the
// same record read from its file are equal), nothing for a value that is
// not finite. And back.
std::optional<double> fixedValue(double value);
double valueOfFixed(double fixed);

// The interval of a group from the text its status shows: "15" minutes or
// "30 sec"; 0 for a text that names no interval.
int intervalSecondsOf(const QString &intervalText);

} // namespace archive
