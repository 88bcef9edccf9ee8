#include "loadprofile/download_panel.h"

#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "loadprofile/download_state.h"
#include "loadprofile/record_reads.h"
#include "loadprofile/records.h"
#include "modbus/transactions.h"
#include "polling/lp_status.h"
#include "polling/poll_cycle.h"
#include "ui/back_color.h"
#include "ui/caption.h"
#include "ui/control_map.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>

#include <vector>

namespace {

const QColor kRunningColor(0x80, 0xFF, 0x80);

using loadprofile::recordNumber;

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

DownloadPanel::DownloadPanel(LinkState &link, DownloadState &download,
                             modbus::Transactions &transactions, PollCycle &poll,
                             const i18n::LanguageTexts &texts, Messages &messages,
                             const ControlMap &controls, QString programDir, QObject *parent)
    : QObject(parent), link_(link), state_(download), transactions_(transactions), poll_(poll),
      texts_(texts), messages_(messages), controls_(controls), programDir_(std::move(programDir))
{
    onClicked(controls_, "Command8", this, &DownloadPanel::Command8_Click);
    onClicked(controls_, "cmdStopLPRead", this, &DownloadPanel::cmdStopLPRead_Click);
    connect(&state_.Timer_RS_Lpf, &QTimer::timeout, this, &DownloadPanel::Timer_RS_Lpf_Timer);
    connect(&state_.TimerEnLPRead, &QTimer::timeout, this, &DownloadPanel::TimerEnLPRead_Timer);
    connect(&poll_, &PollCycle::recordListsDue, this, &DownloadPanel::refreshRecordLists);
    connect(&poll_, &PollCycle::mainBlockDecoded, this, [this] {
        meterKnown_ = true;
        // Lists that do not match the meter's record count wait for the
        // refresh later in the cycle. A count this connection has not read
        // yet (the first cycle after going online) is no reason to wait.
        const auto &valid = poll_.reading().lpGroups[std::size_t(group())].validRecords;
        if (valid && *valid != state_.LPListedCount)
            status(QStringLiteral("Wait!! Setting 'Start no' & 'Stop no'"));
    });
    connect(&poll_, &PollCycle::loadProfileStepDue, this, [this] {
        if (pressWaiting_ && meterKnown_) {
            pressWaiting_ = false;
            start(false);
        }
    });
    connect(&link_, &LinkState::linkOnlineChanged, this, &DownloadPanel::linkOnlineChanged);
    connect(list("Combo_LP_Start_No"), &QComboBox::activated, this,
            &DownloadPanel::Combo_LP_Start_No_Click);
    connect(list("Combo_LP_Stop_No"), &QComboBox::activated, this,
            &DownloadPanel::Combo_LP_Stop_No_Click);
    for (auto [name, handler] : {std::pair{"Combo_LP_Start_No", &DownloadPanel::Combo_LP_Start_No_Validate},
                                 std::pair{"Combo_LP_Stop_No", &DownloadPanel::Combo_LP_Stop_No_Validate}})
        if (QLineEdit *typed = list(name)->lineEdit())
            connect(typed, &QLineEdit::editingFinished, this, handler);
    // A new group choice lists that group's records at the next cycle.
    connect(list("cmbLPReadGroupSel"), &QComboBox::activated, this, [this] {
        state_.LPListedCount = 0;
        refreshRecordLists();
    });
}

QComboBox *DownloadPanel::list(const char *name) const
{
    return controls_.require<QComboBox>(QLatin1String(name));
}

int DownloadPanel::group() const { return list("cmbLPReadGroupSel")->currentIndex() == 1 ? 1 : 0; }

long long DownloadPanel::validCount(int g) const
{
    return poll_.reading().lpGroups[std::size_t(g)].validRecords.value_or(0);
}

void DownloadPanel::status(const QString &text)
{
    setCaption(controls_.require<QWidget>(QStringLiteral("Text6")), text);
}

loadprofile::DownloadOrigin DownloadPanel::originNow(int g) const
{
    const polling::Reading &reading = poll_.reading();
    const polling::LPGroupStatus &status = reading.lpGroups[std::size_t(g)];
    loadprofile::DownloadOrigin origin;
    origin.serial = reading.identity ? reading.identity->serial : QString();
    origin.group = g;
    // A count the group cannot have is no channel count.
    if (status.channels >= 1 && int(status.channels) <= polling::kLPMaxChannels[g])
        origin.channels = int(status.channels);
    origin.codes.assign(status.codes.begin(), status.codes.begin() + origin.channels);
    origin.interval = polling::lpIntervalText(status.intervalCode);
    return origin;
}

void DownloadPanel::refreshRecordLists()
{
    const long long valid = validCount(group());
    QComboBox *start = list("Combo_LP_Start_No");
    QComboBox *stop = list("Combo_LP_Stop_No");
    if (valid == state_.LPListedCount && start->count() == valid)
        return;
    // Records cleared, or lists that do not hold what was listed: anew.
    const bool cleared = valid < state_.LPListedCount;
    const bool anew = cleared || start->count() != state_.LPListedCount;
    const QString startText = start->currentText();
    const QString stopText = stop->currentText();
    QStringList added;
    for (long long n = anew ? 1 : state_.LPListedCount + 1; n <= valid; ++n)
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
    state_.LPListedCount = valid;
}

void DownloadPanel::Combo_LP_Start_No_Click()
{
    if (const auto stop = loadprofile::stopFollowingStart(list("Combo_LP_Start_No")->currentText(),
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
    if (!loadprofile::typedRecordAccepted(box->currentText(), validCount(group()))) {
        checking_ = true;
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box4);
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
    for (const char *start : {"cmdReadLP2", "cmdLPNew"})
        if (auto *button = controls_.get<QWidget>(QLatin1String(start)))
            button->setEnabled(!running && link_.LinkOnline());
    list("cmbLPReadGroupSel1")->setEnabled(!running && link_.LinkOnline());
    list("cmbLPReadGroupSel")->setEnabled(!running);
}

bool DownloadPanel::searchPending() const
{
    return poll_.lpReadByDate() || state_.TimerEnLPRead.isActive();
}

void DownloadPanel::endSearch()
{
    poll_.setLPReadByDate(false);
    state_.TimerEnLPRead.stop();
    ++state_.generation;
    showRequestRunning(false);
}

void DownloadPanel::showRunning()
{
    poll_.pause();
    resumePollAfterBlock_ = false;
    state_.Timer_RS_Lpf.start();
    setBackColor(controls_.require<QWidget>(QStringLiteral("Command8")), kRunningColor);
    showRequestRunning(true);
}

void DownloadPanel::resumePoll()
{
    if (state_.LPBlockBusy)
        resumePollAfterBlock_ = true;
    else
        poll_.resume();
}

void DownloadPanel::linkOnlineChanged(bool online)
{
    if (online) {
        meterKnown_ = false;
        return;
    }
    pressWaiting_ = false;
    // A date search that has not begun to read is dropped (one that reads
    // finds its probes failing and says so); an interrupted download waits
    // for a continue, and its group list is free meanwhile.
    if (searchPending() && !state_.searchRunning)
        endSearch();
    list("cmbLPReadGroupSel")->setEnabled(true);
}

void DownloadPanel::Command8_Click()
{
    // One request at a time: the date search owns the record lists until it
    // has started its download or ended.
    if (searchPending())
        return;
    start(false);
}

void DownloadPanel::TimerEnLPRead_Timer() { start(true); }

void DownloadPanel::start(bool fromSearch)
{
    const auto first = recordNumber(list("Combo_LP_Start_No")->currentText());
    const auto last = recordNumber(list("Combo_LP_Stop_No")->currentText());
    if (!first || !last) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPNumberInvalid);
        return;
    }
    if (*first > *last) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box7);
        return;
    }
    if (state_.LPBlockBusy) {
        state_.LPStartDeferred = true;
        deferredFromSearch_ = fromSearch;
        return;
    }
    state_.LPStartDeferred = false;
    if (!link_.LinkOnline()) {
        status(QStringLiteral("Communication Failure"));
        return;
    }
    if (state_.hasRecordsLeft()) {
        // After a reconnect the download is compared with the meter the
        // first poll reads; until then the press waits.
        if (!meterKnown_) {
            pressWaiting_ = true;
            status(texts_.rightdown_LPMeterPending);
            return;
        }
        if (messages_.show(MessageKind::YesNo, texts_.stopLPFread, texts_.rightdown_Box8)
            == MessageAnswer::Yes) {
            continueDownload();
            return;
        }
        state_.LPDownloading = false;
        ++state_.generation;
        state_.Timer_RS_Lpf.stop();
        poll_.resume();
    }

    const int g = group();
    loadprofile::DownloadOrigin origin = originNow(g);
    if (origin.channels == 0) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPChannelsInvalid);
        return;
    }
    QString error;
    file_ = loadprofile::LoadProfileCsv::create(
        loadprofile::LoadProfileCsv::defaultFolders(programDir_),
        loadprofile::csvBaseName(origin.serial, QDate::currentDate(), g + 1),
        QDateTime::currentDateTime(), origin.codes, &error);
    if (!file_) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, error);
        return;
    }
    if (file_->inFallbackFolder() && !fallbackTold_) {
        fallbackTold_ = true;
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.rightdown_LPFolderFallback + QLatin1Char('\n') + file_->path());
    }

    state_.origin = std::move(origin);
    state_.LPChannelCount = state_.origin.channels;

    ++state_.generation;
    emit downloadStarted();
    setCaption(controls_.require<QWidget>(QStringLiteral("Command8")), QStringLiteral("Reading"));
    status(QStringLiteral("LoadProfile Data start download"));
    state_.LPNextRecord = *first - 1;
    state_.LPLastRecord = *last - 1;
    // By date: only records of the range; a later one ends the download.
    steps_.emplace(state_.LPNextRecord, state_.LPLastRecord,
                   fromSearch ? std::optional(std::pair(state_.search.begin, state_.search.end)) : std::nullopt);
    firstRecord_ = state_.LPNextRecord;
    sinceStart_.start();
    state_.LPDownloading = true;
    showRunning();
    showProgress();
}

