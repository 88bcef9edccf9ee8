#pragma once

#include "energy_growth.h"
#include "load_profile.h"
#include "measurement_noise.h"
#include "meter_clock.h"
#include "meter_config.h"
#include "register_bank.h"

#include <QList>
#include <QString>

#include <vector>

namespace metersim {

// The meter behind the wire: its registers and what reads and writes do to
// them. Most registers are stored; the clock, the CO2 values and the
// load-profile record windows are computed when read, and so are the
// measured values and energy counters while noise is on.
class MeterModel {
public:
    enum class Outcome { Ok, IllegalAddress, IllegalValue };

    explicit MeterModel(const MeterConfig &config);

    quint8 unitAddress() const;
    quint16 baudCode() const;

    // Not const: with noise on, every read draws new values.
    Outcome read(RegisterKind kind, quint16 start, quint16 count, QList<quint16> &values);
    // Function 16: all values are checked first; a rejected write changes nothing.
    Outcome write(quint16 start, const QList<quint16> &values);

    // Plants a value from the command line or the console. Stored registers
    // take it as it is, without the effects of a write; a clock register sets
    // that field of the clock; a computed input register keeps the planted
    // value from then on.
    bool plant(RegisterKind kind, quint16 reg, quint16 value, QString *error);
    bool plantFloat(RegisterKind kind, quint16 reg, float value, QString *error);

    // The profile of group g (0 or 1) grows by n records, as the meter adds
    // one at the end of each interval; at most 65535 are held. Returns the new count.
    int addRecords(int g, int n);
    // The records group g adds from now on are stamped `seconds` later
    // (earlier when negative): its clock moved, or it was off for a while.
    void shiftNextRecords(int g, int seconds);
    // The interval of group g in seconds.
    int intervalSeconds(int g) const;

private:
    static bool isClockRegister(quint16 reg);
    bool isComputedInput(quint16 reg) const;
    quint16 valueOf(RegisterKind kind, quint16 reg, const LoadProfileGroup *groups) const;
    quint16 co2Register(quint16 reg) const;
    float energyFloat(quint16 floatReg) const;
    LoadProfileGroup group(int g) const;
    void clearEnergy();
    void clearRecords(int g);

    RegisterBank bank_;
    MeterClock clock_;
    QDateTime lpStart_;
    std::array<QList<StampShift>, 2> shifts_;
    std::vector<bool> pinnedInput_;
    MeasurementNoise noise_;
    EnergyGrowth growth_;
};

} // namespace metersim
