#pragma once

#include "loadprofile/block_download.h"
#include "meter/lp_group.h"
#include "lpdata/csv_file.h"

#include <QObject>
#include <QString>

namespace ui {
class ControlMap;
}
namespace ui {
class Messages;
}
class QComboBox;
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

namespace loadprofile {

class DownloadPace;

// The window's side of load-profile downloads (the download itself is the
// BlockDownload on the session): the start and stop buttons, the record-number
// lists, the status line, the progress bar, and the questions and messages.
// The download and its date search run at the window's pace (DownloadPace).
//
// A download reads the meter and group it began with to its end, whatever
// the group lists show later; it is continued after a reconnect only on the
// same meter with the same group settings. One request runs at a time:
// while a download or a date search runs, the stop button stands in place of
// the start button and the group lists are fixed.
class DownloadPanel : public QObject {
    Q_OBJECT
public:
    // programDir: where the "LP Data" folder is made.
    DownloadPanel(session::MeterSession &session, DownloadPace &pace, const i18n::LanguageTexts &texts,
                  ui::Messages &messages, const ui::ControlMap &controls, QString programDir, QObject *parent = nullptr);

    // The start button, pressed by the user.
    void Command8_Click();
    void cmdStopLPRead_Click();
    // Keeps the start and stop lists at "1" .. the group's valid-record count.
    void refreshRecordLists();
    void Combo_LP_Start_No_Click();
    void Combo_LP_Stop_No_Click();
    // A typed record number, checked when its list loses the focus.
    void Combo_LP_Start_No_Validate();
    void Combo_LP_Stop_No_Validate();
    // The end of a poll cycle that is still online: a start pressed before
    // the meter was read after a reconnect is carried out once it has been.
    void cycleEnded();

    // A download or a date search runs (true) or none does (false): the stop
    // button or the start buttons, the group lists fixed or free.
    void showRequestRunning(bool running);
    // The group lists show group g, and the record lists its records.
    void showGroup(meter::LpGroup g);
    // The folders the download files go to.
    lpdata::DataFolders folders() const;
    // Says what became of a download (or why it did not start).
    void tellEnd(const loadprofile::DownloadEnd &end);

private:
    void start(bool fromSearch);
    void continueDownload();
    void showRunning();
    void showProgress(long long done, long long asked, long long secondsLeft);
    void status(const QString &text);
    meter::LpGroup group() const;
    QComboBox *list(const char *name) const;
    long long validCount(meter::LpGroup group) const;
    void validateTyped(const char *name);
    void linkOnlineChanged(bool online);
    void started();
    void ended(const loadprofile::DownloadEnd &end);

    session::MeterSession &session_;
    BlockDownload &download_;
    DownloadPace &pace_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    const ui::ControlMap &controls_;
    QString programDir_;
    bool fallbackTold_ = false;
    // The valid-record count the record-number lists were last built for.
    long long LPListedCount = 0;
    // The poll has read the meter's serial and group status since the link
    // last went online: only then can a download be compared and continued.
    bool meterKnown_ = false;
    // A press that waits for that, and is carried out then.
    bool pressWaiting_ = false;
    bool checking_ = false;
};

} // namespace loadprofile
