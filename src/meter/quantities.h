#pragma once

#include <QString>

#include <optional>
#include <span>

// The catalogue of quantities: every value the meter gives, with the id by
// which the command-line tool, recorded files, the trend and the archive name
// it, its unit, the language key of its caption and the decimals the window
// shows. The reading holds values by their Q.
namespace meter {

enum Q : int {
    VoltageLnA, VoltageLnB, VoltageLnC, VoltageLnAvg,
    VoltageLlAb, VoltageLlBc, VoltageLlCa, VoltageLlAvg,
    CurrentA, CurrentB, CurrentC, CurrentAvg,
    KwA, KwB, KwC, KwTotal,
    KvarA, KvarB, KvarC, KvarTotal,
    KvaA, KvaB, KvaC, KvaTotal,
    PfA, PfB, PfC, PfAvg,
    AngleVA, AngleVB, AngleVC,
    AngleIA, AngleIB, AngleIC,
    Frequency,
    // The five energy totals, then the same five for phase a, b and c.
    KwhDelivered, KwhReceived, KvarhLagging, KvarhLeading, Kvah,
    PhaseEnergyA, PhaseEnergyB = PhaseEnergyA + 5, PhaseEnergyC = PhaseEnergyB + 5,
    DemandTimeLeft = PhaseEnergyC + 5, DemandKw, DemandMaxKw,
    PtRatio, CtRatio, PtRatioFloat, CtRatioFloat,
    Co2Emission, Co2Factor,
    // THD: three groups of six values.
    Thd,
    kQuantityCount = Thd + 18
};

enum class QuantityGroup { Voltage, Current, Power, PowerFactor, Angle, Frequency, Energy, Demand, Ratio, CO2, Thd };

// Which meters read a quantity.
enum class ReadBy {
    Every,          // every firmware, both panels
    OlderFirmware,  // firmware before kFirstFirmwareWithoutHarmonics, panel 0
    CO2Firmware,    // firmware that computes CO2, panel 0
};

struct Quantity {
    QString id;       // "voltage_ln_a"
    QString unit;     // "V"; empty for none (power factor)
    QuantityGroup group;
    ReadBy readBy;
    int decimals;     // as shown; -1: a whole number
    const char *captionSection; // language key of the caption of its kind
    const char *captionKey;
    // What tells it from the others of its kind, after that caption: the
    // language key of its phase ("Phase A", "Total"), or a number (THD);
    // neither (a null key, -1) for one of a kind.
    const char *partSection;
    const char *partKey;
    int partNumber;
};

// Every quantity, in the order of Q.
std::span<const Quantity> quantities();
const Quantity &quantity(Q q);
// The quantity with that id; nothing for an unknown id.
std::optional<Q> findQuantity(const QString &id);

// Whether a meter of that firmware number (panel: its DisplayBase) reads q.
bool readsQuantity(Q q, int firmwareNumber, int displayBase);

} // namespace meter
