#pragma once

#include "i18n/ini_file.h"

#include <QString>

namespace i18n {

// The message texts of the applied language file and its language code.
// Each member is named by its key; the texts keep the values of the last
// applied file until another one is applied.
struct LanguageTexts {
    // Key "lang" of section Login: 2 Chinese, 3 Japanese, anything else English.
    int LanguageCode = 0;

    // [Login]
    QString strMsgBoxerr, strMsgBoxW;
    // [onlineini]
    QString online_Status2, online_CheckIP1, online_CheckIP2, online_ON, online_OFF;
    // [LPFini]
    QString dataItem1, dataItem2, dataItem3, dataItem4, stopLPFread, LPFClick, LPF_war;
    // [Saveini]
    QString Set_Time_OK, Set_Time_NO, Set_Time;
    // [modbusini]
    QString change_modbus1, change_modbus2, change_modbus3, change_modbus4, change_modbus5,
        change_modbus6;
    // [Phaserini]
    QString Phaser_La7, Phaser_La51, Phaser_La52, Phaser_La2_5, Phaser_La2_54, Phaser_End;
    // [strmsgboxini]
    QString rightdown_Box1, rightdown_Box2, rightdown_Box3, rightdown_Box4, rightdown_Box5,
        rightdown_Box6, rightdown_Box7, rightdown_Box8, rightdown_Box9, rightdown_Box10,
        rightdown_Box11, rightdown_Box12;
    // [strmsgboxini], keys of our own: a float-form PT or CT ratio, or a CO2
    // factor, that cannot be written.
    QString rightdown_RatioInvalid, rightdown_CO2Invalid;
    // A download without record numbers or channels, the folder its files
    // went to instead of the program's, a CSV file that cannot be written.
    QString rightdown_LPNumberInvalid, rightdown_LPChannelsInvalid, rightdown_LPFolderFallback,
        rightdown_LPFileError, rightdown_LPDateUnreadable;
    // A continued download whose meter or group settings changed (%1 and %2
    // the serials; %1 the group, %2 the setting, %3 and %4 its values), the
    // meter not read yet after a reconnect, a record without a date (%1 its
    // number), the date search running (%1 records read) and interrupted.
    QString rightdown_LPOtherMeter, rightdown_LPGroupChanged, rightdown_LPMeterPending,
        rightdown_LPBadStamp, rightdown_LPSearching, rightdown_LPSearchFailed;
    // The archive cannot store a download (the reason follows), its damaged
    // file was moved aside (the paths follow), no records newer than the
    // archive's newest (%1 its time), a "new only" download whose records
    // repeat earlier stamps (%1 new records, %2 of them repeating).
    QString rightdown_LPArchiveError, rightdown_LPArchiveMoved, rightdown_LPNothingNew, rightdown_LPNewRepeated;
    // What became of a setting the meter did not take (%1: the exception code).
    QString rightdown_RequestRefused, rightdown_RequestNoAnswer, rightdown_RequestLinkGone;
    // A read of the poll cycle that the meter refuses (%1: the first
    // register, as 0x1064; %2: the function code; %3: the exception code).
    QString rightdown_ReadRefused;
    // [rightdownini]: the group settings' names, for the message above.
    QString rightdown_LPSET1, rightdown_LPSET2, rightdown_ChannelCodes;
    // A serial port the user may not open (%1 is its device), and how to
    // get access.
    QString rightdown_PortDenied, rightdown_PortDenied2;

    // [Harmonicini], keys of our own: the axes of the harmonic chart.
    QString harmonic_Order, harmonic_Unit;

    // [lpviewerini]: the load-profile viewer's messages and status lines. The
    // archive cannot be opened or read, files not imported, what an import
    // did (%1 files, %2 new, %3 already stored, %4 of the new repeating an
    // earlier stamp), the shown records not written, written (%1 the files),
    // none to write, the picture not saved, an import running.
    QString lpviewer_ArchiveError, lpviewer_ImportFailed, lpviewer_Imported, lpviewer_ImportMatched, lpviewer_ExportFailed,
        lpviewer_Exported, lpviewer_NoRecords, lpviewer_PictureFailed, lpviewer_Importing;
    // The period's coverage (%1 intervals recorded of %2 due, %3 missing),
    // its records of repeated stamps (%1), the irregular intervals listed
    // (%1 the time; a gap: %2 intervals), the load-duration curve's axis and
    // the name of a channel's line of the period before (%1 the channel).
    QString lpviewer_Coverage, lpviewer_RepeatedCount, lpviewer_QualityRepeated, lpviewer_QualityOutOfOrder,
        lpviewer_QualityOffGrid, lpviewer_QualityGap, lpviewer_TimeShare, lpviewer_PeriodBefore;
    // [trendini]: a trend recording that cannot go on (the reason follows),
    // and the link reaching another meter while recording (%1 the trend's
    // serial, %2 the new one).
    QString trend_RecordFailed, trend_OtherMeter;

    // Every slot from its key (the language code included); a missing key
    // gives the text "0", a missing language code 0.
    static LanguageTexts read(const IniFile &file);
};

} // namespace i18n
