#include "gui/meter/reading_texts.h"

#include "meter/lp_status.h"
#include "meter/measurement_decoders.h"
#include "meter/quantities.h"
#include "meter/value_format.h"

namespace meter {

namespace {

// Where the window shows a quantity: a control, the index of its first
// quantity, and whether that index counts from the panel's DisplayBase.
struct Place {
    Q first;
    int count;
    const char *control;
    int index;
    bool panelBased;
};

constexpr Place kPlaces[] = {
    {VoltageLnA, 4, "txt_V_N", 0, true},        {VoltageLlAb, 4, "txt_V_B", 0, true},
    {CurrentA, 4, "txt_I_Result", 0, true},      {KwA, 4, "txt_W_Result", 0, true},
    {KvarA, 4, "txt_Var_Result", 0, true},       {KvaA, 4, "txt_VA_Result", 0, true},
    {PfA, 4, "txt_PF_Result", 0, true},          {AngleVA, 3, "txt_V_Angle", 0, true},
    {AngleIA, 3, "txt_I_Angle", 0, true},        {Frequency, 1, "txtFrequency", 0, true},
    {KwhDelivered, 20, "txt_kWh", 0, true},      {DemandTimeLeft, 1, "txt_Dmd", 6, false},
    {DemandKw, 2, "txt_Dmd", 0, false},          {PtRatio, 1, "txt_PTRatio", -1, false},
    {CtRatio, 1, "txt_CTRatio", -1, false},      {PtRatioFloat, 1, "txtPTRatio2", -1, false},
    {CtRatioFloat, 1, "txtCTRatio2", -1, false}, {Co2Emission, 1, "txtCO2_out", -1, false},
    {Co2Factor, 1, "txtCO2", -1, false},         {Thd, 18, "txtTHD", 0, false},
};

// The control and index that show q.
std::pair<QString, int> placeOf(Q q, int displayBase)
{
    for (const Place &p : kPlaces) {
        if (q < p.first || q >= p.first + p.count)
            continue;
        const int index = p.index < 0 ? -1 : p.index + (q - p.first) + (p.panelBased ? displayBase : 0);
        return {QLatin1String(p.control), index};
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace


TextUpdates sampleTexts(const Samples &samples, int displayBase)
{
    TextUpdates out;
    out.reserve(samples.size());
    for (const Sample &s : samples) {
        auto [control, index] = placeOf(s.quantity, displayBase);
        out.push_back({std::move(control), index, valueText(s.quantity, s.value)});
    }
    return out;
}

TextUpdates blankTexts(std::initializer_list<Q> quantities, int displayBase)
{
    TextUpdates out;
    for (const Q q : quantities) {
        auto [control, index] = placeOf(q, displayBase);
        out.push_back({std::move(control), index, QString()});
    }
    return out;
}

TextUpdates withdrawnTexts(const Withdrawn &withdrawn, int displayBase)
{
    TextUpdates out;
    const auto blank = [&out](const char *control, int index) { out.push_back({QLatin1String(control), index, QString()}); };
    for (const Q q : withdrawn.quantities) {
        auto [control, index] = placeOf(q, displayBase);
        out.push_back({std::move(control), index, QString()});
        if (q >= KwhDelivered && q < KwhDelivered + 5)
            blank("txt_kWh", displayBase + 20 + (q - KwhDelivered));
    }
    if (withdrawn.parts & Identity)
        for (const char *control : {"Text5", "txtMeterSerial", "txt_Wiring", "txt_Phasor"})
            blank(control, -1);
    if (withdrawn.parts & LoadProfile) {
        static const char *const codeControls[kLPGroups] = {"Text_LP_G1_Data", "Text_LP_G2_Data"};
        for (const LpGroup g : LpGroup::all()) {
            const int at = int(g.index());
            blank("Text_LP_Data_Counter", at);
            blank("txtLPInterval", at);
            for (int i = 0; i < lpMaxChannels(g); ++i)
                blank(codeControls[g.index()], i);
            blank("Text_Max_int_num", at);
        }
    }
    if (withdrawn.parts & ValidCounts)
        for (const LpGroup g : LpGroup::all())
            blank("txtLPValidIntervalNum", int(g.index()));
    if (withdrawn.parts & DisplayItems)
        blank("txt_Display_Item", -1);
    if (withdrawn.parts & Harmonics)
        for (int h = 0; h < 32; ++h)
            blank("txtHarmonic", h);
    if (withdrawn.parts & Firmware)
        blank("txtFWver", -1);
    return out;
}

TextUpdates identityTexts(const MeterIdentity &identity)
{
    TextUpdates out{{QStringLiteral("Text5"), -1, identity.clock ? clockText(*identity.clock) : QString()},
                    {QStringLiteral("txtMeterSerial"), -1, identity.serial}};
    const QString wiring = wiringText(identity.wiringCode);
    if (!wiring.isEmpty())
        out.push_back({QStringLiteral("txt_Wiring"), -1, wiring});
    out.push_back({QStringLiteral("txt_Phasor"), -1, phaseSequenceText(identity.phaseSequenceCode)});
    return out;
}

TextUpdates phaseEnergyTexts(const Samples &phases, int displayBase, const std::array<QString, 5> &totalTexts)
{
    TextUpdates out = sampleTexts(phases, displayBase);
    for (int i = 0; i < 5; ++i)
        out.push_back({QStringLiteral("txt_kWh"), displayBase + 20 + i, totalTexts[std::size_t(i)]});
    return out;
}

TextUpdates harmonicTexts(const std::array<double, 32> &harmonics)
{
    TextUpdates out;
    for (std::size_t h = 0; h < harmonics.size(); ++h)
        out.push_back({QStringLiteral("txtHarmonic"), int(h), formatFixed(harmonics[h], 5)});
    return out;
}

TextUpdates lpStatusTexts(const std::array<LPGroupStatus, kLPGroups> &groups)
{
    static const char *const codeControls[kLPGroups] = {"Text_LP_G1_Data", "Text_LP_G2_Data"};
    TextUpdates out;
    for (const LpGroup g : LpGroup::all()) {
        const LPGroupStatus &group = groups[g.index()];
        const int at = int(g.index());
        out.push_back({QStringLiteral("Text_LP_Data_Counter"), at, QString::number(group.channels)});
        out.push_back({QStringLiteral("txtLPInterval"), at, lpIntervalText(group.intervalCode)});
        for (int i = 0; i < lpMaxChannels(g); ++i)
            out.push_back({QLatin1String(codeControls[g.index()]), i, QString::number(group.codes[std::size_t(i)])});
        if (group.capacity)
            out.push_back({QStringLiteral("Text_Max_int_num"), at, QString::number(*group.capacity)});
    }
    return out;
}

template <class Decoded>
TextUpdates textsOr(const std::optional<Decoded> &decoded, int displayBase)
{
    return decoded ? sampleTexts(*decoded, displayBase) : TextUpdates{};
}

TextUpdates DecodeMainBlock(std::span<const std::uint8_t> block, int displayBase)
{
    const auto main = mainBlockValues(block);
    if (!main)
        return {};
    TextUpdates out = sampleTexts(main->samples, displayBase);
    const TextUpdates identity = identityTexts(main->identity);
    out.insert(out.end(), identity.begin(), identity.end());
    return out;
}

TextUpdates DecodePhaseEnergy(std::span<const std::uint8_t> block, int displayBase,
                              const std::array<QString, 5> &totalTexts)
{
    const auto phases = phaseEnergyValues(block);
    return phases ? phaseEnergyTexts(*phases, displayBase, totalTexts) : TextUpdates{};
}

TextUpdates decodeDemand(std::span<const std::uint8_t> block) { return textsOr(demandValues(block), 0); }

TextUpdates decodeFrequency(std::span<const std::uint8_t> block, int displayBase)
{
    return textsOr(frequencyValues(block), displayBase);
}

TextUpdates decodeRatios(std::span<const std::uint8_t> block) { return textsOr(ratioValues(block), 0); }

TextUpdates decodeFloatRatios(std::span<const std::uint8_t> block)
{
    return textsOr(floatRatioValues(block), 0);
}

TextUpdates DecodeCO2(std::span<const std::uint8_t> block) { return textsOr(co2Values(block), 0); }

TextUpdates DecodeTHD(std::span<const std::uint8_t> block, std::array<double, 24> &table)
{
    const auto thd = thdValues(block);
    if (!thd)
        return {};
    table = *thd;
    return sampleTexts(thdSamples(table), 0);
}

TextUpdates DecodeHarmonic(std::span<const std::uint8_t> block, bool stillSelected,
                           std::array<double, 32> &table)
{
    const auto harmonics = harmonicValues(block);
    if (!harmonics)
        return {};
    table = *harmonics;
    return stillSelected ? harmonicTexts(table) : TextUpdates{};
}

TextUpdates DecodeLPStatus(std::span<const std::uint8_t> mainBlock)
{
    const auto groups = lpGroupStatus(mainBlock);
    return groups ? lpStatusTexts(*groups) : TextUpdates{};
}

} // namespace meter
