#pragma once

#include "loadprofile/csv_file.h"
#include "loadprofile/download_origin.h"
#include "loadprofile/download_steps.h"
#include "loadprofile/records.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

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
//
// A download reads the meter and group it began with (its origin) to its
// end, whatever the group lists show later; it is continued after a
// reconnect only on the same meter with the same group settings. One
// request runs at a time: while a download or a date search runs, the stop
// button stands in place of the start button and the group lists are fixed.
class DownloadPanel : public QObject {
    Q_OBJECT
public:
    // programDir: where the "LP Data" folder is made.
    DownloadPanel(LinkState &link, DownloadState &download, modbus::Transactions &transactions,
                  PollCycle &poll, const i18n::LanguageTexts &texts, Messages &messages,
                  const ControlMap &controls, QString programDir, QObject *parent = nullptr);

    // The start button, pressed by the user.
    void Command8_Click();
    // The date search found its first record: its range is downloaded.
    void TimerEnLPRead_Timer();
    void cmdStopLPRead_Click();
    void Timer_RS_Lpf_Timer();
    void LPReadBlock();
    // Keeps the start and stop lists at "1" .. the group's valid-record count.
    void refreshRecordLists();
    void Combo_LP_Start_No_Click();
    void Combo_LP_Stop_No_Click();
    // A typed record number, checked when its list loses the focus.
    void Combo_LP_Start_No_Validate();
    void Combo_LP_Stop_No_Validate();

    // A download or a date search runs (true) or none does (false): the stop
    // button or the start buttons, the group lists fixed or free.
    void showRequestRunning(bool running);
    // A date search is asked for, running, or has found its range and is
    // about to start the download.
    bool searchPending() const;
    // Ends a date search that has not started its download.
    void endSearch();

signals:
    void downloadStarted();
    // A block was read and its rows written: the records, all of them, and
    // the meter and group they belong to.
    void blockRead(const loadprofile::DownloadOrigin &origin, const std::vector<loadprofile::Record> &records);

private:
    void start(bool fromSearch);
    void continueDownload();
    void finish();
    void resumePoll();
    void showRunning();
    void showProgress();
    void status(const QString &text);
    int group() const;
    QComboBox *list(const char *name) const;
    long long validCount(int group) const;
    // What the window shows of the meter and of group g now.
    loadprofile::DownloadOrigin originNow(int g) const;
    void validateTyped(const char *name);
    void linkOnlineChanged(bool online);

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
    // The steps of the running download, over state_'s next and last record.
    std::optional<loadprofile::DownloadSteps> steps_;
    // The poll has read the meter's serial and group status since the link
    // last went online: only then can a download be compared and continued.
    bool meterKnown_ = false;
    // A press that waits for that, and is carried out then.
    bool pressWaiting_ = false;
    // A start deferred while a block was read came from the date search.
    bool deferredFromSearch_ = false;
    // The download ended while its block was being read: the poll resumes
    // once that block has returned, not inside its waits.
    bool resumePollAfterBlock_ = false;
    bool checking_ = false;
};
