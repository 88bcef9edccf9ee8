#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace meter {

// The firmware text of the meter (8 bytes) and what it tells.
struct FirmwareInfo {
    QString text;     // shown in txtFWver
    int number = 0;   // characters 2 to 5 as a number, 0 when they are not one
    bool rLayout = false; // first character "R"
};

FirmwareInfo decodeFirmware(std::span<const std::uint8_t> bytes);

// How PT and CT ratios are set and shown.
enum class RatioForm {
    Whole,        // whole-number lists and their read-back
    Float,        // primary/secondary boxes and their read-back
    FloatSetOnly, // the "R" firmware: primary/secondary boxes; read-backs as they are
};

// Which measurement panel a firmware gets, and which of the controls that
// only some firmware has are offered (nullopt: left as they are).
struct PanelChoice {
    int displayBase = 0;                // 0: panel 0, 100: panel 1
    std::optional<bool> thdPages;       // Command9(2), Command9(3)
    std::optional<bool> profilePages;   // SSTab1 tabs 1-3 and Command10(2..4)
    RatioForm ratios = RatioForm::Whole;
    bool displayItemControls = true;    // sequence position, item, their buttons
    bool fixedScrollTime = false;       // "Fixed" among the scroll times
    bool thirtySecondInterval = false;  // "30sec" among the load-profile intervals

    bool operator==(const PanelChoice &) const = default;
};

PanelChoice firmwarePanel(int firmwareNumber);
PanelChoice rFirmwarePanel();

// Firmware whose meters compute CO2 values.
bool firmwareHasCO2(int firmwareNumber);

// Firmware before this number has THD, harmonics and load-profile valid counts.
inline constexpr int kFirstFirmwareWithoutHarmonics = 5900;

} // namespace meter
