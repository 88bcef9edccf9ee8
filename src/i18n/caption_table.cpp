#include "i18n/caption_table.h"

namespace i18n {

namespace {

using V = CaptionVariant;

// Controls of later pages that are not built yet are passed over when a
// file is applied; their rows take effect as soon as the controls exist.
const CaptionRow kCaptions[] = {
    // Connection row and identity labels.
    {"topini", "top_La80_8", "lbl_Serial", 10},
    {"topini", "top_La80_9", "lblMeterTime", 10},
    {"topini", "top_Frame11", "Frame11", 10},
    {"topini", "top_La80_11", "lblComPort", 10},
    {"topini", "top_La80_12", "lblModbusAdd", 10},
    {"topini", "top_La80_14", "lblBaudRate", 10, -1, V::ByLinkMode, "top_La80_14_1"},
    {"topini", "top_La80_15", "lblStopBit", 10, -1, V::ByLinkMode, "top_La80_15_1"},
    {"topini", "top_scan", "cmdScanComPort", 9},

    // Measurement panels: both panels carry the same captions.
    {"left1midini", "left1mid_STab2_1", "SSTab2(0)", 11, 1},
    {"left1midini", "left1mid_STab2_1", "SSTab2(1)", 11, 1},
    {"left1midini", "left1mid_STab2_1", "Command9(1)"},
    {"left1midini", "left1mid_STab2_2", "SSTab2(0)", 11, 0},
    {"left1midini", "left1mid_STab2_2", "SSTab2(1)", 11, 0},
    {"left1midini", "left1mid_STab2_2", "Command9(0)"},
    {"left1midini", "left1mid_La2_56", "lblVoltageN(0)"},
    {"left1midini", "left1mid_La2_46", "lblCurrent(0)"},
    {"left1midini", "left1mid_La2_45", "lblkW(0)"},
    {"left1midini", "left1mid_La2_44", "lblkvar(0)"},
    {"left1midini", "left1mid_La2_43", "lblkVA(0)"},
    {"left1midini", "left1mid_La2_42", "lblPF(0)"},
    {"left1midini", "left1mid_La2_55", "lblVoltageB(0)"},
    {"left1midini", "left1mid_La2_54", "lblAngleV(0)"},
    {"left1midini", "left1mid_La2_53", "lblAngleI(0)"},
    {"left1midini", "left1mid_La2_48", "Command7(48)"},
    {"left1midini", "left1mid_La2_1", "Command7(1)"},
    {"left1midini", "left1mid_La2_49", "Command7(49)"},
    {"left1midini", "left1mid_La2_0", "Command7(0)"},
    {"left1midini", "left1mid_La2_59", "Command7(59)", 10},
    {"left1midini", "left1mid_La113", "lblFreq(0)", 12},
    {"left1midini", "left1mid_PhaseShow", "cmdPhaseShow(1)"},
    {"left1midini", "left1mid_La2_56", "lblVoltageN(1)"},
    {"left1midini", "left1mid_La2_46", "lblCurrent(1)"},
    {"left1midini", "left1mid_La2_45", "lblkW(1)"},
    {"left1midini", "left1mid_La2_44", "lblkvar(1)"},
    {"left1midini", "left1mid_La2_43", "lblkVA(1)"},
    {"left1midini", "left1mid_La2_42", "lblPF(1)"},
    {"left1midini", "left1mid_La2_55", "lblVoltageB(1)"},
    {"left1midini", "left1mid_La2_54", "lblAngleV(1)"},
    {"left1midini", "left1mid_La2_53", "lblAngleI(1)"},
    {"left1midini", "left1mid_La2_48", "Command7(210)"},
    {"left1midini", "left1mid_La2_1", "Command7(207)"},
    {"left1midini", "left1mid_La2_49", "Command7(209)"},
    {"left1midini", "left1mid_La2_0", "Command7(208)"},
    {"left1midini", "left1mid_La2_59", "Command7(211)", 10},
    {"left1midini", "left1mid_La113", "lblFreq(1)", 12},
    {"left1midini", "left1mid_PhaseShow", "cmdPhaseShow(0)"},

    // Basic data panel.
    {"rightmidini", "rightmi_STab3_1", "SSTab3", 11, 1},
    {"rightmidini", "rightmi_STab3_1", "Command11(1)"},
    {"rightmidini", "rightmi_STab3_2", "SSTab3", 11, 0},
    {"rightmidini", "rightmi_STab3_2", "Command11(0)"},
    {"rightmidini", "rightmi_La50", "lblFWVer"},
    {"rightmidini", "rightmi_La8", "lblWiring"},
    {"rightmidini", "rightmi_La5", "lblPhase"},
    {"rightmidini", "rightmi_La2_2", "Command3(2)"},
    {"rightmidini", "rightmi_La2_2", "lblPTRatio2"},
    {"rightmidini", "rightmi_La2_3", "Command3(3)"},
    {"rightmidini", "rightmi_La2_3", "lblCTRatio2"},

    // Meter settings.
    {"leftdownini", "leftdown_Modbus", "cmdModbusAddSet"},
    {"leftdownini", "leftdown_BaudRate", "cmdBaudRateSet"},
    {"leftdownini", "leftdown_StopBit", "cmdStopBitSet", 10},
    {"leftdownini", "leftdown_PT", "cmdPTRatio1Set", 10},
    {"leftdownini", "leftdown_CT", "cmdCTRatio1Set"},
    {"leftdownini", "leftdown_Wiring", "cmdWiringSet"},
    {"leftdownini", "leftdown_Time", "cmdTimeSet"},
    {"leftdownini", "leftdown_ClrkWh", "cmdClrkWh", 10},
    {"leftdownini", "leftdown_FloatF", "frmCTPTSetting"},
    {"leftdownini", "leftdown_FloatFPT", "cmdPTRatio2Set"},
    {"leftdownini", "leftdown_FloatFCT", "cmdCTRatio2Set", 8},
    {"rightdownini", "rightdown_Fr2_1", "Frame2(1)"},
    {"rightdownini", "rightdown_La12_149", "Command1(221)"},
    {"rightdownini", "rightdown_La12_152", "Command1(224)", 10},
    {"rightdownini", "rightdown_La12_153", "Command1(225)", 10},
    {"rightdownini", "rightdown_La12_154", "Command1(226)"},
    {"co2", "leftdown_CO2_set", "cmdSetCO2"},
    {"co2", "rightmi_La18", "Labelco2(0)"},
    {"co2", "rightmi_La19", "Labelco2(1)"},

    // Language, mode switch and the lower pages (the language list's rows
    // are filled separately, after these captions).
    {"leftdownini", "leftdown_check", "langCheck", 10},
    {"leftdownini", "leftdown_Frame8", "Frame8"},
    {"leftdownini", "leftdown_CMMC1", "CommModbusModeChange", 11, -1, V::ByLinkMode,
     "leftdown_CMMC2"},
    {"rightdownini", "rightdown_LPindexon1", "cmdLPindexon", 11, -1, V::ByLPIndex,
     "rightdown_LPindexon2"},
    {"rightdownini", "rightdown_Display", "Frame5"},
    {"rightdownini", "rightdown_D_1", "lblSequency"},
    {"rightdownini", "rightdown_D_2", "lblItem", 9},
    {"rightdownini", "rightdown_D_3", "cmdDisplayItemSet"},
    {"rightdownini", "rightdown_D_4", "lblScrollTime", 9},
    {"rightdownini", "rightdown_D_5", "cmdScrollTimeSet"},
    {"rightdownini", "rightdown_D_6", "cmdDisplayindex"},
    {"rightdownini", "rightdown_LPSET1", "lblDataCounter1", 10},
    {"rightdownini", "rightdown_LPSET1", "lblDataCounter2", 10},
    {"rightdownini", "rightdown_LPSET2", "lblInterval1"},
    {"rightdownini", "rightdown_LPSET2", "lblInterval2"},
    {"rightdownini", "rightdown_LPSET3", "cmdLoadProfileG1Set", 10},
    {"rightdownini", "rightdown_LPSET3", "cmdLoadProfileG2Set", 10},
    {"rightdownini", "rightdown_LPSET4", "lblValidIntervals", 10},
    {"rightdownini", "rightdown_LPSET5", "lblMaxIntervals", 10},
    {"leftdownini", "leftdown_SSTab1_5", "Command10(1)"},
    {"leftdownini", "leftdown_SSTab1_4", "Command10(4)"},
    {"leftdownini", "leftdown_SSTab1_3", "Command10(3)"},
    {"leftdownini", "leftdown_SSTab1_2", "Command10(2)"},
    {"leftdownini", "leftdown_SSTab1_1", "Command10(0)"},
};

} // namespace

std::span<const CaptionRow> mainWindowCaptions() { return kCaptions; }

} // namespace i18n
