#include "meter/display_items.h"

#include "meter/measurement_decoders.h"
#include "meter/register_map.h"

#include <array>

namespace meter {

namespace {

// Codes 1 to 12, then 101 to 141.
constexpr std::array<const char *, 12> kSettingPages = {
    "Meter ID 1", "Meter ID 2", "Date",     "Time", "Modbus Slave Address", "Modbus BaudRate",
    "PT Ratio * CT Ratio", "PT Ratio", "CT Ratio", "Kt", "Reset Counter", "Modbus Stop Bit",
};
constexpr std::array<const char *, 41> kMeasurementPages = {
    "Vln_a",          "Vln_b",          "Vln_c",          "Vln_avg",        "Vll_ab",
    "Vll_bc",         "Vll_ca",         "Vll_avg",        "I_a",            "I_b",
    "I_c",            "I_avg",          "kW_a",           "kW_b",           "kW_c",
    "kW_total",       "kvar_a",         "kvar_b",         "kvar_c",         "kvar_total",
    "kVA_a",          "kVA_b",          "kVA_c",          "kVA_total",      "PF_a",
    "PF_b",           "PF_c",           "PF_avg",         "PhaseAngle_V_a", "PhaseAngle_V_b",
    "PhaseAngle_V_c", "PhaseAngle_I_a", "PhaseAngle_I_b", "PhaseAngle_I_c", "kWh_deliver",
    "kWh_receiver",   "kvarh_lagging",  "kvarh_leading",  "kVAh",           "Demand_Time_Remain",
    "Demand - kW",
};
constexpr unsigned kFirstMeasurementCode = 101;
// Page p's code: the low byte of display-item register p - 1.
constexpr std::size_t kFirstCodeOffset = registers::mainBlockOffset(registers::kFirstDisplayItem) + 1;

} // namespace

QString displayItemName(unsigned code)
{
    if (code >= 1 && code <= kSettingPages.size())
        return QLatin1String(kSettingPages[code - 1]);
    if (code >= kFirstMeasurementCode && code - kFirstMeasurementCode < kMeasurementPages.size())
        return QLatin1String(kMeasurementPages[code - kFirstMeasurementCode]);
    return {};
}

std::optional<DisplayItemCodes> displayItemCodes(std::span<const std::uint8_t> mainBlock)
{
    if (mainBlock.size() != kMainBlockBytes)
        return std::nullopt;
    DisplayItemCodes codes{};
    for (std::size_t p = 0; p < codes.size(); ++p)
        codes[p] = mainBlock[kFirstCodeOffset + 2 * p];
    return codes;
}

QString displayItemsText(std::span<const std::uint8_t> mainBlock)
{
    const auto codes = displayItemCodes(mainBlock);
    return codes ? displayItemsText(*codes) : QString();
}

QString displayItemsText(const DisplayItemCodes &codes)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = QStringLiteral("Display Item  : ") + lineEnd;
    for (int p = 1; p <= kDisplayPositions; ++p) {
        const unsigned code = codes[std::size_t(p - 1)];
        const QString name = displayItemName(code);
        if (!name.isEmpty())
            text += QStringLiteral("%1 : %2(%3)").arg(p).arg(name).arg(code) + lineEnd;
    }
    return text;
}

} // namespace meter
