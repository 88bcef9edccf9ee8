#include "measurement_noise.h"

#include "register_addresses.h"
#include "wire_codec.h"

#include <cmath>
#include <numbers>

namespace metersim {

namespace {

constexpr quint16 kFirst = reg::kFrequency;
constexpr quint16 kLast = reg::kCurrentAngle + 5;

bool within(quint32 r, quint32 first, int registers)
{
    return r >= first && r < quint32(first) + quint32(registers);
}

} // namespace

MeasurementNoise::MeasurementNoise(double percent, quint64 seed)
    : fraction_(qBound(0.0, percent, 100.0) / 100.0), random_(seed)
{
}

bool MeasurementNoise::isMeasurement(quint32 r)
{
    return r >= kFirst && r <= kLast;
}

float MeasurementNoise::varied(quint16 floatReg, float value)
{
    const double d = (2.0 * random_.generateDouble() - 1.0) * fraction_;
    if (floatReg == reg::kVoltageAngle)
        return value;
    if (within(floatReg, reg::kVoltageAngle, 6) || within(floatReg, reg::kCurrentAngle, 6)) {
        double degrees = std::fmod(value + d * 180.0 / std::numbers::pi, 360.0);
        if (degrees < 0)
            degrees += 360.0;
        return static_cast<float>(degrees);
    }
    const double v = value * (1.0 + d);
    if (within(floatReg, reg::kPowerFactor, 8))
        return static_cast<float>(qBound(-1.0, v, 1.0));
    return static_cast<float>(v);
}

void MeasurementNoise::vary(quint16 start, QList<quint16> &values)
{
    if (!enabled())
        return;
    // Floats start at even offsets from the frequency register; a float of
    // which the block holds only one word is left as it is.
    const quint32 end = start + quint32(values.size());
    quint32 r = qMax<quint32>(start, kFirst);
    r += (r - kFirst) % 2;
    for (; r + 1 < end && r + 1 <= kLast; r += 2) {
        const auto at = qsizetype(r - start);
        const float value = registersToFloat(values[at], values[at + 1]);
        const auto words = floatToRegisters(varied(static_cast<quint16>(r), value));
        values[at] = words[0];
        values[at + 1] = words[1];
    }
}

} // namespace metersim
