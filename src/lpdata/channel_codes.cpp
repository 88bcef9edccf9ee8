#include "lpdata/channel_codes.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace lpdata {

namespace {

struct Channel {
    int code;
    const char *name;
};

constexpr Channel kChannels[] = {
    {1, "Vln_avg(point)"},       {2, "I_avg(point)"},         {3, "kW_avg(interval)"},
    {4, "kVar_avg(interval)"},   {5, "kVA_avg(interval)"},    {6, "PF_avg"},
    {7, "kWh+(total)"},          {8, "kWh-(total)"},          {9, "kvarh+(total)"},
    {10, "kvarh-(total)"},       {11, "kVAh(total)"},         {12, "kWh(interval)"},
    {13, "kvarh(interval)"},     {14, "kVAh(interval)"},      {101, "Vln_A(interval)"},
    {102, "Vln_B(interval)"},    {103, "Vln_C(interval)"},    {104, "Vln_avg(interval)"},
    {105, "Vll_AB(interval)"},   {106, "Vll_BC(interval)"},   {107, "Vll_CA(interval)"},
    {108, "Vll_avg(interval)"},  {109, "I_A(interval)"},      {110, "I_B(interval)"},
    {111, "I_C(interval)"},      {112, "I_avg(interval)"},    {113, "kW_A(interval)"},
    {114, "kW_B(interval)"},     {115, "kW_C(interval)"},     {116, "kW_tot(interval)"},
    {117, "kVar_A(interval)"},   {118, "kVar_B(interval)"},   {119, "kVar_C(interval)"},
    {120, "kVar_tot(interval)"}, {121, "kVA_A(interval)"},    {122, "kVA_B(interval)"},
    {123, "kVA_C(interval)"},    {124, "kVA_tot(interval)"},  {125, "PF_A(interval)"},
    {126, "PF_B(interval)"},     {127, "PF_C(interval)"},     {128, "PF_avg(interval)"},
    {129, "kWh+_A(total)"},      {130, "kWh+_B(total)"},      {131, "kWh+_C(total)"},
    {132, "kWh+_tot(total)"},    {133, "kWh-_A(total)"},      {134, "kWh-_B(total)"},
    {135, "kWh-_C(total)"},      {136, "kWh-_tot(total)"},    {137, "kVarh+_A(total)"},
    {138, "kVarh+_B(total)"},    {139, "kVarh+_C(total)"},    {140, "kVarh+_tot(total)"},
    {141, "kVarh-_A(total)"},    {142, "kVarh-_B(total)"},    {143, "kVarh-_C(total)"},
    {144, "kVarh-_tot(total)"},  {145, "kVAh_A(total)"},      {146, "kVAh_B(total)"},
    {147, "kVAh_C(total)"},      {148, "kVAh_tot(total)"},    {149, "kWh_A(interval)"},
    {150, "kWh_B(interval)"},    {151, "kWh_C(interval)"},    {152, "kWh_tot(interval)"},
    {153, "kVarh_A(interval)"},  {154, "kVarh_B(interval)"},  {155, "kVarh_C(interval)"},
    {156, "kVarh_tot(interval)"}, {157, "kVAh_A(interval)"},  {158, "kVAh_B(interval)"},
    {159, "kVAh_C(interval)"},   {160, "kVAh_tot(interval)"}, {201, "THD_Va(%)"},
    {202, "THD_Vb(%)"},          {203, "THD_Vc(%)"},          {204, "THD_Ia(%)"},
    {205, "THD_Ib(%)"},          {206, "THD_Ic(%)"},
};

constexpr std::size_t kChannelCount = std::size(kChannels);
// The THD codes close the list; a meter without harmonics is not offered them.
constexpr std::size_t kThdCodes = 6;

constexpr std::array<int, kChannelCount> kCodes = [] {
    std::array<int, kChannelCount> codes{};
    for (std::size_t i = 0; i < kChannelCount; ++i)
        codes[i] = kChannels[i].code;
    return codes;
}();

// A name's quantity, the text before its first "_", "+", "-" or "(", and its
// unit. Each quantity of the table above appears here once.
struct Quantity {
    const char *quantity;
    const char *unit;
};

constexpr Quantity kUnits[] = {
    {"Vln", "V"},     {"Vll", "V"},         {"I", "A"},      {"kW", "kW"},     {"kVar", "kvar"},
    {"kVA", "kVA"},   {"PF", "PF"},         {"kWh", "kWh"},  {"kvarh", "kvarh"}, {"kVarh", "kvarh"},
    {"kVAh", "kVAh"}, {"THD", "%"},
};

bool isEnergyUnit(const QString &unit)
{
    return unit == QLatin1String("kWh") || unit == QLatin1String("kvarh") || unit == QLatin1String("kVAh");
}

} // namespace

QString LPDataName(int code)
{
    const auto found = std::find_if(std::begin(kChannels), std::end(kChannels),
                                    [code](const Channel &c) { return c.code == code; });
    return found == std::end(kChannels) ? QString() : QString::fromLatin1(found->name);
}

QString LPChannelUnit(int code)
{
    const QString name = LPDataName(code);
    const auto end = std::find_if(name.begin(), name.end(), [](QChar c) {
        return c == u'_' || c == u'+' || c == u'-' || c == u'(';
    });
    const QString quantity = name.first(end - name.begin());
    for (const Quantity &q : kUnits)
        if (quantity == QLatin1String(q.quantity))
            return QString::fromLatin1(q.unit);
    return QString();
}

bool isIntervalEnergy(int code)
{
    return isEnergyUnit(LPChannelUnit(code)) && LPDataName(code).endsWith(QLatin1String("(interval)"));
}

bool isDemand(int code)
{
    const QString unit = LPChannelUnit(code);
    return unit == QLatin1String("kW") || unit == QLatin1String("kvar") || unit == QLatin1String("kVA")
           || unit == QLatin1String("A");
}

std::span<const int> LPChannelCodes()
{
    return kCodes;
}

std::vector<int> offeredChannelCodes(bool includeAll)
{
    const std::size_t offered = includeAll ? kChannelCount : kChannelCount - kThdCodes;
    return std::vector<int>(kCodes.begin(), kCodes.begin() + offered);
}

QString channelCodeListing(bool includeAll)
{
    QString listing;
    for (const int code : offeredChannelCodes(includeAll))
        listing += QString::number(code) + QLatin1String(" : ") + LPDataName(code)
                   + QLatin1String("\r\n");
    return listing;
}

QString channelCodesText(std::span<const int> codes)
{
    QStringList texts;
    for (const int code : codes)
        texts << QString::number(code);
    return texts.join(QLatin1Char(','));
}

} // namespace lpdata