void DownloadPanel::continueDownload()
{
    const loadprofile::DownloadOrigin now = originNow(state_.origin.group);
    const loadprofile::OriginChange change = loadprofile::originChange(state_.origin, now);
    if (change == loadprofile::OriginChange::None) {
        // The group list shows the group being read.
        if (list("cmbLPReadGroupSel")->currentIndex() != state_.origin.group) {
            list("cmbLPReadGroupSel")->setCurrentIndex(state_.origin.group);
            state_.LPListedCount = 0;
            refreshRecordLists();
        }
        showRunning();
        return;
    }
    // Another meter, or other group settings: their records never go into
    // this download's file. It ends with the rows it has.
    finish();
    if (change == loadprofile::OriginChange::OtherMeter) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                       texts_.rightdown_LPOtherMeter.arg(state_.origin.serial.trimmed(),
                                                         now.serial.trimmed()));
        return;
    }
    const QString setting = change == loadprofile::OriginChange::Channels ? texts_.rightdown_LPSET1
                            : change == loadprofile::OriginChange::Codes  ? texts_.rightdown_ChannelCodes
                                                                          : texts_.rightdown_LPSET2;
    const auto [before, after] = loadprofile::changedValues(change, state_.origin, now);
    messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                   texts_.rightdown_LPGroupChanged.arg(QString::number(state_.origin.group + 1),
                                                       setting, before, after));
}

