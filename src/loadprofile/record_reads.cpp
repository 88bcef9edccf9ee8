#include "loadprofile/record_reads.h"

#include "meter/register_map.h"

#include "loadprofile/block_read.h"
#include "lpdata/date_serial.h"
#include "session/meter_access.h"

#include <algorithm>

namespace loadprofile {

namespace {

// A record's time stamp: the first three registers of the record window.
constexpr int kTimeStampRegisters = 3;

// Points the meter's record window at a record; false when that failed.
bool pointAt(session::MeterAccess &meter, long long recordNumber)
{
    const auto pointer = recordPointerBytes(recordNumber);
    return meter.writeBytes(meter::registers::kRecordPointer, pointer).ok() && meter.online();
}

} // namespace

std::optional<double> readRecordTime(session::MeterAccess &meter, meter::LpGroup group, long long recordNumber)
{
    const session::MeterAccess::RecordPointerHold hold(meter);
    if (!hold.granted() || !pointAt(meter, recordNumber))
        return std::nullopt;
    const modbus::TransactionResult read = meter.read(meter::registers::kInput, meter::registers::recordWindow(group), kTimeStampRegisters);
    const std::vector<std::uint8_t> &bytes = read.data;
    if (!read.ok() || !meter.online() || bytes.size() != 2 * kTimeStampRegisters)
        return std::nullopt;
    return lpdata::dateSerial(bytes[0] + 2000, bytes[1], bytes[2], bytes[3], bytes[4], 0);
}

std::optional<std::vector<lpdata::Record>> readRecordBlock(session::MeterAccess &meter, meter::LpGroup group, int channels,
                                                   long long next, long long last)
{
    const int records = recordsInBlock(next, last);
    const session::MeterAccess::RecordPointerHold hold(meter);
    if (records == 0 || !hold.granted() || !pointAt(meter, next + 1))
        return std::nullopt;
    const modbus::TransactionResult read =
        meter.read(meter::registers::kInput, meter::registers::recordWindow(group), blockRegisters(channels, records));
    if (!read.ok() || !meter.online() || read.data.empty())
        return std::nullopt;
    return lpdata::decodeRecords(read.data, channels, records);
}

CheckedBlock readCheckedBlock(session::MeterAccess &meter, meter::LpGroup group, int channels, long long next,
                              long long last)
{
    const auto firstBad = [](const std::vector<lpdata::Record> &records) {
        return std::find_if(records.begin(), records.end(),
                            [](const lpdata::Record &r) { return !lpdata::hasValidStamp(r); });
    };
    for (int read = 0; read < 2; ++read) {
        auto records = readRecordBlock(meter, group, channels, next, last);
        if (!records)
            return {};
        const auto bad = firstBad(*records);
        if (bad == records->end())
            return {std::move(records), std::nullopt};
        if (read == 1)
            return {std::nullopt, next + 1 + (bad - records->begin())};
    }
    return {};
}

BlockRows blockRows(const std::vector<lpdata::Record> &records,
                    const std::optional<std::pair<double, double>> &range)
{
    BlockRows block;
    for (const lpdata::Record &record : records) {
        if (range) {
            const double time = lpdata::recordDateSerial(record);
            block.pastEnd = block.pastEnd || time > range->second;
            if (time < range->first || time > range->second)
                continue;
        }
        block.rows << lpdata::csvRow(record);
    }
    return block;
}

} // namespace loadprofile
