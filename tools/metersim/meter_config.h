#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <array>

namespace metersim {

// From record fromRecord on, every time stamp is moved by minutes and
// seconds (negative: the clock was set back; a power-off gap moves them by
// whole intervals). Shifts of one group add up.
struct StampShift {
    int fromRecord = 1;
    int minutes = 0;
    int seconds = 0;
    bool operator==(const StampShift &) const = default;
};

struct LoadProfileGroupConfig {
    int validCount = 0;
    quint16 interval = 15;       // minutes, or 230 for 30 seconds
    QList<quint16> channelCodes; // its size is the channel count
    QList<StampShift> shifts;
};

// What the meter is made of before the first request: identity, measured
// values and the state of its load profile.
struct MeterConfig {
    quint8 unit = 15;
    quint16 baudCode = 2; // 1 = 9600, 2 = 19200
    QByteArray firmware = "V3705A00";
    QByteArray serial = "AWMETER012345678";
    double phaseVoltage = 230.0;
    double current = 5.0;
    double frequency = 50.0;
    double pfAngleDegrees = 30.0;
    float co2Factor = 0.5F;
    std::array<LoadProfileGroupConfig, 2> groups{{
        {100, 15, {1, 2, 3, 4, 5, 7, 9, 11}, {}},
        {50, 15, {6, 12, 13, 14}, {}},
    }};
    QDateTime lpStart{QDate(2024, 3, 1), QTime(0, 0), Qt::UTC};
    // Measured values vary by up to this many percent at every read (0: they
    // stay as configured), drawn from a generator started with noiseSeed.
    double noisePercent = 0.0;
    quint64 noiseSeed = 0;
};

} // namespace metersim