void DownloadPanel::Timer_RS_Lpf_Timer()
{
    if (state_.LPDownloading && !transactions_.CommBusy) {
        state_.LPBlockBusy = true;
        LPReadBlock();
        state_.LPBlockBusy = false;
        if (std::exchange(resumePollAfterBlock_, false))
            poll_.resume();
    }
    if (state_.LPStartDeferred) {
        state_.LPStartDeferred = false;
        state_.Timer_RS_Lpf.stop();
        start(std::exchange(deferredFromSearch_, false));
    }
}

void DownloadPanel::LPReadBlock()
{
    if (!file_ || !steps_)
        return;
    const std::uint64_t generation = state_.generation;
    using Step = loadprofile::DownloadSteps::Step;
    const Step step = steps_->read({transactions_, link_}, state_.origin);
    // Stopped or replaced while the block was on its way: its records belong
    // to no running download.
    if (generation != state_.generation || !state_.LPDownloading)
        return;
    if (step.kind == Step::Kind::BadRecord) {
        finish();
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPBadStamp.arg(step.badRecord));
        return;
    }
    // A block that does not hold all its records is asked for again.
    if (step.kind == Step::Kind::Again)
        return;
    QString error;
    if (!file_->appendRows(step.rows, &error)) {
        // The rows already written stay; nothing is read that cannot be kept.
        finish();
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                       texts_.rightdown_LPFileError + QLatin1Char('\n') + error);
        return;
    }
    emit blockRead(state_.origin, step.records);
    steps_->taken(step);
    if (!steps_->done()) {
        status(QStringLiteral("Current number of download interval : %1").arg(state_.LPNextRecord));
        showProgress();
        return;
    }
    finish();
    status(QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01")
               .arg(state_.LPLastRecord + 1));
}

void DownloadPanel::finish()
{
    state_.LPDownloading = false;
    poll_.setLPReadByDate(false);
    ++state_.generation;
    state_.Timer_RS_Lpf.stop();
    resumePoll();
    QWidget *start = controls_.require<QWidget>(QStringLiteral("Command8"));
    setCaption(start, texts_.LPFClick);
    resetBackColor(start);
    showRequestRunning(false);
    showProgress();
}

void DownloadPanel::cmdStopLPRead_Click()
{
    if (messages_.show(MessageKind::YesNo, texts_.stopLPFread, texts_.rightdown_Box11)
        != MessageAnswer::Yes) {
        if (state_.LPDownloading)
            showRunning();
        return;
    }
    if (state_.LPDownloading) {
        finish();
        return;
    }
    // A date search: nothing has been written, nothing is left pending.
    endSearch();
    status(QString());
}

void DownloadPanel::showProgress()
{
    auto *bar = controls_.get<QProgressBar>(QStringLiteral("lpProgress"));
    if (!bar)
        return;
    bar->setVisible(state_.LPDownloading);
    if (!state_.LPDownloading)
        return;
    const long long asked = state_.LPLastRecord - firstRecord_ + 1;
    const long long done = std::clamp(state_.LPNextRecord - firstRecord_, 0LL, asked);
    bar->setRange(0, int(std::min<long long>(asked, 1 << 30)));
    bar->setValue(int(done));
    const long long left = done > 0 ? sinceStart_.elapsed() * (asked - done) / done / 1000 : -1;
    bar->setFormat(left < 0 ? QStringLiteral("%v / %m")
                            : QStringLiteral("%v / %m, %1 s left").arg(left));
}
