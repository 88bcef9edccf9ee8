#pragma once

#include "archive/archive_store.h"
#include "archive/channel_series.h"
#include "archive/period_coverage.h"
#include "archive/view_period.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace ui {
class Messages;
}
class QButtonGroup;
class QCheckBox;
class QListWidget;
class QComboBox;
class QLabel;
class QPushButton;
namespace archive {
class ArchiveThread;
}
namespace i18n {
struct LanguageTexts;
}

namespace lpviewer {

class ArchiveSettingDialog;
class ChannelList;
class LoadProfileChart;
class StatisticsGrid;

// frmLPViewer: the archive's load profile as a chart. The user picks a
// meter and group, up to eight of the channels the group holds and a period
// (day, week, month or all, stepped with previous and next); the chart and
// the statistics below it follow: lines broken where intervals are
// missing, the records of repeated stamps marked and listed with the other
// irregular intervals, the period's coverage, and on demand the channels'
// load-duration curves or the period before overlaid. It writes the
// period's records as CSV files of downloads, what the chart shows as CSV,
// the chart as PNG and SVG, and imports CSV files of downloads. Not modal.
// Every read and write runs on the archive's own thread, so the window
// never waits for the database.
class LoadProfileViewer : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxChannels = 8;

    // texts: the messages of the window's language, kept up to date by it.
    LoadProfileViewer(const i18n::LanguageTexts &texts, ui::Messages &messages, QWidget *parent);
    ~LoadProfileViewer() override;

    // Shows the window on the archive at path (created when missing) and
    // lists its meters anew, keeping the meter, group and channels chosen.
    void openArchive(const QString &path);

    // Where files come from and go to: file dialogs unless a test sets
    // them. An empty answer cancels.
    std::function<QStringList()> chooseImportFiles;
    std::function<QString()> chooseExportFolder;
    std::function<QString()> choosePicturePath;
    std::function<QString()> chooseSvgPath;
    std::function<QString()> chooseSeriesPath;

    const archive::ViewPeriod &period() const { return period_; }
    LoadProfileChart &chart() const { return *chart_; }
    // What the period shown covers (coverage beside the statistics).
    const archive::PeriodCoverage &coverage() const { return shown_.coverage; }

    // What the viewer read of a period, ready to draw.
    struct PeriodRead {
        std::vector<archive::ChannelSeries> series;
        std::vector<archive::ChannelSeries> before;  // the period before, on this one's time
        std::vector<QList<QPointF>> durations;       // each channel's load-duration curve
        archive::PeriodCoverage coverage;
        std::vector<int> codes;
        std::vector<lpdata::Record> records;    // for the export of the series
        std::vector<archive::RecordQuality> quality;
        bool current = true; // false: a newer request came first, nothing was read
        std::optional<QString> error;
    };

signals:
    // The chart and the statistics show the period last asked for.
    void periodShown();
    // An import has ended; the meter list is read anew.
    void importEnded();
    // The user chose another archive (a path or a database's address); the
    // viewer shows it already.
    void archiveChosen(const QString &archive);

private:
    void buildControls();
    void listMeters();
    void fillMeters(std::vector<archive::MeterSummary> meters);
    void fillGroups();
    void listChannels();
    void fillChannels(const std::vector<int> &codes);
    // At most kMaxChannels checked: the others cannot be checked meanwhile.
    void limitChannels();
    std::vector<int> checkedCodes() const;
    void choosePeriodKind(archive::PeriodKind kind);
    void step(int steps);
    // Reads and draws the period; results of an older request are dropped.
    void showPeriod();
    void drawPeriod(PeriodRead read);
    void drawChart();
    void listIrregular();
    const archive::MeterSummary *chosenGroup() const;

    void importFiles();
    void exportCsv();
    void savePicture();
    void saveSvg();
    void exportSeries();
    void reportArchiveError(const QString &error);

    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    std::unique_ptr<archive::ArchiveThread> archive_;
    std::vector<archive::MeterSummary> meters_;
    archive::ViewPeriod period_;
    PeriodRead shown_;
    // The newest request for a period: older ones are skipped or dropped.
    std::shared_ptr<std::atomic<quint64>> periodRequest_ = std::make_shared<std::atomic<quint64>>(0);

    QComboBox *meter_ = nullptr;
    QComboBox *group_ = nullptr;
    ChannelList *channels_ = nullptr;
    QButtonGroup *kinds_ = nullptr;
    QPushButton *previous_ = nullptr;
    QPushButton *next_ = nullptr;
    QPushButton *import_ = nullptr;
    ArchiveSettingDialog *archiveSetting_ = nullptr;
    QLabel *periodText_ = nullptr;
    QLabel *hover_ = nullptr;
    QLabel *status_ = nullptr;
    LoadProfileChart *chart_ = nullptr;
    StatisticsGrid *statistics_ = nullptr;
    QCheckBox *duration_ = nullptr;
    QCheckBox *compare_ = nullptr;
    QLabel *coverage_ = nullptr;
    QListWidget *irregular_ = nullptr;
};

} // namespace lpviewer
