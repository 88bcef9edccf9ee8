#include "loadprofile/load_profile_pages.h"

#include "ui/named_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kDateFields = 5; // year, month, day, hour, minute

QGroupBox *groupFrame(QWidget *parent, int group)
{
    auto *frame = new QGroupBox(QStringLiteral("Group %1").arg(group), parent);
    new QVBoxLayout(frame);
    return frame;
}

// A date selector: 20[yy]/[m]/[d] [h]:[min], lists name(0) to name(4).
QHBoxLayout *dateSelector(QWidget *parent, const char *name)
{
    static const char *const kSeparators[kDateFields] = {"20", "/", "/", " ", ":"};
    auto *row = new QHBoxLayout;
    for (int field = 0; field < kDateFields; ++field) {
        row->addWidget(new QLabel(QLatin1String(kSeparators[field]), parent));
        row->addWidget(makeNamedList(parent, controlName(name, field), 2));
    }
    row->addStretch();
    return row;
}

// The two load-profile groups side by side, each with its command button.
struct GroupButton {
    const char *name;
    const char *caption;
};

void addGroupButtons(QWidget *page, GroupButton first, GroupButton second)
{
    auto *layout = new QHBoxLayout(page);
    int group = 1;
    for (const GroupButton &button : {first, second}) {
        QGroupBox *frame = groupFrame(page, group++);
        frame->layout()->addWidget(makeCommandButton(frame, button.name, button.caption));
        layout->addWidget(frame);
    }
    layout->addStretch();
}

} // namespace

void buildLoadProfileRecordsPage(QWidget *page)
{
    addGroupButtons(page, {"Comm_Clr_G1_Data", "Clear Group1 Data"},
                    {"Comm_Clr_G2_Data", "Clear Group2 Data"});
    // Above each clear button, what the meter reports of its group.
    const QList<QGroupBox *> frames = page->findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly);
    for (int g = 0; g < int(frames.size()) && g < 2; ++g) {
        QGroupBox *frame = frames[g];
        auto *grid = new QGridLayout;
        const auto field = [&](int row, const char *label, const QString &name) {
            grid->addWidget(new QLabel(QLatin1String(label), frame), row, 0);
            grid->addWidget(makeValueDisplay(frame, name, 6), row, 1);
        };
        field(0, "Channels", controlName("Text_LP_Data_Counter", g));
        field(1, "Interval (min)", controlName("txtLPInterval", g));
        field(2, "Valid records", controlName("txtLPValidIntervalNum", g));
        field(3, "Capacity", controlName("Text_Max_int_num", g));
        grid->addWidget(new QLabel(QStringLiteral("Channel codes"), frame), 4, 0, 1, 2);
        auto *codes = new QGridLayout;
        const char *codeName = g == 0 ? "Text_LP_G1_Data" : "Text_LP_G2_Data";
        for (int i = 0; i < (g == 0 ? 12 : 8); ++i)
            codes->addWidget(makeValueDisplay(frame, controlName(codeName, i), 4), i / 4, i % 4);
        grid->addLayout(codes, 5, 0, 1, 2);
        static_cast<QVBoxLayout *>(frame->layout())->insertLayout(0, grid);
    }
}

void buildLoadProfileReadPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);

    auto *byNumber = new QGroupBox(QStringLiteral("By record number"), page);
    auto *numberGrid = new QGridLayout(byNumber);
    numberGrid->addWidget(new QLabel(QStringLiteral("Group"), byNumber), 0, 0);
    numberGrid->addWidget(makeNamedList(byNumber, QStringLiteral("cmbLPReadGroupSel"), 2), 0, 1);
    numberGrid->addWidget(new QLabel(QStringLiteral("Start no"), byNumber), 1, 0);
    numberGrid->addWidget(makeNamedList(byNumber, QStringLiteral("Combo_LP_Start_No"), 6), 1, 1);
    numberGrid->addWidget(new QLabel(QStringLiteral("Stop no"), byNumber), 2, 0);
    numberGrid->addWidget(makeNamedList(byNumber, QStringLiteral("Combo_LP_Stop_No"), 6), 2, 1);
    auto *start = makeCommandButton(byNumber, "Command8", "Read And Save");
    auto *stop = makeCommandButton(byNumber, "cmdStopLPRead", "Stop");
    stop->hide();
    numberGrid->addWidget(start, 3, 0, 1, 2);
    numberGrid->addWidget(stop, 3, 0, 1, 2);
    numberGrid->setRowStretch(4, 1);

    auto *byDate = new QGroupBox(QStringLiteral("By date"), page);
    auto *dateGrid = new QGridLayout(byDate);
    dateGrid->addWidget(new QLabel(QStringLiteral("Group"), byDate), 0, 0);
    auto *groupRow = new QHBoxLayout;
    groupRow->addWidget(makeNamedList(byDate, QStringLiteral("cmbLPReadGroupSel1"), 2));
    auto *newest = makeNamed<QLineEdit>(byDate, QStringLiteral("txtLPLastDataTime"));
    newest->setReadOnly(true);
    groupRow->addWidget(newest, 1);
    dateGrid->addLayout(groupRow, 0, 1);
    dateGrid->addWidget(new QLabel(QStringLiteral("From"), byDate), 1, 0);
    dateGrid->addLayout(dateSelector(byDate, "cmbLPReadBeginTime"), 1, 1);
    dateGrid->addWidget(new QLabel(QStringLiteral("To"), byDate), 2, 0);
    dateGrid->addLayout(dateSelector(byDate, "cmbLPReadEndTime"), 2, 1);
    dateGrid->addWidget(makeCommandButton(byDate, "cmdReadLP2", "Read And Save by Date"), 3, 1,
                        Qt::AlignLeft);
    dateGrid->setRowStretch(4, 1);

    layout->addWidget(byNumber);
    layout->addWidget(byDate);
    layout->addStretch();
}

void buildLoadProfileSettingPage(QWidget *page)
{
    addGroupButtons(page, {"cmdLoadProfileG1Set", "Group1 Setting"},
                    {"cmdLoadProfileG2Set", "Group2 Setting"});
    // Above each set button: channel count, interval, and a code per channel.
    const QList<QGroupBox *> frames = page->findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly);
    for (int g = 0; g < int(frames.size()) && g < 2; ++g) {
        QGroupBox *frame = frames[g];
        const char *name = g == 0 ? "Combo_G1_Setting" : "Combo_G2_Setting";
        auto *grid = new QGridLayout;
        grid->addWidget(new QLabel(QStringLiteral("Channels"), frame), 0, 0);
        grid->addWidget(makeNamedList(frame, controlName(name, 0), 3), 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("Interval (min)"), frame), 0, 2);
        grid->addWidget(makeNamedList(frame, controlName(name, 1), 5), 0, 3);
        const int channels = g == 0 ? 12 : 8;
        for (int c = 0; c < channels; ++c) {
            const int row = 1 + c / 2;
            const int column = 2 * (c % 2);
            grid->addWidget(new QLabel(QStringLiteral("Ch %1").arg(c + 1), frame), row, column);
            grid->addWidget(makeNamedList(frame, controlName(name, 2 + c), 4), row, column + 1);
        }
        static_cast<QVBoxLayout *>(frame->layout())->insertLayout(0, grid);
    }
    // The description of the channel codes, shown and hidden by its button.
    auto *layout = static_cast<QHBoxLayout *>(page->layout());
    auto *description = makeNamed<QPlainTextEdit>(page, "txtLPindex");
    description->setReadOnly(true);
    description->setMinimumWidth(220);
    description->hide();
    layout->insertWidget(layout->count() - 1, makeCommandButton(page, "cmdLPindexon", "Channel List"),
                         0, Qt::AlignTop);
    layout->insertWidget(layout->count() - 1, description);
}
