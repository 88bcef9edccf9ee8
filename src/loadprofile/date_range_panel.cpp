#include "loadprofile/date_range_panel.h"

#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "loadprofile/date_search.h"
#include "loadprofile/date_serial.h"
#include "loadprofile/download_panel.h"
#include "loadprofile/download_state.h"
#include "loadprofile/record_reads.h"
#include "loadprofile/records.h"
#include "modbus/transactions.h"
#include "polling/lp_status.h"
#include "polling/poll_cycle.h"
#include "ui/caption.h"
#include "ui/control_map.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QComboBox>
#include <QDateTime>
#include <QLocale>
#include <QTabWidget>

#include <cmath>
#include <utility>

namespace {

constexpr const char *kSelectors[2] = {"cmbLPReadBeginTime", "cmbLPReadEndTime"};
constexpr int kYear = 0, kMonth = 1, kDay = 2, kFields = 5;
// The tab of the download pages.
constexpr int kDownloadTab = 2;

QString dateTimeText(double serial)
{
    const QDateTime time = QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                               .addSecs(static_cast<qint64>(std::llround(serial * 86400.0)));
    return QLocale().toString(time, QLocale::ShortFormat);
}

} // namespace

DateRangePanel::DateRangePanel(LinkState &link, DownloadState &download,
                               modbus::Transactions &transactions, PollCycle &poll,
                               DownloadPanel &downloads, const i18n::LanguageTexts &texts,
                               Messages &messages, const ControlMap &controls, QObject *parent)
    : QObject(parent), link_(link), state_(download), transactions_(transactions), poll_(poll),
      downloads_(downloads), texts_(texts), messages_(messages), controls_(controls)
{
    for (int selector = 0; selector < 2; ++selector) {
        for (int field = 0; field < kFields; ++field) {
            auto *list = controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), field);
            connect(list, &QComboBox::activated, this, [this, selector, field] { dateFieldChosen(selector, field); });
            // Choosing the entry a list already shows changes nothing: only a
            // new year or month can call for another day list.
            if (field == kYear || field == kMonth)
                connect(list, &QComboBox::currentIndexChanged, this,
                        [this, selector, field] { fieldChanged_[selector][field] = true; });
        }
    }
    connect(controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel1")),
            &QComboBox::activated, this, &DateRangePanel::cmbLPReadGroupSel1_Click);
    onClicked(controls_, "cmdReadLP2", this, &DateRangePanel::cmdReadLP2_Click);
    connect(&poll_, &PollCycle::loadProfileStepDue, this, &DateRangePanel::loadProfileStep);
}

double DateRangePanel::selectorValue(int selector) const
{
    int values[kFields];
    for (int field = 0; field < kFields; ++field)
        values[field] = controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), field)
                            ->currentText()
                            .toInt();
    return loadprofile::DateToDoubleSub(values[0], values[1], values[2], values[3], values[4]);
}

void DateRangePanel::recompute(int selector, int field)
{
    const auto fieldOf = [this, selector](int f) {
        return controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), f);
    };
    const int month = fieldOf(kMonth)->currentText().toInt();
    const bool monthChanged = field < kFields && std::exchange(fieldChanged_[selector][kMonth], false);
    const bool yearChanged = field < kFields && std::exchange(fieldChanged_[selector][kYear], false);
    if (monthChanged || (yearChanged && month == 2)) {
        const int days = loadprofile::daysInMonth(fieldOf(kYear)->currentText().toInt(), month);
        fillList(fieldOf(kDay), numberTexts(1, days), 0);
    }
    state_.LPRangeDate[std::size_t(selector)] = selectorValue(selector);
}

void DateRangePanel::dateFieldChosen(int selector, int field)
{
    recompute(selector, field);
    // A begin later than the end moves the other selector's field (and, if
    // that is not enough, the next ones) to this one's choice.
    const int other = 1 - selector;
    for (int f = field; f < kFields && state_.LPRangeDate[0] > state_.LPRangeDate[1]; ++f) {
        controls_.require<QComboBox>(QLatin1String(kSelectors[other]), f)
            ->setCurrentIndex(
                controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), f)->currentIndex());
        recompute(other, f);
        recompute(selector, kFields); // the value only
    }
}

long long DateRangePanel::validCount(int group) const
{
    return poll_.reading().lpGroups[std::size_t(group)].validRecords.value_or(0);
}

