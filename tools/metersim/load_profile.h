#pragma once

#include "meter_config.h"

#include <QDateTime>
#include <QList>

namespace metersim {

// One load-profile group as the record window sees it.
struct LoadProfileGroup {
    int channelCount = 0;        // already limited to what the group can hold
    quint16 interval = 15;       // minutes, or 230 for 30 seconds
    QList<quint16> channelCodes; // channelCount codes
    int validCount = 0;          // records 1 .. validCount exist
    int firstRecord = 1;         // the record pointer: number of the first record shown
    QList<StampShift> shifts;    // clock changes between records
};

namespace loadprofile {

inline constexpr int kMaxChannels[2] = {12, 8};
inline constexpr quint16 kThirtySecondsCode = 230;

int intervalSeconds(quint16 interval);
// Registers of one record: 3 for the time stamp, 2 per channel.
int recordRegisters(int channelCount);
// The value channel code `code` holds in record `number`.
float channelValue(quint16 code, int number);
// The time stamp of record `number`: start + (number - 1) intervals, moved by
// every shift that begins at or before it.
QDateTime recordStamp(const LoadProfileGroup &group, const QDateTime &start, qint64 number);
// Register `offset` (0-based) of the record window: consecutive records from
// the record pointer on; records that do not exist read as zero.
quint16 windowRegister(const LoadProfileGroup &group, const QDateTime &start, int offset);

} // namespace loadprofile
} // namespace metersim
