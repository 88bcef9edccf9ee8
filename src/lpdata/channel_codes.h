#pragma once

#include <QString>

#include <span>
#include <vector>

// The quantities a load-profile channel can record, by the code the meter
// stores in a group's configuration.
namespace lpdata {

// The name of a channel code; empty for a code without a quantity (0 too).
QString LPDataName(int code);

// The unit of a channel's values, taken from the quantity its name starts
// with: "V", "A", "kW", "kvar", "kVA", "kWh", "kvarh", "kVAh", "%" (THD),
// and "PF" for power factors, which have none but share a scale of their own.
// Empty for a code without a name.
QString LPChannelUnit(int code);

// The channel records the energy of each interval ("kWh(interval)" and the
// like): its values add up to the energy of a period. Averages and readings
// of other interval channels ("kW_avg(interval)") and totals do not.
bool isIntervalEnergy(int code);

// The channel records a demand (power or current), whose load factor means something.
bool isDemand(int code);

// Every code with a name, in the order the setting lists offer them:
// 1..14, 101..160, 201..206.
std::span<const int> LPChannelCodes();

// Codes as one text, "1,2,3".
QString channelCodesText(std::span<const int> codes);

// The codes offered in the setting lists: all of them for a meter that
// records harmonics, otherwise all but the six THD codes (201..206).
std::vector<int> offeredChannelCodes(bool includeAll);

// The code listing shown beside the setting lists: "code : name" and CR LF
// for every offered code.
QString channelCodeListing(bool includeAll);

} // namespace lpdata
