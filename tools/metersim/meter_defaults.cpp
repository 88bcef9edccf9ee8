#include "meter_defaults.h"

#include "load_profile.h"
#include "register_addresses.h"

#include <cmath>
#include <numbers>

namespace metersim {

namespace {

constexpr auto H = RegisterKind::Holding;
constexpr auto I = RegisterKind::Input;

// Energy counters per phase a, b, c, in the order of the per-phase block:
// kWh delivered, kWh received, kvarh lagging, kvarh leading, kVAh.
constexpr double kPhaseEnergy[5][3] = {
    {4101.25, 4112.5, 4131.75},
    {4.25, 4.5, 3.75},
    {2370.5, 2376.25, 2381.0},
    {12.5, 11.75, 13.0},
    {4735.5, 4748.25, 4770.0},
};

constexpr quint16 kDefaultDisplayItems[] = {101, 102, 103, 109, 110, 111, 116, 120, 124, 128, 135, 3, 4};

double normalisedDegrees(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d < 0)
        d += 360.0;
    return d;
}

void setFloats(RegisterBank &bank, quint16 first, std::initializer_list<double> values)
{
    quint16 reg = first;
    for (const double v : values) {
        bank.setFloat(I, reg, static_cast<float>(v));
        reg = static_cast<quint16>(reg + 2);
    }
}

void fillMeasurements(RegisterBank &bank, const MeterConfig &c)
{
    const double v = c.phaseVoltage;
    const double a = c.current;
    const double phi = c.pfAngleDegrees * std::numbers::pi / 180.0;
    const double kw = v * a * std::cos(phi) / 1000.0;
    const double kvar = v * a * std::sin(phi) / 1000.0;
    const double kva = v * a / 1000.0;
    const double line = std::sqrt(3.0) * v;
    const double pfAvg = kva != 0.0 ? (3 * kw) / (3 * kva) : 0.0;

    bank.setFloat(I, reg::kFrequency, static_cast<float>(c.frequency));
    setFloats(bank, reg::kPhaseVoltage, {v, v, v, v});
    setFloats(bank, reg::kLineVoltage, {line, line, line, line});
    setFloats(bank, reg::kCurrent, {a, a, a, a});
    setFloats(bank, reg::kActivePower, {kw, kw, kw, 3 * kw});
    setFloats(bank, reg::kReactivePower, {kvar, kvar, kvar, 3 * kvar});
    setFloats(bank, reg::kApparentPower, {kva, kva, kva, 3 * kva});
    setFloats(bank, reg::kPowerFactor, {std::cos(phi), std::cos(phi), std::cos(phi), pfAvg});
    const double va[3] = {0.0, 240.0, 120.0};
    setFloats(bank, reg::kVoltageAngle, {va[0], va[1], va[2]});
    setFloats(bank, reg::kCurrentAngle,
              {normalisedDegrees(va[0] - c.pfAngleDegrees), normalisedDegrees(va[1] - c.pfAngleDegrees),
               normalisedDegrees(va[2] - c.pfAngleDegrees)});
    bank.setValue(I, reg::kPhaseSequence, 1); // ABC

    for (int q = 0; q < 5; ++q) {
        double total = 0;
        for (int p = 0; p < 3; ++p) {
            bank.setFloat(I, static_cast<quint16>(reg::kPhaseEnergy + 6 * q + 2 * p),
                          static_cast<float>(kPhaseEnergy[q][p]));
            total += kPhaseEnergy[q][p];
        }
        bank.setFloat(I, static_cast<quint16>(reg::kEnergyTotals + 2 * q), static_cast<float>(total));
    }

    bank.setValue(I, reg::kDemandFirst, 600); // seconds left in the demand period
    bank.setFloat(I, reg::kDemandFirst + 1, static_cast<float>(3 * kw));
    bank.setFloat(I, reg::kDemandFirst + 3, static_cast<float>(3 * kw * 1.25));

    // THD: three groups of eight (voltages, currents, spare), in percent.
    const double thdBase[3] = {2.0, 8.0, 5.0};
    for (int i = 0; i < 24; ++i)
        bank.setFloat(I, static_cast<quint16>(reg::kThd + 2 * i),
                      static_cast<float>(thdBase[i / 8] + 0.125 * (i % 8)));
    // Harmonic spectra of Va, Vb, Vc, Ia, Ib, Ic: value 0 is 100 %, then falling.
    for (int ch = 0; ch < 6; ++ch) {
        for (int h = 0; h < 32; ++h) {
            const double value = h == 0 ? 100.0 : (ch < 3 ? 3.0 : 12.0) / h;
            bank.setFloat(I, static_cast<quint16>(reg::kHarmonics + 0x40 * ch + 2 * h),
                          static_cast<float>(value));
        }
    }
}

void fillSettings(RegisterBank &bank, const MeterConfig &c)
{
    bank.setFloat(H, reg::kPtRatioFloat, 1.0F);
    bank.setFloat(H, reg::kCtRatioFloat, 1.0F);
    bank.setValue(H, reg::kUnitAddress, c.unit);
    bank.setValue(H, reg::kBaudCode, c.baudCode);
    bank.setValue(H, reg::kStopBits, 1);
    bank.setValue(H, reg::kWiring, 5); // 3P4W
    bank.setValue(I, reg::kWiringCode, 5);
    bank.setValue(H, reg::kPtRatioTenths, 10);
    bank.setValue(H, reg::kCtRatio, 1);
    bank.setValue(H, reg::kScrollTime, 5);
    for (std::size_t i = 0; i < std::size(kDefaultDisplayItems); ++i)
        bank.setValue(H, static_cast<quint16>(reg::kDisplayItemsFirst + i), kDefaultDisplayItems[i]);

    // The CO2 factor shares its registers with the last two channel codes of
    // group 1; a group with more than ten channels overwrites it.
    bank.setFloat(H, reg::kCo2Factor, c.co2Factor);
    const quint16 settings[2] = {reg::kLpSettingsGroup1, reg::kLpSettingsGroup2};
    for (int g = 0; g < 2; ++g) {
        const LoadProfileGroupConfig &group = c.groups[g];
        bank.setValue(H, settings[g], static_cast<quint16>(group.channelCodes.size()));
        bank.setValue(H, static_cast<quint16>(settings[g] + 1), group.interval);
        for (int ch = 0; ch < group.channelCodes.size() && ch < loadprofile::kMaxChannels[g]; ++ch)
            bank.setValue(H, static_cast<quint16>(settings[g] + 2 + ch), group.channelCodes[ch]);
        bank.setValue(I, static_cast<quint16>(reg::kLpValidCount + g),
                      static_cast<quint16>(group.validCount));
    }
    bank.setValue(H, reg::kLpRecordPointer, 1);
}

} // namespace

