#include "loadprofile/download_panel.h"

#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "loadprofile/block_read.h"
#include "loadprofile/download_state.h"
#include "loadprofile/record_reads.h"
#include "loadprofile/records.h"
#include "modbus/transactions.h"
#include "polling/poll_cycle.h"
#include "ui/back_color.h"
#include "ui/caption.h"
#include "ui/control_map.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProgressBar>

#include <vector>

namespace {

const QColor kRunningColor(0x80, 0xFF, 0x80);

using loadprofile::recordNumber;

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
    connect(&poll_, &PollCycle::recordListsDue, this, &DownloadPanel::refreshRecordLists);
    connect(&poll_, &PollCycle::mainBlockDecoded, this, [this] {
        // Lists that do not match the meter's record count wait for the
        // refresh later in the cycle.
        if (recordNumber(caption(controls_.require<QWidget>(QStringLiteral("txtLPValidIntervalNum"),
                                                            group())))
                .value_or(0)
            != state_.LPListedCount)
            status(QStringLiteral("Wait!! Setting 'Start no' & 'Stop no'"));
    });
    connect(list("Combo_LP_Start_No"), &QComboBox::activated, this,
            &DownloadPanel::Combo_LP_Start_No_Click);
    connect(list("Combo_LP_Stop_No"), &QComboBox::activated, this,
            &DownloadPanel::Combo_LP_Stop_No_Click);
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

void DownloadPanel::status(const QString &text)
{
    setCaption(controls_.require<QWidget>(QStringLiteral("Text6")), text);
}

void DownloadPanel::refreshRecordLists()
{
    const auto count = recordNumber(
        caption(controls_.require<QWidget>(QStringLiteral("txtLPValidIntervalNum"), group())));
    const long long valid = count.value_or(0);
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
    // The choices stay where they were, unless the records were cleared.
    start->setCurrentIndex(cleared ? 0 : std::max(0, start->findText(startText)));
    stop->setCurrentIndex(cleared ? 0 : std::max(0, stop->findText(stopText)));
    state_.LPListedCount = valid;
}

void DownloadPanel::Combo_LP_Start_No_Click()
{
    const auto start = recordNumber(list("Combo_LP_Start_No")->currentText());
    const auto stop = recordNumber(list("Combo_LP_Stop_No")->currentText());
    if (start && (!stop || *start > *stop))
        list("Combo_LP_Stop_No")->setCurrentIndex(list("Combo_LP_Start_No")->currentIndex());
}

void DownloadPanel::Combo_LP_Stop_No_Click() { Combo_LP_Start_No_Click(); }

void DownloadPanel::showRunning()
{
    poll_.Timer1Sec.stop();
    state_.Timer_RS_Lpf.start();
    setBackColor(controls_.require<QWidget>(QStringLiteral("Command8")), kRunningColor);
    controls_.require<QWidget>(QStringLiteral("cmdStopLPRead"))->show();
    controls_.require<QWidget>(QStringLiteral("Command8"))->hide();
}

void DownloadPanel::Command8_Click()
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
        return;
    }
    state_.LPStartDeferred = false;
    if (!link_.LinkOnline()) {
        status(QStringLiteral("Communication Failure"));
        return;
    }
    if (state_.hasRecordsLeft()) {
        if (messages_.show(MessageKind::YesNo, texts_.stopLPFread, texts_.rightdown_Box8)
            == MessageAnswer::Yes) {
            showRunning();
            return;
        }
        state_.LPDownloading = false;
        state_.Timer_RS_Lpf.stop();
        poll_.Timer1Sec.start();
    }

    const std::optional<int> count = loadprofile::channelCount(
        caption(controls_.require<QWidget>(QStringLiteral("Text_LP_Data_Counter"), group())));
    if (!count) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPChannelsInvalid);
        return;
    }
    const int channels = *count;
    std::vector<int> codes;
    const char *codeControl = group() == 0 ? "Text_LP_G1_Data" : "Text_LP_G2_Data";
    for (int i = 0; i < channels; ++i)
        codes.push_back(caption(controls_.require<QWidget>(QLatin1String(codeControl), i)).toInt());
    QString error;
    file_ = loadprofile::LoadProfileCsv::create(
        loadprofile::LoadProfileCsv::defaultFolders(programDir_),
        loadprofile::csvBaseName(caption(controls_.require<QWidget>(QStringLiteral("txtMeterSerial"))),
                                 QDate::currentDate(), group() + 1),
        QDateTime::currentDateTime(), codes, &error);
    if (!file_) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, error);
        return;
    }
    if (file_->inFallbackFolder() && !fallbackTold_) {
        fallbackTold_ = true;
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.rightdown_LPFolderFallback + QLatin1Char('\n') + file_->path());
    }

    state_.LPChannelCount = channels;
    setCaption(controls_.require<QWidget>(QStringLiteral("Command8")), QStringLiteral("Reading"));
    status(QStringLiteral("LoadProfile Data start download"));
    state_.LPNextRecord = *first - 1;
    state_.LPLastRecord = *last - 1;
    firstRecord_ = state_.LPNextRecord;
    sinceStart_.start();
    state_.LPDownloading = true;
    showRunning();
    controls_.require<QWidget>(QStringLiteral("cmdReadLP2"))->setEnabled(false);
    showProgress();
}

