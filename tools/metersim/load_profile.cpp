#include "load_profile.h"

#include "wire_codec.h"

namespace metersim::loadprofile {

int intervalSeconds(quint16 interval)
{
    return interval == kThirtySecondsCode ? 30 : int(interval) * 60;
}

int recordRegisters(int channelCount)
{
    return 3 + 2 * channelCount;
}

float channelValue(quint16 code, int number)
{
    return static_cast<float>(code) + 0.25F * static_cast<float>(number);
}

QDateTime recordStamp(const LoadProfileGroup &group, const QDateTime &start, qint64 number)
{
    qint64 seconds = (number - 1) * intervalSeconds(group.interval);
    for (const StampShift &shift : group.shifts) {
        if (number >= shift.fromRecord)
            seconds += qint64(shift.minutes) * 60 + shift.seconds;
    }
    return start.addSecs(seconds);
}

quint16 windowRegister(const LoadProfileGroup &group, const QDateTime &start, int offset)
{
    const int size = recordRegisters(group.channelCount);
    const qint64 number = qint64(group.firstRecord) + offset / size;
    const int within = offset % size;
    if (number < 1 || number > group.validCount)
        return 0;

    if (within < 3) {
        const QDateTime t = recordStamp(group, start, number);
        const auto pair = [](int high, int low) {
            return static_cast<quint16>(((high & 0xFF) << 8) | (low & 0xFF));
        };
        switch (within) {
        case 0: return pair(qBound(0, t.date().year() - 2000, 255), t.date().month());
        case 1: return pair(t.date().day(), t.time().hour());
        default: return pair(t.time().minute(), t.time().second());
        }
    }
    const int channel = (within - 3) / 2;
    const auto words = floatToRegisters(channelValue(group.channelCodes.value(channel),
                                                     static_cast<int>(number)));
    return words[(within - 3) % 2];
}

} // namespace metersim::loadprofile