void DateRangePanel::showNewestTime()
{
    const int g = controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel1"))->currentIndex();
    if (g < 0 || g > 1)
        return;
    setCaption(controls_.require<QWidget>(QStringLiteral("txtLPLastDataTime")),
               validCount(g) != 0 ? dateTimeText(state_.LPLastDataTime[std::size_t(g)])
                                  : QStringLiteral("no data"));
}

void DateRangePanel::cmbLPReadGroupSel1_Click() { showNewestTime(); }

void DateRangePanel::cmdReadLP2_Click()
{
    // Without a group there is nothing to search in.
    const int g = controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel1"))->currentIndex();
    if (g >= 0)
        requestSearch(g, state_.LPRangeDate[0], state_.LPRangeDate[1]);
}

bool DateRangePanel::requestSearch(int group, double begin, double end)
{
    // One request at a time.
    if (downloads_.searchPending() || (state_.LPDownloading && state_.Timer_RS_Lpf.isActive()))
        return false;
    state_.search = {group, begin, end};
    poll_.setLPReadByDate(true);
    downloads_.showRequestRunning(true);
    showSearchProgress(0);
    return true;
}

void DateRangePanel::showSearchProgress(int probes)
{
    setCaption(controls_.require<QWidget>(QStringLiteral("Text6")),
               texts_.rightdown_LPSearching.arg(probes));
}

double DateRangePanel::ReadLPDataDateSub(int group, long long record)
{
    return loadprofile::readRecordTime({transactions_, link_}, group, record).value_or(0);
}

bool DateRangePanel::RefreshLPLastTime(int group)
{
    const auto newest = loadprofile::readRecordTime({transactions_, link_}, group, validCount(group));
    if (newest)
        state_.LPLastDataTime[std::size_t(group)] = *newest;
    return newest.has_value();
}

void DateRangePanel::loadProfileStep()
{
    for (int g = 0; g < 2; ++g) {
        if (!poll_.lpNewData(g) || validCount(g) == 0 || !transactions_.LastTransOK)
            continue;
        // A failed read leaves the time as it was, to be read again.
        if (!RefreshLPLastTime(g))
            continue;
        poll_.clearLPNewData(g);
        if (controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel1"))->currentIndex() == g)
            showNewestTime();
    }
    // Not while a download reads: the poll is paused then, and a download
    // the search would start must wait for it.
    if (poll_.lpReadByDate() && transactions_.LastTransOK && !state_.Timer_RS_Lpf.isActive())
        LPFindStartByDate();
}

void DateRangePanel::LPFindStartByDate()
{
    const int g = state_.search.group;
    if (g < 0 || g > 1)
        return;
    const int perDay =
        loadprofile::recordsPerDay(polling::lpIntervalText(poll_.reading().lpGroups[0].intervalCode));
    // The probes wait for the meter with the window alive: a stop, or the
    // link going offline, ends the search at its next probe.
    const std::uint64_t generation = state_.generation;
    int probes = 0;
    state_.searchRunning = true;
    const loadprofile::StartRecordSearch found = loadprofile::findStartRecord(
        state_.search.begin, validCount(g), state_.LPLastDataTime[std::size_t(g)], perDay,
        [&](long long record) -> std::optional<double> {
            if (state_.generation != generation || !poll_.lpReadByDate())
                return std::nullopt;
            showSearchProgress(probes++);
            return loadprofile::readRecordTime({transactions_, link_}, g, record);
        });
    state_.searchRunning = false;
    using Outcome = loadprofile::StartRecordSearch::Outcome;
    if (state_.generation != generation || !poll_.lpReadByDate())
        return; // stopped: the stop has put the window back
    if (found.outcome == Outcome::NoRecords)
        return; // asked again at the next cycle
    if (found.outcome != Outcome::Found) {
        downloads_.endSearch();
        setCaption(controls_.require<QWidget>(QStringLiteral("Text6")), QString());
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                       found.outcome == Outcome::Failed ? texts_.rightdown_LPSearchFailed
                                                        : texts_.rightdown_LPDateUnreadable);
        return;
    }
    // Found: the download starts from here; the request is carried out.
    poll_.setLPReadByDate(false);
    auto *groupList = controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel"));
    if (groupList->currentIndex() != g) {
        groupList->setCurrentIndex(g);
        state_.LPListedCount = 0;
        downloads_.refreshRecordLists();
    }
    auto *start = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Start_No"));
    auto *stop = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Stop_No"));
    start->setCurrentIndex(int(found.record - 1));
    stop->setCurrentIndex(stop->count() - 1);
    state_.TimerEnLPRead.start();
    controls_.require<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(kDownloadTab);
}
