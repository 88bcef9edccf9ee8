#include "gui/loadprofile/download_panel.h"

#include "gui/loadprofile/download_pace.h"
#include "gui/ui/back_color.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "links/link_state.h"
#include "loadprofile/date_search_job.h"
#include "lpdata/records.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>

namespace loadprofile {

namespace {

const QColor kRunningColor(0x80, 0xFF, 0x80);

using loadprofile::DownloadEnd;
using lpdata::recordNumber;

// Shows a record number in a list: its entry when it has one, else as typed.
void showNumber(QComboBox *list, const QString &text)
{
    const int index = list->findText(text);
    if (index >= 0)
        list->setCurrentIndex(index);
    else if (list->isEditable())
        list->setEditText(text);
}

} // namespace

DownloadPanel::DownloadPanel(session::MeterSession &session, DownloadPace &pace, const i18n::LanguageTexts &texts,
                             ui::Messages &messages, const ui::ControlMap &controls, QString programDir,
                             QObject *parent)
    : QObject(parent), session_(session), download_(pace.download()), pace_(pace), texts_(texts),
      messages_(messages), controls_(controls), programDir_(std::move(programDir))
{
    ui::onClicked(controls_, "Command8", this, &DownloadPanel::Command8_Click);
    ui::onClicked(controls_, "cmdStopLPRead", this, &DownloadPanel::cmdStopLPRead_Click);
    session::PollCycle &poll = session_.poll();
    connect(&poll, &session::PollCycle::recordListsDue, this, &DownloadPanel::refreshRecordLists);
    connect(&poll, &session::PollCycle::mainBlockDecoded, this, [this] {
        meterKnown_ = true;
        // Lists that do not match the meter's record count wait for the
        // refresh later in the cycle. A count this connection has not read
        // yet (the first cycle after going online) is no reason to wait.
        const auto &valid = session_.reading().group(group()).validRecords;
        if (valid && *valid != LPListedCount)
            status(QStringLiteral("Wait!! Setting 'Start no' & 'Stop no'"));
    });
    connect(&download_, &BlockDownload::started, this, &DownloadPanel::started);
    connect(&download_, &BlockDownload::ended, this, &DownloadPanel::ended);
    connect(&download_, &BlockDownload::progress, this,
            [this](long long next, long long done, long long asked, long long left) {
                status(QStringLiteral("Current number of download interval : %1").arg(next));
                showProgress(done, asked, left);
            });
    connect(&pace_, &DownloadPace::deferredStartDue, this, &DownloadPanel::start);
    connect(&pace_, &DownloadPace::startFoundDue, this, [this] { start(true); });
    connect(&pace_.search(), &DateSearch::searchEnded, this, [this] { showRequestRunning(false); });
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &DownloadPanel::linkOnlineChanged);
    connect(list("Combo_LP_Start_No"), &QComboBox::activated, this, &DownloadPanel::Combo_LP_Start_No_Click);
    connect(list("Combo_LP_Stop_No"), &QComboBox::activated, this, &DownloadPanel::Combo_LP_Stop_No_Click);
    for (auto [name, handler] : {std::pair{"Combo_LP_Start_No", &DownloadPanel::Combo_LP_Start_No_Validate},
                                 std::pair{"Combo_LP_Stop_No", &DownloadPanel::Combo_LP_Stop_No_Validate}})
        if (QLineEdit *typed = list(name)->lineEdit())
            connect(typed, &QLineEdit::editingFinished, this, handler);
    // A new group choice lists that group's records at the next cycle.
    connect(list("cmbLPReadGroupSel"), &QComboBox::activated, this, [this] {
        LPListedCount = 0;
        refreshRecordLists();
    });
}

QComboBox *DownloadPanel::list(const char *name) const
{
    return controls_.require<QComboBox>(QLatin1String(name));
}

// The first group while the list shows none.
meter::LpGroup DownloadPanel::group() const
{
    return meter::LpGroup::fromRow(list("cmbLPReadGroupSel")->currentIndex()).value_or(meter::LpGroup::first());
}

long long DownloadPanel::validCount(meter::LpGroup g) const
{
    return session_.reading().group(g).validRecords.value_or(0);
}

void DownloadPanel::status(const QString &text)
{
    ui::setCaption(controls_.require<QWidget>(QStringLiteral("Text6")), text);
}

lpdata::DataFolders DownloadPanel::folders() const
{
    return lpdata::LoadProfileCsv::defaultFolders(programDir_);
}

void DownloadPanel::showGroup(meter::LpGroup g)
{
    const int row = int(g.index());
    if (list("cmbLPReadGroupSel")->currentIndex() == row)
        return;
    list("cmbLPReadGroupSel")->setCurrentIndex(row);
    LPListedCount = 0;
    refreshRecordLists();
}

