#pragma once

#include <QList>
#include <QRandomGenerator>

namespace metersim {

// The small random deviations a real meter's measured values show from one
// read to the next: frequency, voltages, currents, powers, power factors and
// angles (input registers 0x107E..0x10C3). Each float of a read moves by its
// own draw d from [-fraction, +fraction]: a magnitude becomes value x (1 + d),
// a power factor too (kept within -1..1), an angle value + d radians (0.57
// degrees per percent). The voltage angle of phase a is the reference and
// stays as it is.
class MeasurementNoise {
public:
    MeasurementNoise(double percent, quint64 seed);

    bool enabled() const { return fraction_ > 0.0; }
    static bool isMeasurement(quint32 reg);
    // Replaces the words of measurement floats in values (read from start on)
    // by those of a varied value; both words of a float come from one draw.
    void vary(quint16 start, QList<quint16> &values);

private:
    float varied(quint16 floatReg, float value);

    double fraction_;
    QRandomGenerator random_;
};

} // namespace metersim
