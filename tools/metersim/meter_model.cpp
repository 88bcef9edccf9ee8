#include "meter_model.h"

#include "meter_defaults.h"
#include "monotonic_clock.h"
#include "register_addresses.h"
#include "wire_codec.h"

#include <optional>

namespace metersim {

namespace {

constexpr auto H = RegisterKind::Holding;
constexpr auto I = RegisterKind::Input;

bool inRange(quint32 reg, quint32 first, quint32 last)
{
    return reg >= first && reg <= last;
}

// Settings registers of group g, without the clear commands and counters.
bool isGroupSetting(quint32 reg, int g)
{
    return g == 0 ? inRange(reg, reg::kLpSettingsGroup1, reg::kCo2Factor - 1)
                  : inRange(reg, reg::kLpSettingsGroup2, reg::kLpRecordPointer - 1);
}

int windowGroup(quint32 reg)
{
    for (int g = 0; g < 2; ++g) {
        const quint32 first = reg::kLpWindow + quint32(reg::kLpWindowStride) * g;
        if (inRange(reg, first, first + reg::kLpWindowSize - 1))
            return g;
    }
    return -1;
}

} // namespace

MeterModel::MeterModel(const MeterConfig &config)
    : lpStart_(config.lpStart),
      shifts_{config.groups[0].shifts, config.groups[1].shifts},
      pinnedInput_(0x10000, false),
      noise_(config.noisePercent, config.noiseSeed)
{
    mapRegisters(bank_);
    fillDefaults(bank_, config);
}

quint8 MeterModel::unitAddress() const
{
    return static_cast<quint8>(bank_.value(H, reg::kUnitAddress) & 0xFF);
}

quint16 MeterModel::baudCode() const
{
    return bank_.value(H, reg::kBaudCode);
}

bool MeterModel::isClockRegister(quint16 reg)
{
    return inRange(reg, reg::kClockFirst, reg::kClockFirst + reg::kClockFields - 1);
}

bool MeterModel::isComputedInput(quint16 reg) const
{
    return inRange(reg, reg::kCo2First, reg::kCo2Last) || windowGroup(reg) >= 0
        || (noise_.enabled() && EnergyGrowth::isEnergyRegister(reg));
}

LoadProfileGroup MeterModel::group(int g) const
{
    const quint16 settings = g == 0 ? reg::kLpSettingsGroup1 : reg::kLpSettingsGroup2;
    LoadProfileGroup group;
    group.channelCount = qMin<int>(bank_.value(H, settings), loadprofile::kMaxChannels[g]);
    group.interval = bank_.value(H, static_cast<quint16>(settings + 1));
    for (int ch = 0; ch < group.channelCount; ++ch)
        group.channelCodes.append(bank_.value(H, static_cast<quint16>(settings + 2 + ch)));
    group.validCount = bank_.value(I, static_cast<quint16>(reg::kLpValidCount + g));
    group.firstRecord = bank_.value(H, reg::kLpRecordPointer);
    group.shifts = shifts_[std::size_t(g)];
    return group;
}

quint16 MeterModel::co2Register(quint16 reg) const
{
    const float factor = bank_.floatValue(H, reg::kCo2Factor);
    const float delivered = energyFloat(reg::kEnergyTotals);
    const float received = energyFloat(reg::kEnergyTotals + 2);
    const float values[4] = {factor, delivered * factor, received * factor,
                             delivered * factor / 1000.0F};
    const int offset = reg - reg::kCo2First;
    return floatToRegisters(values[offset / 2])[offset % 2];
}

// An energy counter as read: the stored value and, while noise is on and the
// counter is not planted, what it has grown since.
float MeterModel::energyFloat(quint16 floatReg) const
{
    const float stored = bank_.floatValue(I, floatReg);
    const auto counter = EnergyGrowth::counterAt(floatReg);
    if (!noise_.enabled() || pinnedInput_[floatReg] || !counter)
        return stored;
    return static_cast<float>(double(stored) + growth_.grown(*counter));
}

quint16 MeterModel::valueOf(RegisterKind kind, quint16 reg, const LoadProfileGroup *groups) const
{
    if (kind == H) {
        if (isClockRegister(reg))
            return clock_.field(reg - reg::kClockFirst);
        return bank_.value(H, reg);
    }
    if (pinnedInput_[reg] || !isComputedInput(reg))
        return bank_.value(I, reg);
    if (inRange(reg, reg::kCo2First, reg::kCo2Last))
        return co2Register(reg);
    if (EnergyGrowth::isEnergyRegister(reg)) {
        // The two words of a counter: its float starts at an even offset.
        const bool low = EnergyGrowth::counterAt(reg).has_value();
        return floatToRegisters(energyFloat(low ? reg : static_cast<quint16>(reg - 1)))[low ? 0 : 1];
    }
    const int g = windowGroup(reg);
    const int offset = reg - (reg::kLpWindow + reg::kLpWindowStride * g);
    return loadprofile::windowRegister(groups[g], lpStart_, offset);
}

MeterModel::Outcome MeterModel::read(RegisterKind kind, quint16 start, quint16 count,
                                     QList<quint16> &values)
{
    if (!bank_.isMapped(kind, start, count))
        return Outcome::IllegalAddress;
    if (noise_.enabled())
        growth_.advance(bank_, monotonicNs());
    const LoadProfileGroup groups[2] = {group(0), group(1)};
    values.clear();
    values.reserve(count);
    for (quint32 r = start; r < quint32(start) + count; ++r)
        values.append(valueOf(kind, static_cast<quint16>(r), groups));
    if (kind == I)
        noise_.vary(start, values);
    return Outcome::Ok;
}

MeterModel::Outcome MeterModel::write(quint16 start, const QList<quint16> &values)
{
    if (!bank_.isMapped(H, start, static_cast<quint32>(values.size())))
        return Outcome::IllegalAddress;

    // Check everything before changing anything.
    std::array<std::optional<quint16>, MeterClock::kFields> clockFields;
    bool clockWritten = false;
    for (int i = 0; i < values.size(); ++i) {
        const quint32 r = start + quint32(i);
        const quint16 v = values[i];
        if (r == reg::kUnitAddress && (v < 1 || v > 250))
            return Outcome::IllegalValue;
        if (r == reg::kBaudCode && v != 1 && v != 2)
            return Outcome::IllegalValue;
        if (isClockRegister(static_cast<quint16>(r))) {
            clockFields[r - reg::kClockFirst] = v;
            clockWritten = true;
        }
    }
    MeterClock newClock = clock_;
    if (clockWritten && !newClock.setFields(clockFields))
        return Outcome::IllegalValue;
    clock_ = newClock;

    bool restart[2] = {false, false};
    for (int i = 0; i < values.size(); ++i) {
        const auto r = static_cast<quint16>(start + i);
        const quint16 v = values[i];
        if (isClockRegister(r))
            continue;
        // Command registers act on their value and always read 0.
        if (r == reg::kClearEnergy) {
            if (v == reg::kClearEnergyValue)
                clearEnergy();
            continue;
        }
        if (r == reg::kLpClearGroup1 || r == reg::kLpClearGroup2) {
            if (v == reg::kLpClearValue)
                clearRecords(r == reg::kLpClearGroup1 ? 0 : 1);
            continue;
        }
        bank_.setValue(H, r, v);
        if (r == reg::kWiring)
            bank_.setValue(I, reg::kWiringCode, v & 0xFF);
        for (int g = 0; g < 2; ++g)
            restart[g] = restart[g] || isGroupSetting(r, g);
    }
    // New group settings restart that group's profile, as the meter does.
    for (int g = 0; g < 2; ++g) {
        if (restart[g])
            clearRecords(g);
    }
    return Outcome::Ok;
}

void MeterModel::clearEnergy()
{
    for (quint16 r = reg::kEnergyTotals; r <= reg::kEnergyTotalsLast; ++r)
        bank_.setValue(I, r, 0);
    for (quint16 r = reg::kPhaseEnergy; r <= reg::kPhaseEnergyLast; ++r)
        bank_.setValue(I, r, 0);
    growth_.restart();
}

void MeterModel::clearRecords(int g)
{
    bank_.setValue(I, static_cast<quint16>(reg::kLpValidCount + g), 0);
}

int MeterModel::addRecords(int g, int n)
{
    const auto countReg = static_cast<quint16>(reg::kLpValidCount + g);
    const int count = qBound(0, int(bank_.value(I, countReg)) + n, 0xFFFF);
    bank_.setValue(I, countReg, static_cast<quint16>(count));
    return count;
}

void MeterModel::shiftNextRecords(int g, int seconds)
{
    const int next = int(bank_.value(I, static_cast<quint16>(reg::kLpValidCount + g))) + 1;
    shifts_[std::size_t(g)].append({next, 0, seconds});
}

int MeterModel::intervalSeconds(int g) const
{
    return loadprofile::intervalSeconds(group(g).interval);
}

bool MeterModel::plant(RegisterKind kind, quint16 reg, quint16 value, QString *error)
{
    if (!bank_.isMapped(kind, reg)) {
        *error = QStringLiteral("register 0x%1 is not in the map").arg(reg, 4, 16, QLatin1Char('0'));
        return false;
    }
    if (kind == H && isClockRegister(reg)) {
        std::array<std::optional<quint16>, MeterClock::kFields> fields;
        fields[reg - reg::kClockFirst] = value;
        if (!clock_.setFields(fields)) {
            *error = QStringLiteral("not a valid clock value");
            return false;
        }
        return true;
    }
    if (kind == H && reg == reg::kUnitAddress && (value < 1 || value > 250)) {
        *error = QStringLiteral("unit address must be 1 to 250");
        return false;
    }
    bank_.setValue(kind, reg, value);
    if (kind == I)
        pinnedInput_[reg] = true;
    return true;
}

bool MeterModel::plantFloat(RegisterKind kind, quint16 reg, float value, QString *error)
{
    if (reg == 0xFFFF || !bank_.isMapped(kind, reg, 2)) {
        *error = QStringLiteral("registers 0x%1 and the next are not in the map")
                     .arg(reg, 4, 16, QLatin1Char('0'));
        return false;
    }
    const auto words = floatToRegisters(value);
    return plant(kind, reg, words[0], error)
        && plant(kind, static_cast<quint16>(reg + 1), words[1], error);
}

} // namespace metersim
