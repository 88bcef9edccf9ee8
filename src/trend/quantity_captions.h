#pragma once

#include "meter/quantities.h"

#include <QString>

namespace i18n {
class IniFile;
}

namespace trend {

// A quantity's caption in a language: the caption of its kind and what tells
// it from the others of that kind, joined as the language's
// trend_QuantityCaption says ("Voltage L-N (V), Phase A", "THD group 1 (%), 3");
// the kind's caption alone for one of a kind ("Frequency (Hz)").
QString quantityCaption(meter::Q quantity, const i18n::IniFile &language);

// The key (section trendini) of a group's caption, as the window groups its
// values: "trend_GroupVoltage"; nothing for the settings' groups (ratios, CO2).
const char *groupCaptionKey(meter::QuantityGroup group);
// A group's caption in a language.
QString groupCaption(meter::QuantityGroup group, const i18n::IniFile &language);

} // namespace trend
