#include "gui/lpviewer/statistics_grid.h"

#include "gui/ui/named_controls.h"
#include "lpdata/channel_codes.h"

#include <QGridLayout>
#include <QLabel>

namespace lpviewer {

namespace {

constexpr const char *kSection = "lpviewerini";

struct ColumnHead {
    const char *name; // of the cells: name(row)
    const char *english;
    const char *key;
};
constexpr ColumnHead kHeads[] = {
    {"txtLPViewerStatName", "Channel", "lpviewer_Channel"},
    {"txtLPViewerStatMin", "Minimum", "lpviewer_Minimum"},
    {"txtLPViewerStatMinAt", "at", "lpviewer_At"},
    {"txtLPViewerStatMax", "Maximum", "lpviewer_Maximum"},
    {"txtLPViewerStatMaxAt", "at", "lpviewer_At"},
    {"txtLPViewerStatAverage", "Average", "lpviewer_Average"},
    {"txtLPViewerStatLoadFactor", "Load factor", "lpviewer_LoadFactor"},
    {"txtLPViewerStatSum", "Sum", "lpviewer_Sum"},
};

QString withUnit(double value, const QString &unit)
{
    return lpdata::valueText(value) + QLatin1Char(' ') + unit;
}

QString timeText(const QDateTime &time)
{
    return time.toString(u"yyyy-MM-dd HH:mm");
}

} // namespace

StatisticsGrid::StatisticsGrid(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmLPViewerStatistics"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(14);
    for (int c = 0; c < kColumns; ++c) {
        const ColumnHead &head = kHeads[c];
        auto *label = ui::makeKeyed(this, head.english, kSection, head.key);
        label->setObjectName(QStringLiteral("%1Head").arg(QLatin1String(head.name)));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        grid->addWidget(label, 0, c, c == Name ? Qt::AlignLeft : Qt::AlignRight);
        for (int r = 0; r < kRows; ++r) {
            cells_[r][c] = ui::makeNamed<QLabel>(this, ui::controlName(head.name, r));
            cells_[r][c]->setTextInteractionFlags(Qt::TextSelectableByMouse);
            grid->addWidget(cells_[r][c], r + 1, c, c == Name ? Qt::AlignLeft : Qt::AlignRight);
        }
    }
    grid->setColumnStretch(kColumns, 1);
    showStatistics({});
}

void StatisticsGrid::showStatistics(const std::vector<archive::ChannelSeries> &series)
{
    for (int r = 0; r < kRows; ++r) {
        const bool shown = std::size_t(r) < series.size();
        for (QLabel *cell : cells_[r]) {
            cell->setVisible(shown);
            cell->clear();
        }
        if (!shown)
            continue;
        const archive::ChannelSeries &one = series[std::size_t(r)];
        const archive::ChannelStatistics &s = one.statistics;
        const QString unit = lpdata::LPChannelUnit(one.code);
        cells_[r][Name]->setText(lpdata::LPDataName(one.code));
        if (s.values == 0) {
            cells_[r][Minimum]->setText(QStringLiteral("-"));
            continue;
        }
        cells_[r][Minimum]->setText(withUnit(s.minimum, unit));
        cells_[r][MinimumAt]->setText(timeText(s.minimumAt));
        cells_[r][Maximum]->setText(withUnit(s.maximum, unit));
        cells_[r][MaximumAt]->setText(timeText(s.maximumAt));
        cells_[r][Average]->setText(withUnit(s.average, unit));
        if (s.loadFactor && lpdata::isDemand(one.code))
            cells_[r][LoadFactor]->setText(QStringLiteral("%1 %").arg(*s.loadFactor * 100, 0, 'f', 1));
        if (s.sum)
            cells_[r][Sum]->setText(withUnit(*s.sum, unit));
    }
}

} // namespace lpviewer
