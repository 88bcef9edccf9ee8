#include "gui/loadprofile/date_range_panel.h"

#include "gui/loadprofile/download_pace.h"
#include "gui/loadprofile/download_panel.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "loadprofile/date_search_job.h"
#include "lpdata/date_serial.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QDateTime>
#include <QLocale>
#include <QTabWidget>

#include <cmath>
#include <utility>

namespace loadprofile {

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

DateRangePanel::DateRangePanel(session::MeterSession &session, DownloadPace &pace, DownloadPanel &downloads,
                               const i18n::LanguageTexts &texts, ui::Messages &messages,
                               const ui::ControlMap &controls, QObject *parent)
    : QObject(parent), session_(session), pace_(pace), search_(pace.search()), downloads_(downloads), texts_(texts),
      messages_(messages), controls_(controls)
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
    ui::onClicked(controls_, "cmdReadLP2", this, &DateRangePanel::cmdReadLP2_Click);
    connect(&search_, &DateSearch::newestTimeRead, this, [this](meter::LpGroup g) {
        if (chosenGroup() == g)
            showNewestTime();
    });
    connect(&search_, &DateSearch::searchProgress, this, &DateRangePanel::showSearchProgress);
    connect(&search_, &DateSearch::rangeFound, this,
            [this](meter::LpGroup g, long long first, long long) { rangeFound(g, first); });
    connect(&search_, &DateSearch::searchFailed, this, [this](loadprofile::DownloadEnd::Reason reason) {
        ui::setCaption(controls_.require<QWidget>(QStringLiteral("Text6")), QString());
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
                       reason == loadprofile::DownloadEnd::Reason::NoAnswer ? texts_.rightdown_LPSearchFailed
                                                                            : texts_.rightdown_LPDateUnreadable);
    });
}

double DateRangePanel::selectorValue(int selector) const
{
    int values[kFields];
    for (int field = 0; field < kFields; ++field)
        values[field] = controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), field)
                            ->currentText()
                            .toInt();
    return lpdata::DateToDoubleSub(values[0], values[1], values[2], values[3], values[4]);
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
        const int days = lpdata::daysInMonth(fieldOf(kYear)->currentText().toInt(), month);
        ui::fillList(fieldOf(kDay), ui::numberTexts(1, days), 0);
    }
    LPRangeDate[std::size_t(selector)] = selectorValue(selector);
}

void DateRangePanel::dateFieldChosen(int selector, int field)
{
    recompute(selector, field);
    // A begin later than the end moves the other selector's field (and, if
    // that is not enough, the next ones) to this one's choice.
    const int other = 1 - selector;
    for (int f = field; f < kFields && LPRangeDate[0] > LPRangeDate[1]; ++f) {
        controls_.require<QComboBox>(QLatin1String(kSelectors[other]), f)
            ->setCurrentIndex(
                controls_.require<QComboBox>(QLatin1String(kSelectors[selector]), f)->currentIndex());
        recompute(other, f);
        recompute(selector, kFields); // the value only
    }
}

long long DateRangePanel::validCount(meter::LpGroup group) const
{
    return session_.reading().group(group).validRecords.value_or(0);
}

std::optional<meter::LpGroup> DateRangePanel::chosenGroup() const
{
    return meter::LpGroup::fromRow(controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel1"))->currentIndex());
}

void DateRangePanel::showNewestTime()
{
    const std::optional<meter::LpGroup> g = chosenGroup();
    if (!g)
        return;
    ui::setCaption(controls_.require<QWidget>(QStringLiteral("txtLPLastDataTime")),
               validCount(*g) != 0 ? dateTimeText(search_.LPLastDataTime(*g))
                                   : QStringLiteral("no data"));
}

void DateRangePanel::cmbLPReadGroupSel1_Click() { showNewestTime(); }

void DateRangePanel::cmdReadLP2_Click()
{
    // Without a group there is nothing to search in.
    if (const std::optional<meter::LpGroup> g = chosenGroup())
        requestSearch(*g, LPRangeDate[0], LPRangeDate[1]);
}

bool DateRangePanel::requestSearch(meter::LpGroup group, double begin, double end)
{
    if (!pace_.requestSearch(group, begin, end))
        return false;
    downloads_.showRequestRunning(true);
    showSearchProgress(0);
    return true;
}

void DateRangePanel::startNewOnly(meter::LpGroup g, const std::optional<lpdata::ArchivedEnd> &archived)
{
    pace_.startNewOnly(g, archived, downloads_.folders());
    if (pace_.searchPending()) {
        downloads_.showRequestRunning(true);
        showSearchProgress(0);
    }
}

void DateRangePanel::showSearchProgress(int probes)
{
    ui::setCaption(controls_.require<QWidget>(QStringLiteral("Text6")),
               texts_.rightdown_LPSearching.arg(probes));
}

void DateRangePanel::rangeFound(meter::LpGroup g, long long first)
{
    // The lists show the range the download is about to read.
    downloads_.showGroup(g);
    auto *start = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Start_No"));
    auto *stop = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Stop_No"));
    start->setCurrentIndex(int(first - 1));
    stop->setCurrentIndex(stop->count() - 1);
    controls_.require<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(kDownloadTab);
}

} // namespace loadprofile