void DownloadPanel::refreshRecordLists()
{
    const long long valid = validCount(group());
    QComboBox *start = list("Combo_LP_Start_No");
    QComboBox *stop = list("Combo_LP_Stop_No");
    if (valid == LPListedCount && start->count() == valid)
        return;
    // Records cleared, or lists that do not hold what was listed: anew.
    const bool cleared = valid < LPListedCount;
    const bool anew = cleared || start->count() != LPListedCount;
    const QString startText = start->currentText();
    const QString stopText = stop->currentText();
    QStringList added;
    for (long long n = anew ? 1 : LPListedCount + 1; n <= valid; ++n)
        added << QString::number(n);
    for (QComboBox *box : {start, stop}) {
        const QSignalBlocker quiet(box);
        if (anew)
            box->clear();
        box->addItems(added);
    }
    // The choices, typed ones too, stay where they were, unless the records
    // were cleared.
    if (cleared) {
        start->setCurrentIndex(0);
        stop->setCurrentIndex(0);
    } else {
        showNumber(start, startText);
        showNumber(stop, stopText);
    }
    LPListedCount = valid;
}

void DownloadPanel::Combo_LP_Start_No_Click()
{
    if (const auto stop = lpdata::stopFollowingStart(list("Combo_LP_Start_No")->currentText(),
                                                          list("Combo_LP_Stop_No")->currentText()))
        showNumber(list("Combo_LP_Stop_No"), *stop);
}

void DownloadPanel::Combo_LP_Stop_No_Click() { Combo_LP_Start_No_Click(); }

void DownloadPanel::validateTyped(const char *name)
{
    QComboBox *box = list(name);
    // The message moves the focus, which would check the list again.
    if (checking_)
        return;
    if (!lpdata::typedRecordAccepted(box->currentText(), validCount(group()))) {
        checking_ = true;
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box4);
        showNumber(box, QStringLiteral("1"));
        checking_ = false;
    }
    Combo_LP_Start_No_Click();
}

void DownloadPanel::Combo_LP_Start_No_Validate() { validateTyped("Combo_LP_Start_No"); }
void DownloadPanel::Combo_LP_Stop_No_Validate() { validateTyped("Combo_LP_Stop_No"); }

void DownloadPanel::showRequestRunning(bool running)
{
    controls_.require<QWidget>(QStringLiteral("cmdStopLPRead"))->setVisible(running);
    controls_.require<QWidget>(QStringLiteral("Command8"))->setVisible(!running);
    const bool online = session_.link().LinkOnline();
    for (const char *start : {"cmdReadLP2", "cmdLPNew"})
        if (auto *button = controls_.get<QWidget>(QLatin1String(start)))
            button->setEnabled(!running && online);
    list("cmbLPReadGroupSel1")->setEnabled(!running && online);
    list("cmbLPReadGroupSel")->setEnabled(!running);
}

void DownloadPanel::showRunning()
{
    ui::setBackColor(controls_.require<QWidget>(QStringLiteral("Command8")), kRunningColor);
    showRequestRunning(true);
}

void DownloadPanel::linkOnlineChanged(bool online)
{
    if (online) {
        meterKnown_ = false;
        return;
    }
    pressWaiting_ = false;
    // An interrupted download waits for a continue; its group list is free meanwhile.
    list("cmbLPReadGroupSel")->setEnabled(true);
}

void DownloadPanel::cycleEnded()
{
    if (pressWaiting_ && meterKnown_) {
        pressWaiting_ = false;
        start(false);
    }
}

void DownloadPanel::Command8_Click()
{
    // One request at a time: the date search owns the record lists until it
    // has started its download or ended.
    if (pace_.searchPending())
        return;
    start(false);
}

void DownloadPanel::start(bool fromSearch)
{
    const auto first = lpdata::recordNumber(list("Combo_LP_Start_No")->currentText());
    const auto last = lpdata::recordNumber(list("Combo_LP_Stop_No")->currentText());
    if (!first || !last) {
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPNumberInvalid);
        return;
    }
    if (*first > *last) {
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box7);
        return;
    }
    if (pace_.LPBlockBusy()) {
        pace_.deferStart(fromSearch);
        return;
    }
    if (!session_.link().LinkOnline()) {
        status(QStringLiteral("Communication Failure"));
        return;
    }
    if (download_.hasRecordsLeft()) {
        // After a reconnect the download is compared with the meter the
        // first poll reads; until then the press waits.
        if (!meterKnown_) {
            pressWaiting_ = true;
            status(texts_.rightdown_LPMeterPending);
            return;
        }
        if (messages_.show(ui::MessageKind::YesNo, texts_.stopLPFread, texts_.rightdown_Box8) == ui::MessageAnswer::Yes) {
            continueDownload();
            return;
        }
        pace_.abandon();
    }
    const auto refused = fromSearch ? pace_.startFound(folders())
                                    : pace_.start(group(), *first, *last, std::nullopt, folders());
    if (refused)
        tellEnd(*refused);
}

