#include "i18n/language_texts.h"

#include <iterator>

namespace i18n {

namespace {

struct Slot {
    const char *section;
    const char *key;
    QString LanguageTexts::*member;
};

#define AMPWRIGHT_SLOT(section, key) Slot{section, #key, &LanguageTexts::key}

// In the order the keys are read from the file.
const Slot kSlots[] = {
    AMPWRIGHT_SLOT("Login", strMsgBoxerr),
    AMPWRIGHT_SLOT("Login", strMsgBoxW),
    AMPWRIGHT_SLOT("onlineini", online_Status2),
    AMPWRIGHT_SLOT("onlineini", online_CheckIP1),
    AMPWRIGHT_SLOT("onlineini", online_CheckIP2),
    AMPWRIGHT_SLOT("onlineini", online_ON),
    AMPWRIGHT_SLOT("onlineini", online_OFF),
    AMPWRIGHT_SLOT("LPFini", dataItem1),
    AMPWRIGHT_SLOT("LPFini", dataItem2),
    AMPWRIGHT_SLOT("LPFini", dataItem3),
    AMPWRIGHT_SLOT("LPFini", dataItem4),
    AMPWRIGHT_SLOT("LPFini", stopLPFread),
    AMPWRIGHT_SLOT("LPFini", LPFClick),
    AMPWRIGHT_SLOT("LPFini", LPF_war),
    AMPWRIGHT_SLOT("Saveini", Set_Time_OK),
    AMPWRIGHT_SLOT("Saveini", Set_Time_NO),
    AMPWRIGHT_SLOT("Saveini", Set_Time),
    AMPWRIGHT_SLOT("modbusini", change_modbus1),
    AMPWRIGHT_SLOT("modbusini", change_modbus2),
    AMPWRIGHT_SLOT("modbusini", change_modbus3),
    AMPWRIGHT_SLOT("modbusini", change_modbus4),
    AMPWRIGHT_SLOT("modbusini", change_modbus5),
    AMPWRIGHT_SLOT("modbusini", change_modbus6),
    AMPWRIGHT_SLOT("Phaserini", Phaser_La7),
    AMPWRIGHT_SLOT("Phaserini", Phaser_La51),
    AMPWRIGHT_SLOT("Phaserini", Phaser_La52),
    AMPWRIGHT_SLOT("Phaserini", Phaser_La2_5),
    AMPWRIGHT_SLOT("Phaserini", Phaser_La2_54),
    AMPWRIGHT_SLOT("Phaserini", Phaser_End),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box1),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box2),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box3),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box4),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box5),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box6),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box7),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box8),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box9),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box10),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box11),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_Box12),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_RatioInvalid),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_CO2Invalid),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPNumberInvalid),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPChannelsInvalid),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPFolderFallback),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPFileError),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPDateUnreadable),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPOtherMeter),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPGroupChanged),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPMeterPending),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPBadStamp),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPSearching),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPSearchFailed),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPArchiveError),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPArchiveMoved),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPNothingNew),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_LPNewRepeated),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_RequestRefused),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_RequestNoAnswer),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_RequestLinkGone),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_ReadRefused),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_PortDenied),
    AMPWRIGHT_SLOT("strmsgboxini", rightdown_PortDenied2),
    AMPWRIGHT_SLOT("rightdownini", rightdown_LPSET1),
    AMPWRIGHT_SLOT("rightdownini", rightdown_LPSET2),
    AMPWRIGHT_SLOT("rightdownini", rightdown_ChannelCodes),
    AMPWRIGHT_SLOT("Harmonicini", harmonic_Order),
    AMPWRIGHT_SLOT("Harmonicini", harmonic_Unit),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_ArchiveError),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_ImportFailed),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_Imported),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_ImportMatched),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_ExportFailed),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_Exported),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_NoRecords),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_PictureFailed),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_Importing),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_Coverage),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_RepeatedCount),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_QualityRepeated),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_QualityOutOfOrder),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_QualityOffGrid),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_QualityGap),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_TimeShare),
    AMPWRIGHT_SLOT("lpviewerini", lpviewer_PeriodBefore),
    AMPWRIGHT_SLOT("trendini", trend_RecordFailed),
    AMPWRIGHT_SLOT("trendini", trend_OtherMeter),
};

#undef AMPWRIGHT_SLOT

} // namespace

LanguageTexts LanguageTexts::read(const IniFile &file)
{
    LanguageTexts texts;
    texts.LanguageCode = file.integer(QStringLiteral("Login"), QStringLiteral("lang"));
    for (const Slot &slot : kSlots)
        texts.*slot.member = file.text(QLatin1String(slot.section), QLatin1String(slot.key));
    return texts;
}

} // namespace i18n