void DownloadPanel::Timer_RS_Lpf_Timer()
{
    if (state_.LPDownloading && !transactions_.CommBusy) {
        state_.LPBlockBusy = true;
        LPReadBlock();
        state_.LPBlockBusy = false;
    }
    if (state_.LPStartDeferred) {
        state_.LPStartDeferred = false;
        state_.Timer_RS_Lpf.stop();
        Command8_Click();
    }
}

void DownloadPanel::LPReadBlock()
{
    if (!file_)
        return;
    // A block that does not hold all its records is asked for again.
    const auto block = loadprofile::readRecordBlock({transactions_, link_}, group(),
                                                    state_.LPChannelCount, state_.LPNextRecord,
                                                    state_.LPLastRecord);
    if (!block)
        return;
    // By date: only records of the range; a later one ends the download with
    // this block.
    const loadprofile::BlockRows rows = loadprofile::blockRows(
        *block, poll_.LPReadByDate ? std::optional(std::pair(state_.LPRangeDate[0], state_.LPRangeDate[1]))
                                   : std::nullopt);
    if (rows.pastEnd)
        state_.LPLastRecord = state_.LPNextRecord;
    QString error;
    if (!file_->appendRows(rows.rows, &error)) {
        // The rows already written stay; nothing is read that cannot be kept.
        finish(texts_.LPFClick);
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                       texts_.rightdown_LPFileError + QLatin1Char('\n') + error);
        return;
    }
    state_.LPNextRecord += loadprofile::kRecordsPerBlock;
    if (state_.LPNextRecord <= state_.LPLastRecord) {
        status(QStringLiteral("Current number of download interval : %1").arg(state_.LPNextRecord));
        showProgress();
        return;
    }
    finish(QStringLiteral("Read And Save"));
    status(QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01")
               .arg(state_.LPLastRecord + 1));
}

void DownloadPanel::finish(const QString &startCaption)
{
    state_.LPDownloading = false;
    poll_.LPReadByDate = false;
    state_.Timer_RS_Lpf.stop();
    poll_.Timer1Sec.start();
    controls_.require<QWidget>(QStringLiteral("cmdReadLP2"))->setEnabled(true);
    QWidget *start = controls_.require<QWidget>(QStringLiteral("Command8"));
    setCaption(start, startCaption);
    resetBackColor(start);
    controls_.require<QWidget>(QStringLiteral("cmdStopLPRead"))->hide();
    start->show();
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
    finish(texts_.LPFClick);
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
