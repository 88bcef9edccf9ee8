#include "lpviewer/load_profile_viewer.h"

#include "archive/archive_thread.h"
#include "lpviewer/channel_list.h"
#include "lpviewer/load_profile_chart.h"
#include "lpviewer/statistics_grid.h"
#include "i18n/language_texts.h"
#include "loadprofile/channel_codes.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QListWidget>

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

struct PeriodRead {
    std::vector<archive::ChannelSeries> series;
    bool current = true; // false: a newer request came first, nothing was read
    std::optional<QString> error;
};

// On the archive's thread: the channels of the period, ready to draw.
PeriodRead readPeriod(archive::ArchiveStore &store, const QString &serial, int group,
                      const std::vector<int> &codes, const archive::ViewPeriod &period)
{
    PeriodRead read;
    QString error;
    const auto records = store.records(serial, group, codes, period.range(), &error);
    if (!records) {
        read.error = error;
        return read;
    }
    read.series = archive::channelSeries(*records, codes);
    for (archive::ChannelSeries &one : read.series)
        one.points = archive::thinnedForPlot(one.points, double(period.start.toMSecsSinceEpoch()),
                                             double(period.end.toMSecsSinceEpoch()), kPlotColumns);
    return read;
}

} // namespace

LoadProfileViewer::LoadProfileViewer(const i18n::LanguageTexts &texts, Messages &messages, QWidget *parent)
    : QWidget(parent, Qt::Window), texts_(texts), messages_(messages)
{
    setObjectName(QStringLiteral("frmLPViewer"));
    buildControls();
    resize(1160, 780);

    chooseImportFiles = [this] {
        return QFileDialog::getOpenFileNames(this, caption(import_), QString(), QStringLiteral("CSV (*.csv)"));
    };
    chooseExportFolder = [this] { return QFileDialog::getExistingDirectory(this, windowTitle()); };
    choosePicturePath = [this] {
        return QFileDialog::getSaveFileName(this, windowTitle(),
                                            QStringLiteral("%1_%2.png").arg(meter_->currentText(),
                                                                            period_.start.toString(u"yyyyMMdd")),
                                            QStringLiteral("PNG (*.png)"));
    };
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
                [this](const QString &note) { messages_.show(MessageKind::Exclamation, QString(), note); });
    }
    show();
    raise();
    activateWindow();
    listMeters();
}

void LoadProfileViewer::reportArchiveError(const QString &error)
{
    messages_.show(MessageKind::Critical, QString(), texts_.lpviewer_ArchiveError + QLatin1Char('\n') + error);
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
    fillList(meter_, serials, std::max(0, int(serials.indexOf(chosen))));
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
    fillList(group_, groups, std::max(0, int(groups.indexOf(chosen))));
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
            auto *item = new QListWidgetItem(loadprofile::LPDataName(code), channels_);
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
    const bool full = checkedCodes().size() >= std::size_t(kMaxChannels);
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
    const archive::ViewPeriod period = period_;
    auto latest = periodRequest_;
    archive_->run<PeriodRead>(
        [=](archive::ArchiveStore &store) {
            // Stepping fast queues requests: only the newest is worth reading.
            if (*latest != request)
                return PeriodRead{{}, false, {}};
            return readPeriod(store, serial, group, codes, period);
        },
        [this, request](PeriodRead read) {
            if (!read.current || *periodRequest_ != request)
                return;
            if (read.error)
                reportArchiveError(*read.error);
            drawPeriod(read.series);
        });
}

void LoadProfileViewer::drawPeriod(const std::vector<archive::ChannelSeries> &series)
{
    chart_->showSeries(period_, series);
    statistics_->showStatistics(series);
    hover_->clear();
    emit periodShown();
}
