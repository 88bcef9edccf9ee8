// The viewer's controls, their captions' keys and their layout: meter and
// group above, the channels in a strip across the window below them, then
// the period's buttons, the chart, the statistics and the status line.
#include "gui/lpviewer/load_profile_viewer.h"

#include "archive/archive_setting.h"
#include "gui/lpviewer/archive_setting_dialog.h"
#include "gui/lpviewer/channel_list.h"
#include "gui/lpviewer/keyed_control.h"
#include "gui/lpviewer/load_profile_chart.h"
#include "gui/lpviewer/statistics_grid.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QVBoxLayout>

namespace lpviewer {

using archive::PeriodKind;

using lpviewer::keyed;

void LoadProfileViewer::buildControls()
{
    setWindowTitle(QStringLiteral("Load profile viewer"));
    ui::setCaptionKey(this, lpviewer::kCaptionSection, "lpviewer_Title");
    meter_ = ui::makeNamedList(this, QStringLiteral("cmbLPViewerMeter"), 16);
    group_ = ui::makeNamedList(this, QStringLiteral("cmbLPViewerGroup"), 2);
    import_ = keyed<QPushButton>(this, "cmdLPViewerImport", "Import CSV...", "lpviewer_Import");
    auto *exportCsv = keyed<QPushButton>(this, "cmdLPViewerExportCsv", "Export CSV...", "lpviewer_ExportCsv");
    auto *series = keyed<QPushButton>(this, "cmdLPViewerExportSeries", "Export series...", "lpviewer_ExportSeries");
    auto *picture = keyed<QPushButton>(this, "cmdLPViewerExportPng", "Save picture...", "lpviewer_ExportPng");
    auto *svg = keyed<QPushButton>(this, "cmdLPViewerExportSvg", "Save SVG...", "lpviewer_ExportSvg");
    auto *chooseArchive = keyed<QPushButton>(this, "cmdLPViewerArchive", "Archive...", "lpviewer_Archive");
    archiveSetting_ = new ArchiveSettingDialog(this);
    connect(chooseArchive, &QPushButton::clicked, archiveSetting_, &ArchiveSettingDialog::edit);
    connect(archiveSetting_, &QDialog::accepted, this, [this] {
        const QString chosen = archive::chosenArchive();
        openArchive(chosen);
        emit archiveChosen(chosen);
    });
    auto *top = new QHBoxLayout;
    top->addWidget(keyed(this, "txtLPViewerMeterCaption", "Meter", "lpviewer_Meter"));
    top->addWidget(meter_);
    top->addSpacing(12);
    top->addWidget(keyed(this, "txtLPViewerGroupCaption", "Group", "lpviewer_Group"));
    top->addWidget(group_);
    top->addStretch();
    top->addWidget(import_);
    top->addWidget(exportCsv);
    top->addWidget(series);
    top->addWidget(picture);
    top->addWidget(svg);
    top->addWidget(chooseArchive);

    channels_ = ui::makeNamed<ChannelList>(this, "lstLPViewerChannels");
    auto *channelRow = new QHBoxLayout;
    channelRow->addWidget(keyed(this, "txtLPViewerChannelsCaption", "Channels (up to 8)", "lpviewer_Channels"), 0,
                          Qt::AlignTop);
    channelRow->addWidget(channels_, 1);

    kinds_ = new QButtonGroup(this);
    auto *periodRow = new QHBoxLayout;
    const struct {
        const char *name, *english, *key;
        PeriodKind kind;
    } kKinds[] = {{"cmdLPViewerDay", "Day", "lpviewer_Day", PeriodKind::Day},
                  {"cmdLPViewerWeek", "Week", "lpviewer_Week", PeriodKind::Week},
                  {"cmdLPViewerMonth", "Month", "lpviewer_Month", PeriodKind::Month},
                  {"cmdLPViewerAll", "All", "lpviewer_All", PeriodKind::All}};
    for (const auto &kind : kKinds) {
        auto *button = keyed<QPushButton>(this, kind.name, kind.english, kind.key);
        button->setCheckable(true);
        kinds_->addButton(button, int(kind.kind));
        periodRow->addWidget(button);
    }
    kinds_->button(int(PeriodKind::Week))->setChecked(true);
    period_.kind = PeriodKind::Week;
    previous_ = keyed<QPushButton>(this, "cmdLPViewerPrevious", "< Previous", "lpviewer_Previous");
    next_ = keyed<QPushButton>(this, "cmdLPViewerNext", "Next >", "lpviewer_Next");
    periodText_ = ui::makeNamed<QLabel>(this, "txtLPViewerPeriod");
    periodRow->addSpacing(16);
    periodRow->addWidget(previous_);
    periodRow->addWidget(next_);
    periodRow->addSpacing(12);
    periodRow->addWidget(periodText_);
    periodRow->addStretch();
    duration_ = keyed<QCheckBox>(this, "chkLPViewerDuration", "Load-duration curve", "lpviewer_Duration");
    compare_ = keyed<QCheckBox>(this, "chkLPViewerCompare", "Compare with the period before", "lpviewer_Compare");
    periodRow->addWidget(duration_);
    periodRow->addWidget(compare_);

    chart_ = new LoadProfileChart(this);
    hover_ = ui::makeNamed<QLabel>(this, "txtLPViewerHover");
    statistics_ = new StatisticsGrid(this);
    coverage_ = ui::makeNamed<QLabel>(this, "txtLPViewerCoverage");
    coverage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    irregular_ = ui::makeNamed<QListWidget>(this, "lstLPViewerIrregular");
    irregular_->setMaximumHeight(120);
    irregular_->setMinimumWidth(380);
    // A long entry takes two lines rather than run past the edge.
    irregular_->setWordWrap(true);
    irregular_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *quality = new QVBoxLayout;
    quality->addWidget(coverage_);
    quality->addWidget(keyed(this, "txtLPViewerIrregularCaption", "Irregular intervals", "lpviewer_Irregular"));
    quality->addWidget(irregular_);
    auto *below = new QHBoxLayout;
    below->addWidget(statistics_, 1, Qt::AlignTop);
    below->addSpacing(12);
    below->addLayout(quality);
    status_ = ui::makeNamed<QLabel>(this, "txtLPViewerStatus");
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(channelRow);
    layout->addLayout(periodRow);
    layout->addWidget(chart_, 1);
    layout->addWidget(hover_);
    layout->addLayout(below);
    layout->addWidget(status_);

    connect(meter_, &QComboBox::currentIndexChanged, this, &LoadProfileViewer::fillGroups);
    connect(group_, &QComboBox::currentIndexChanged, this, &LoadProfileViewer::listChannels);
    connect(channels_, &QListWidget::itemChanged, this, [this] {
        limitChannels();
        showPeriod();
    });
    connect(kinds_, &QButtonGroup::idClicked, this, [this](int id) { choosePeriodKind(PeriodKind(id)); });
    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    connect(chart_, &LoadProfileChart::hovered, hover_, &QLabel::setText);
    connect(import_, &QPushButton::clicked, this, &LoadProfileViewer::importFiles);
    connect(exportCsv, &QPushButton::clicked, this, &LoadProfileViewer::exportCsv);
    connect(picture, &QPushButton::clicked, this, &LoadProfileViewer::savePicture);
    connect(svg, &QPushButton::clicked, this, &LoadProfileViewer::saveSvg);
    connect(series, &QPushButton::clicked, this, &LoadProfileViewer::exportSeries);
    // The curves are made by a read that asks for them; the lines by every read.
    connect(duration_, &QCheckBox::toggled, this, [this](bool on) {
        if (on && shown_.durations.size() < shown_.codes.size())
            return showPeriod();
        drawChart();
        hover_->clear();
    });
    connect(compare_, &QCheckBox::toggled, this, &LoadProfileViewer::showPeriod);
}

} // namespace lpviewer
