#pragma once

#include <QObject>

class ControlMap;
class DownloadPanel;
class DownloadState;
class LinkState;
class Messages;
class PollCycle;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

// Downloading by date range: the begin and end selectors, the time of each
// group's newest record, and the search that turns the begin into the first
// record number. The poll cycle runs the search (and the newest-record
// times) at the end of a cycle; the download itself is DownloadPanel's,
// with the range as a filter on the records it writes.
class DateRangePanel : public QObject {
    Q_OBJECT
public:
    DateRangePanel(LinkState &link, DownloadState &download, modbus::Transactions &transactions,
                   PollCycle &poll, DownloadPanel &downloads, const i18n::LanguageTexts &texts,
                   Messages &messages, const ControlMap &controls, QObject *parent = nullptr);

    // A field of the begin (selector 0) or end (selector 1) date was chosen.
    // The day list is built anew (its first day chosen) only when the month
    // changed, or the year while the month is February.
    void dateFieldChosen(int selector, int field);
    void cmbLPReadGroupSel1_Click();
    void cmdReadLP2_Click();
    // Asks for a search of group (0 or 1) from begin, and a download of the
    // records from begin to end (date serials); false while another search
    // or a download is on its way.
    bool requestSearch(int group, double begin, double end);

    // The time stamp of a record (number from 1) of group 0 or 1; 0 when it
    // cannot be read.
    double ReadLPDataDateSub(int group, long long record);
    // Reads the time of the group's newest record; false when the read failed.
    bool RefreshLPLastTime(int group);
    void LPFindStartByDate();

private:
    void loadProfileStep();
    void showSearchProgress(int probes);
    void recompute(int selector, int field);
    double selectorValue(int selector) const;
    void showNewestTime();
    long long validCount(int group) const;

    LinkState &link_;
    DownloadState &state_;
    modbus::Transactions &transactions_;
    PollCycle &poll_;
    DownloadPanel &downloads_;
    const i18n::LanguageTexts &texts_;
    Messages &messages_;
    const ControlMap &controls_;
    // The year or month of a selector changed since its day list was last
    // looked at (a field chosen, or moved by the other selector).
    bool fieldChanged_[2][2] = {};
};
