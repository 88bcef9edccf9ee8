#pragma once

#include "lpdata/archived_end.h"
#include "meter/lp_group.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <optional>

namespace ui {
class ControlMap;
}
namespace ui {
class Messages;
}
namespace i18n {
struct LanguageTexts;
}
namespace session {
class MeterSession;
}

namespace loadprofile {

class DateSearch;
class DownloadPace;
class DownloadPanel;

// Downloading by date range: the begin and end selectors, the time of each
// group's newest record, and the date search's progress and outcome. The
// search itself (DateSearch, at the end of a poll cycle) and the download it
// starts run at the window's pace (DownloadPace).
class DateRangePanel : public QObject {
    Q_OBJECT
public:
    DateRangePanel(session::MeterSession &session, DownloadPace &pace, DownloadPanel &downloads,
                   const i18n::LanguageTexts &texts, ui::Messages &messages, const ui::ControlMap &controls,
                   QObject *parent = nullptr);

    // A field of the begin (selector 0) or end (selector 1) date was chosen.
    // The day list is built anew (its first day chosen) only when the month
    // changed, or the year while the month is February.
    void dateFieldChosen(int selector, int field);
    void cmbLPReadGroupSel1_Click();
    void cmdReadLP2_Click();
    // Asks for a search of the group from begin, and a download of the
    // records from begin to end (date serials); false while another search
    // or a download is on its way.
    bool requestSearch(meter::LpGroup group, double begin, double end);
    // The records of group g after the archive's last (DownloadPace::startNewOnly;
    // nothing: the archive holds none, so all of them).
    void startNewOnly(meter::LpGroup g, const std::optional<lpdata::ArchivedEnd> &archived);

    // Begin and end of the chosen date range, as date serials.
    std::array<double, 2> LPRangeDate{};

private:
    void showSearchProgress(int probes);
    void recompute(int selector, int field);
    double selectorValue(int selector) const;
    void showNewestTime();
    long long validCount(meter::LpGroup group) const;
    // The group the date search's group list shows; nothing while it shows none.
    std::optional<meter::LpGroup> chosenGroup() const;
    void rangeFound(meter::LpGroup g, long long first);

    session::MeterSession &session_;
    DownloadPace &pace_;
    DateSearch &search_;
    DownloadPanel &downloads_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    const ui::ControlMap &controls_;
    // The year or month of a selector changed since its day list was last
    // looked at (a field chosen, or moved by the other selector).
    bool fieldChanged_[2][2] = {};
};

} // namespace loadprofile