void DownloadPanel::started()
{
    if (download_.file() && download_.file()->inFallbackFolder() && !fallbackTold_) {
        fallbackTold_ = true;
        messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.rightdown_LPFolderFallback + QLatin1Char('\n') + download_.file()->path());
    }
    ui::setCaption(controls_.require<QWidget>(QStringLiteral("Command8")), QStringLiteral("Reading"));
    status(QStringLiteral("LoadProfile Data start download"));
    showRunning();
    showProgress(0, download_.LPLastRecord() - download_.LPNextRecord() + 1, -1);
}

void DownloadPanel::continueDownload()
{
    const loadprofile::DownloadOrigin &began = download_.origin();
    const loadprofile::OriginChange change = download_.continueCheck();
    if (change == loadprofile::OriginChange::None) {
        // The group list shows the group being read.
        showGroup(began.group);
        pace_.resume();
        showRunning();
        return;
    }
    // Another meter, or other group settings: their records never go into
    // this download's file. It ends with the rows it has.
    const loadprofile::DownloadOrigin now = download_.originNow(began.group);
    const loadprofile::DownloadOrigin was = began;
    pace_.stop();
    if (change == loadprofile::OriginChange::OtherMeter) {
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
                       texts_.rightdown_LPOtherMeter.arg(was.serial.trimmed(), now.serial.trimmed()));
        return;
    }
    const QString setting = change == loadprofile::OriginChange::Channels ? texts_.rightdown_LPSET1
                            : change == loadprofile::OriginChange::Codes  ? texts_.rightdown_ChannelCodes
                                                                          : texts_.rightdown_LPSET2;
    const auto [before, after] = loadprofile::changedValues(change, was, now);
    messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
                   texts_.rightdown_LPGroupChanged.arg(QString::number(was.group.number()), setting, before, after));
}

void DownloadPanel::ended(const DownloadEnd &end)
{
    if (end.reason == DownloadEnd::Reason::NothingNew) {
        tellEnd(end);
        return;
    }
    QWidget *start = controls_.require<QWidget>(QStringLiteral("Command8"));
    ui::setCaption(start, texts_.LPFClick);
    ui::resetBackColor(start);
    showRequestRunning(false);
    showProgress(-1, 0, -1);
    tellEnd(end);
}

void DownloadPanel::tellEnd(const DownloadEnd &end)
{
    using Reason = DownloadEnd::Reason;
    switch (end.reason) {
    case Reason::Done:
        status(QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01").arg(end.lastRecord));
        return;
    case Reason::BadRecord:
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPBadStamp.arg(end.badRecord));
        return;
    case Reason::FileError:
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
                       download_.file() ? texts_.rightdown_LPFileError + QLatin1Char('\n') + end.detail : end.detail);
        return;
    case Reason::NoChannels:
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPChannelsInvalid);
        return;
    case Reason::NothingNew:
        messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.rightdown_LPNothingNew.arg(end.detail.isEmpty() ? QStringLiteral("-") : end.detail));
        return;
    default:
        return;
    }
}

void DownloadPanel::cmdStopLPRead_Click()
{
    if (messages_.show(ui::MessageKind::YesNo, texts_.stopLPFread, texts_.rightdown_Box11) != ui::MessageAnswer::Yes) {
        if (download_.LPDownloading()) {
            pace_.keepRunning();
            showRunning();
        }
        return;
    }
    if (download_.LPDownloading()) {
        pace_.stop();
        return;
    }
    // A date search: nothing has been written, nothing is left pending.
    pace_.endSearch();
    status(QString());
}

void DownloadPanel::showProgress(long long done, long long asked, long long secondsLeft)
{
    auto *bar = controls_.get<QProgressBar>(QStringLiteral("lpProgress"));
    if (!bar)
        return;
    bar->setVisible(done >= 0);
    if (done < 0)
        return;
    bar->setRange(0, int(std::min<long long>(asked, 1 << 30)));
    bar->setValue(int(done));
    bar->setFormat(secondsLeft < 0 ? QStringLiteral("%v / %m") : QStringLiteral("%v / %m, %1 s left").arg(secondsLeft));
}

} // namespace loadprofile
