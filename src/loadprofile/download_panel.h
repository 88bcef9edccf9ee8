#pragma once

#include "loadprofile/csv_file.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>

class ControlMap;
class DownloadState;
class LinkState;
class Messages;
class PollCycle;
class QComboBox;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

// Downloading a range of load-profile records into a CSV file: the start and
// stop buttons, the record-number lists, and the fast timer that reads one
// block of up to four records per tick while the poll cycle pauses. Every
// block's rows are on disk before the next block is asked for, and a block
// that fails is asked for again, so a download that goes on after a failure
// loses and repeats no record.
class DownloadPanel : public QObject {
    Q_OBJECT
public:
    // programDir: where the "LP Data" folder is made.
    DownloadPanel(LinkState &link, DownloadState &download, modbus::Transactions &transactions,
                  PollCycle &poll, const i18n::LanguageTexts &texts, Messages &messages,
                  const ControlMap &controls, QString programDir, QObject *parent = nullptr);

    void Command8_Click();
    void cmdStopLPRead_Click();
    void Timer_RS_Lpf_Timer();
    void LPReadBlock();
    // Keeps the start and stop lists at "1" .. the group's valid-record count.
    void refreshRecordLists();
    void Combo_LP_Start_No_Click();
    void Combo_LP_Stop_No_Click();

private:
    bool startNewDownload();
    void finish(const QString &startCaption);
    void showRunning();
    void showProgress();
    void status(const QString &text);
    int group() const;
    QComboBox *list(const char *name) const;

    LinkState &link_;
    DownloadState &state_;
    modbus::Transactions &transactions_;
    PollCycle &poll_;
    const i18n::LanguageTexts &texts_;
    Messages &messages_;
    const ControlMap &controls_;
    QString programDir_;
    std::optional<loadprofile::LoadProfileCsv> file_;
    long long firstRecord_ = 0;
    QElapsedTimer sinceStart_;
    bool fallbackTold_ = false;
};
