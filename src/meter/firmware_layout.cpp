#include "meter/firmware_layout.h"

#include "meter/value_format.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace meter {

namespace {

// A text read as a whole number the way a typed number is: blanks around it
// allowed, rounded half to even, 0 when it is no number or does not fit 16 bits.
int wholeNumber(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<std::int16_t>::min()
        || rounded > std::numeric_limits<std::int16_t>::max())
        return 0;
    return static_cast<int>(rounded);
}

} // namespace

FirmwareInfo decodeFirmware(std::span<const std::uint8_t> bytes)
{
    FirmwareInfo info;
    if (bytes.size() < 8)
        return info;
    info.text = meterText(bytes.first(8));
    QString digits;
    for (std::uint8_t b : bytes.subspan(1, 4))
        digits.append(QChar(b));
    info.number = wholeNumber(digits);
    info.rLayout = bytes[0] == 'R';
    return info;
}

PanelChoice firmwarePanel(int n)
{
    PanelChoice choice;
    if (n < 2601) {
        choice.displayBase = 100;
        choice.thdPages = false;
    } else {
        const bool older = n < kFirstFirmwareWithoutHarmonics;
        choice.thdPages = older;
        choice.profilePages = older;
    }
    const bool floatRatios = (n >= 2406 && n <= 2499) || (n >= 2504 && n <= 2599) || n >= 2601;
    choice.ratios = floatRatios ? RatioForm::Float : RatioForm::Whole;
    choice.fixedScrollTime = n >= 3605 && n <= 3999;
    choice.thirtySecondInterval = (n >= 2605 && n <= 2999) || choice.fixedScrollTime;
    return choice;
}

PanelChoice rFirmwarePanel()
{
    PanelChoice choice;
    choice.displayBase = 100;
    choice.thdPages = false;
    choice.ratios = RatioForm::FloatSetOnly;
    choice.displayItemControls = false;
    return choice;
}

bool firmwareHasCO2(int n) { return (n >= 2604 && n <= 2999) || (n >= 3604 && n <= 3999); }

} // namespace meter