void mapRegisters(RegisterBank &bank)
{
    bank.map(H, reg::kPtRatioFloat, reg::kCtRatioFloat + 1);
    bank.map(H, reg::kSettingsFirst, reg::kSettingsLast);

    bank.map(I, reg::kCo2First, reg::kCo2Last);
    bank.map(I, reg::kInfoFirst, reg::kInfoLast);
    bank.map(I, reg::kFirmwareText, reg::kFirmwareLast);
    bank.map(I, reg::kFrequency, reg::kPhaseEnergyLast);
    bank.map(I, reg::kLpValidCount, reg::kLpCountsLast);
    bank.map(I, reg::kDemandFirst, reg::kDemandLast);
    bank.map(I, reg::kThd, reg::kHarmonicsLast);
    for (int g = 0; g < 2; ++g) {
        const auto first = static_cast<quint16>(reg::kLpWindow + reg::kLpWindowStride * g);
        bank.map(I, first, static_cast<quint16>(first + reg::kLpWindowSize - 1));
    }
}

void fillDefaults(RegisterBank &bank, const MeterConfig &config)
{
    bank.setText(I, reg::kSerialNumber, config.serial, 8);
    bank.setText(I, reg::kFirmwareText, config.firmware, 4);
    fillSettings(bank, config);
    fillMeasurements(bank, config);
}

} // namespace metersim
