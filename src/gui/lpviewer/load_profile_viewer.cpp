#include "gui/lpviewer/load_profile_viewer.h"

#include "archive/archive_thread.h"
#include "archive/stamp_text.h"
#include "gui/lpviewer/channel_list.h"
#include "gui/lpviewer/load_profile_chart.h"
#include "gui/lpviewer/statistics_grid.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "lpdata/channel_codes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QListWidget>

namespace lpviewer {

using archive::PeriodKind;

namespace {

// More than the chart has pixels across: a month of quarter hours is drawn
// whole, a year thinned to the peaks and dips of each column.
constexpr int kPlotColumns = 1500;

// The period as dates: one day, first to last day, or the month.
QString periodText(const archive::ViewPeriod &period)
{
    const QString first = period.start.toString(u"yyyy-MM-dd");
    const QString last = period.end.addSecs(-1).toString(u"yyyy-MM-dd");
    switch (period.kind) {
    case PeriodKind::Day:
        return first;
    case PeriodKind::Month:
        return period.start.toString(u"yyyy-MM");
    case PeriodKind::Week:
    case PeriodKind::All:
        break;
    }
    return first + QStringLiteral(" \u2013 ") + last;
}

using PeriodRead = LoadProfileViewer::PeriodRead;

// What a read of a period makes besides the chart's lines.
struct ReadAlso {
    bool before = false;    // the period before, moved onto this one's time
    bool durations = false; // the load-duration curves
};

// On the archive's thread: the channels of the period, ready to draw.
// first and last: the group's oldest and newest record, where its coverage
// begins and ends.
PeriodRead readPeriod(archive::ArchiveStore &store, const QString &serial, int group, const std::vector<int> &codes,
                      const archive::ViewPeriod &period, const QDateTime &first, const QDateTime &last, ReadAlso also)
{
    PeriodRead read;
    read.codes = codes;
    QString error;
    auto records = store.records(serial, group, codes, period.range(), &error, &read.quality);
    if (!records) {
        read.error = error;
        return read;
    }
    read.records = std::move(*records);
    const double from = double(period.start.toMSecsSinceEpoch());
    const double to = double(period.end.toMSecsSinceEpoch());
    read.series = archive::channelSeries(read.records, codes, read.quality);
    for (archive::ChannelSeries &one : read.series)
        archive::thinSeries(&one, from, to, kPlotColumns);
    read.coverage = archive::periodCoverage(read.records, read.quality, std::max(period.start, first),
                                            std::min(period.end, last.addSecs(1)));
    for (std::size_t c = 0; also.durations && c < codes.size(); ++c)
        read.durations.push_back(archive::thinnedForPlot(
            archive::loadDurationCurve(read.records, c, read.coverage), 0, 100, kPlotColumns));

    if (also.before && period.kind != PeriodKind::All) {
        const archive::ViewPeriod before = archive::stepped(period, -1);
        std::vector<archive::RecordQuality> quality;
        const auto earlier = store.records(serial, group, codes, before.range(), &error, &quality);
        if (!earlier) {
            read.error = error;
            return read;
        }
        read.before = archive::channelSeries(*earlier, codes, quality);
        const double shift = double(before.start.msecsTo(period.start));
        for (archive::ChannelSeries &one : read.before) {
            for (QPointF &point : one.points)
                point.rx() += shift;
            archive::thinSeries(&one, from, to, kPlotColumns);
        }
    }
    return read;
}

} // namespace

LoadProfileViewer::LoadProfileViewer(const i18n::LanguageTexts &texts, ui::Messages &messages, QWidget *parent)
    : QWidget(parent, Qt::Window), texts_(texts), messages_(messages)
{
    setObjectName(QStringLiteral("frmLPViewer"));
    buildControls();
    resize(1160, 780);

    chooseImportFiles = [this] {
        return QFileDialog::getOpenFileNames(this, ui::caption(import_), QString(), QStringLiteral("CSV (*.csv)"));
    };
    chooseExportFolder = [this] { return QFileDialog::getExistingDirectory(this, windowTitle()); };
    const auto savePath = [this](const QString &suffix, const QString &filter) {
        return QFileDialog::getSaveFileName(
            this, windowTitle(),
            QStringLiteral("%1_%2.%3").arg(meter_->currentText(), period_.start.toString(u"yyyyMMdd"), suffix), filter);
    };
    choosePicturePath = [savePath] { return savePath(QStringLiteral("png"), QStringLiteral("PNG (*.png)")); };
    chooseSvgPath = [savePath] { return savePath(QStringLiteral("svg"), QStringLiteral("SVG (*.svg)")); };
    chooseSeriesPath = [savePath] { return savePath(QStringLiteral("csv"), QStringLiteral("CSV (*.csv)")); };
}

LoadProfileViewer::~LoadProfileViewer() = default;

void LoadProfileViewer::openArchive(const QString &path)
{
    if (!archive_ || archive_->path() != path) {
        archive_ = std::make_unique<archive::ArchiveThread>(path);
        connect(archive_.get(), &archive::ArchiveThread::openFailed, this, [this](const QString &error) {
            // No job ran: an import asked for is over.
            import_->setEnabled(true);
            status_->clear();
            reportArchiveError(error);
        });
        connect(archive_.get(), &archive::ArchiveThread::noted, this,
                [this](const QString &note) { messages_.show(ui::MessageKind::Exclamation, QString(), note); });
    }
    show();
    raise();
    activateWindow();
    listMeters();
}

void LoadProfileViewer::reportArchiveError(const QString &error)
{
    messages_.show(ui::MessageKind::Critical, QString(), texts_.lpviewer_ArchiveError + QLatin1Char('\n') + error);
}

void LoadProfileViewer::listMeters()
{
    using Listed = std::optional<std::vector<archive::MeterSummary>>;
    auto error = std::make_shared<QString>();
    archive_->run<Listed>([error](archive::ArchiveStore &store) { return store.meters(error.get()); },
                          [this, error](Listed meters) {
                              if (!meters)
                                  return reportArchiveError(*error);
                              fillMeters(std::move(*meters));
                          });
}

void LoadProfileViewer::fillMeters(std::vector<archive::MeterSummary> meters)
{
    meters_ = std::move(meters);
    QStringList serials;
    for (const archive::MeterSummary &m : meters_)
        if (!serials.contains(m.serial))
            serials << m.serial;
    const QString chosen = meter_->currentText();
    ui::fillList(meter_, serials, std::max(0, int(serials.indexOf(chosen))));
    if (serials.isEmpty()) // no choice made, none announced
        fillGroups();
}

void LoadProfileViewer::fillGroups()
{
    QStringList groups;
    for (const archive::MeterSummary &m : meters_)
        if (m.serial == meter_->currentText())
            groups << QString::number(m.group);
    const QString chosen = group_->currentText();
    ui::fillList(group_, groups, std::max(0, int(groups.indexOf(chosen))));
    if (groups.isEmpty())
        listChannels();
}

const archive::MeterSummary *LoadProfileViewer::chosenGroup() const
{
    for (const archive::MeterSummary &m : meters_)
        if (m.serial == meter_->currentText() && QString::number(m.group) == group_->currentText())
            return &m;
    return nullptr;
}

void LoadProfileViewer::listChannels()
{
    const archive::MeterSummary *chosen = chosenGroup();
    if (!chosen) {
        fillChannels({});
        return;
    }
    // The period that holds the group's newest record, in the kind chosen.
    period_ = archive::periodHolding(period_.kind, chosen->last, chosen->first, chosen->last);
    using Listed = std::optional<std::vector<int>>;
    auto error = std::make_shared<QString>();
    const QString serial = chosen->serial;
    const int group = chosen->group;
    archive_->run<Listed>(
        [=](archive::ArchiveStore &store) { return store.channelCodes(serial, group, error.get()); },
        [this, error](Listed codes) {
            if (!codes)
                return reportArchiveError(*error);
            fillChannels(*codes);
        });
}

void LoadProfileViewer::fillChannels(const std::vector<int> &codes)
{
    const std::vector<int> before = checkedCodes();
    {
        const QSignalBlocker quiet(channels_);
        channels_->clear();
        for (const int code : codes) {
            auto *item = new QListWidgetItem(lpdata::LPDataName(code), channels_);
            item->setData(Qt::UserRole, code);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
            const bool keep = std::find(before.begin(), before.end(), code) != before.end();
            item->setCheckState(keep ? Qt::Checked : Qt::Unchecked);
        }
        // A group seen for the first time shows its first channel.
        if (checkedCodes().empty() && channels_->count() > 0)
            channels_->item(0)->setCheckState(Qt::Checked);
    }
    channels_->fitEntries();
    limitChannels();
    showPeriod();
}

void LoadProfileViewer::limitChannels()
{
    const bool full = checkedCodes().size() >= std::size_t(lpdata::kMaxChannels);
    const QSignalBlocker quiet(channels_);
    for (int i = 0; i < channels_->count(); ++i) {
        QListWidgetItem *item = channels_->item(i);
        const bool open = !full || item->checkState() == Qt::Checked;
        item->setFlags(open ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
    }
}

std::vector<int> LoadProfileViewer::checkedCodes() const
{
    std::vector<int> codes;
    for (int i = 0; i < channels_->count(); ++i)
        if (channels_->item(i)->checkState() == Qt::Checked)
            codes.push_back(channels_->item(i)->data(Qt::UserRole).toInt());
    return codes;
}

void LoadProfileViewer::choosePeriodKind(PeriodKind kind)
{
    const archive::MeterSummary *chosen = chosenGroup();
    const QDateTime first = chosen ? chosen->first : QDateTime();
    const QDateTime last = chosen ? chosen->last : QDateTime();
    // The new period holds the start of the one shown; leaving All, the newest record.
    const QDateTime anchor = period_.kind == PeriodKind::All || !period_.start.isValid() ? last : period_.start;
    period_ = archive::periodHolding(kind, anchor, first, last);
    showPeriod();
}

void LoadProfileViewer::step(int steps)
{
    period_ = archive::stepped(period_, steps);
    showPeriod();
}

void LoadProfileViewer::showPeriod()
{
    const archive::MeterSummary *chosen = chosenGroup();
    const std::vector<int> codes = checkedCodes();
    const quint64 request = ++*periodRequest_;
    periodText_->setText(chosen ? periodText(period_) : QString());
    previous_->setEnabled(chosen && period_.kind != PeriodKind::All && period_.start > chosen->first);
    next_->setEnabled(chosen && period_.kind != PeriodKind::All && period_.end <= chosen->last);
    if (!chosen || codes.empty()) {
        drawPeriod({});
        return;
    }

    const QString serial = chosen->serial;
    const int group = chosen->group;
    const QDateTime first = chosen->first;
    const QDateTime last = chosen->last;
    const ReadAlso also{compare_->isChecked(), duration_->isChecked()};
    const archive::ViewPeriod period = period_;
    auto latest = periodRequest_;
    archive_->run<PeriodRead>(
        [=](archive::ArchiveStore &store) {
            // Stepping fast queues requests: only the newest is worth reading.
            if (*latest != request) {
                PeriodRead skipped;
                skipped.current = false;
                return skipped;
            }
            return readPeriod(store, serial, group, codes, period, first, last, also);
        },
        [this, request](PeriodRead read) {
            if (!read.current || *periodRequest_ != request)
                return;
            if (read.error)
                reportArchiveError(*read.error);
            drawPeriod(std::move(read));
        });
}

void LoadProfileViewer::drawPeriod(PeriodRead read)
{
    shown_ = std::move(read);
    drawChart();
    statistics_->showStatistics(shown_.series);
    // Texts not loaded yet (a window without its language) say nothing.
    const archive::PeriodCoverage &c = shown_.coverage;
    QStringList coverage;
    if (c.intervalSeconds > 0 && c.due > 0 && !texts_.lpviewer_Coverage.isEmpty())
        coverage << texts_.lpviewer_Coverage.arg(c.present).arg(c.due).arg(c.missing);
    if (c.repeated > 0 && !texts_.lpviewer_RepeatedCount.isEmpty())
        coverage << texts_.lpviewer_RepeatedCount.arg(c.repeated);
    coverage_->setText(coverage.join(QStringLiteral(", ")));
    listIrregular();
    hover_->clear();
    emit periodShown();
}

void LoadProfileViewer::drawChart()
{
    if (duration_->isChecked())
        chart_->showDurations(shown_.series, shown_.durations, texts_.lpviewer_TimeShare);
    else
        chart_->showSeries(period_, shown_.series, shown_.before, texts_.lpviewer_PeriodBefore);
}

void LoadProfileViewer::listIrregular()
{
    irregular_->clear();
    // Each entry whole in its tool tip too, should the list be narrow.
    const auto add = [this](const QString &text) {
        auto *item = new QListWidgetItem(text, irregular_);
        item->setToolTip(text);
    };
    for (std::size_t i = 0; i < shown_.records.size() && i < shown_.quality.size(); ++i) {
        const archive::RecordQuality &q = shown_.quality[i];
        if (q.flags == 0)
            continue;
        const QString at = archive::stampDateTime(shown_.records[i]).toString(u"yyyy-MM-dd HH:mm:ss");
        if (q.flags & archive::kRepeatedStamp)
            add(texts_.lpviewer_QualityRepeated.arg(at));
        if (q.flags & archive::kOutOfOrder)
            add(texts_.lpviewer_QualityOutOfOrder.arg(at));
        if (q.flags & archive::kOffGrid)
            add(texts_.lpviewer_QualityOffGrid.arg(at));
        if (q.flags & archive::kGapBefore)
            add(texts_.lpviewer_QualityGap.arg(at).arg(q.gapBefore));
    }
}

} // namespace lpviewer
