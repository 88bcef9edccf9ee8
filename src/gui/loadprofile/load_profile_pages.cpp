#include "gui/loadprofile/load_profile_pages.h"

#include "gui/ui/named_controls.h"
#include "meter/lp_status.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace loadprofile {

namespace {

constexpr int kDateFields = 5; // year, month, day, hour, minute

constexpr const char *kSection = "rightdownini";

QGroupBox *groupFrame(QWidget *parent, meter::LpGroup group)
{
    auto *frame = ui::makeKeyed<QGroupBox>(parent, "Group %1", kSection, "rightdown_Group", group.number());
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
        row->addWidget(ui::makeNamedList(parent, ui::controlName(name, field), 2));
    }
    row->addStretch();
    return row;
}

// The two load-profile groups side by side, each with its command button.
struct GroupButton {
    const char *name;
    const char *caption;
    const char *key; // in rightdownini; nullptr when the caption table sets it
};

void addGroupButtons(QWidget *page, GroupButton first, GroupButton second)
{
    auto *layout = new QHBoxLayout(page);
    const GroupButton buttons[meter::LpGroup::kCount] = {first, second};
    for (const meter::LpGroup group : meter::LpGroup::all()) {
        const GroupButton &button = buttons[group.index()];
        QGroupBox *frame = groupFrame(page, group);
        QPushButton *command = ui::makeCommandButton(frame, button.name, button.caption);
        if (button.key)
            ui::setCaptionKey(command, kSection, button.key);
        frame->layout()->addWidget(command);
        layout->addWidget(frame);
    }
    layout->addStretch();
}

// The frames addGroupButtons made on page, each with its group.
struct GroupFrame {
    meter::LpGroup group;
    QGroupBox *frame;
};
std::vector<GroupFrame> groupFrames(QWidget *page)
{
    const QList<QGroupBox *> frames = page->findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly);
    std::vector<GroupFrame> out;
    for (const meter::LpGroup group : meter::LpGroup::all())
        if (qsizetype(group.index()) < frames.size())
            out.push_back({group, frames[qsizetype(group.index())]});
    return out;
}

} // namespace

void buildLoadProfileRecordsPage(QWidget *page)
{
    addGroupButtons(page, {"Comm_Clr_G1_Data", "Clear Group1 Data", "rightdown_ClrGroup1"},
                    {"Comm_Clr_G2_Data", "Clear Group2 Data", "rightdown_ClrGroup2"});
    // Above each clear button, what the meter reports of its group.
    for (const GroupFrame &each : groupFrames(page)) {
        const meter::LpGroup group = each.group;
        QGroupBox *frame = each.frame;
        // The group's controls are indexed as the reading's groups are.
        const int g = int(group.index());
        auto *grid = new QGridLayout;
        // Captions named as the language tables name them: one per group for
        // channels and interval, one for the valid and maximum records (the
        // second group's copies take the same keys).
        const auto field = [&](int row, QLabel *label, const QString &name) {
            grid->addWidget(label, row, 0);
            grid->addWidget(ui::makeValueDisplay(frame, name, 6), row, 1);
        };
        const auto named = [frame](const QString &name, const char *english) {
            return ui::makeNamedLabel(frame, name, QLatin1String(english));
        };
        field(0, named(QStringLiteral("lblDataCounter%1").arg(group.number()), "Channels"),
              ui::controlName("Text_LP_Data_Counter", g));
        field(1, named(QStringLiteral("lblInterval%1").arg(group.number()), "Interval (min)"),
              ui::controlName("txtLPInterval", g));
        if (group == meter::LpGroup::first()) {
            field(2, named(QStringLiteral("lblValidIntervals"), "Valid Records"),
                  ui::controlName("txtLPValidIntervalNum", g));
            field(3, named(QStringLiteral("lblMaxIntervals"), "Max Records"),
                  ui::controlName("Text_Max_int_num", g));
        } else {
            field(2, ui::makeKeyed(frame, "Valid Records", kSection, "rightdown_LPSET4"),
                  ui::controlName("txtLPValidIntervalNum", g));
            field(3, ui::makeKeyed(frame, "Max Records", kSection, "rightdown_LPSET5"),
                  ui::controlName("Text_Max_int_num", g));
        }
        grid->addWidget(ui::makeKeyed(frame, "Channel codes", kSection, "rightdown_ChannelCodes"), 4,
                        0, 1, 2);
        auto *codes = new QGridLayout;
        const char *codeName = group == meter::LpGroup::first() ? "Text_LP_G1_Data" : "Text_LP_G2_Data";
        for (int i = 0; i < meter::lpMaxChannels(group); ++i)
            codes->addWidget(ui::makeValueDisplay(frame, ui::controlName(codeName, i), 4), i / 4, i % 4);
        grid->addLayout(codes, 5, 0, 1, 2);
        static_cast<QVBoxLayout *>(frame->layout())->insertLayout(0, grid);
    }
}

void buildLoadProfileReadPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);

    auto *byNumber =
        ui::makeKeyed<QGroupBox>(page, "By record number", kSection, "rightdown_ByNumber");
    auto *numberGrid = new QGridLayout(byNumber);
    numberGrid->addWidget(ui::makeKeyed(byNumber, "Group", kSection, "rightdown_GroupSel"), 0, 0);
    numberGrid->addWidget(ui::makeNamedList(byNumber, QStringLiteral("cmbLPReadGroupSel"), 2), 0, 1);
    numberGrid->addWidget(ui::makeKeyed(byNumber, "Start no", kSection, "rightdown_StartNo"), 1, 0);
    numberGrid->addWidget(ui::makeNamedList(byNumber, QStringLiteral("Combo_LP_Start_No"), 6, true), 1, 1);
    numberGrid->addWidget(ui::makeKeyed(byNumber, "Stop no", kSection, "rightdown_StopNo"), 2, 0);
    numberGrid->addWidget(ui::makeNamedList(byNumber, QStringLiteral("Combo_LP_Stop_No"), 6, true), 2, 1);
    auto *start = ui::makeCommandButton(byNumber, "Command8", "Read And Save");
    ui::setCaptionKey(start, "LPFini", "LPFClick");
    auto *stop = ui::makeCommandButton(byNumber, "cmdStopLPRead", "Stop");
    ui::setCaptionKey(stop, kSection, "rightdown_StopRead");
    stop->hide();
    numberGrid->addWidget(start, 3, 0, 1, 2);
    numberGrid->addWidget(stop, 3, 0, 1, 2);
    // The records of the group newer than the archive's newest of this meter.
    auto *newOnly = ui::makeCommandButton(byNumber, "cmdLPNew", "New records only");
    ui::setCaptionKey(newOnly, kSection, "rightdown_LPNew");
    numberGrid->addWidget(newOnly, 4, 0, 1, 2);
    numberGrid->setRowStretch(5, 1);

    auto *byDate = ui::makeKeyed<QGroupBox>(page, "By date", kSection, "rightdown_ByDate");
    auto *dateGrid = new QGridLayout(byDate);
    dateGrid->addWidget(ui::makeKeyed(byDate, "Group", kSection, "rightdown_GroupSel"), 0, 0);
    auto *groupRow = new QHBoxLayout;
    groupRow->addWidget(ui::makeNamedList(byDate, QStringLiteral("cmbLPReadGroupSel1"), 2));
    auto *newest = ui::makeNamed<QLineEdit>(byDate, QStringLiteral("txtLPLastDataTime"));
    newest->setReadOnly(true);
    groupRow->addWidget(newest, 1);
    dateGrid->addLayout(groupRow, 0, 1);
    dateGrid->addWidget(ui::makeKeyed(byDate, "From", kSection, "rightdown_DateFrom"), 1, 0);
    dateGrid->addLayout(dateSelector(byDate, "cmbLPReadBeginTime"), 1, 1);
    dateGrid->addWidget(ui::makeKeyed(byDate, "To", kSection, "rightdown_DateTo"), 2, 0);
    dateGrid->addLayout(dateSelector(byDate, "cmbLPReadEndTime"), 2, 1);
    QPushButton *byDateStart = ui::makeCommandButton(byDate, "cmdReadLP2", "Read And Save by Date");
    ui::setCaptionKey(byDateStart, kSection, "rightdown_ReadByDate");
    // Beside it, the viewer of the records downloaded so far: the window
    // wires it to the archive, which this page does not know.
    QPushButton *viewer = ui::makeCommandButton(byDate, "cmdLPViewer", "Load profile viewer");
    ui::setCaptionKey(viewer, "lpviewerini", "lpviewer_Button");
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(byDateStart);
    commandRow->addWidget(viewer);
    commandRow->addStretch();
    dateGrid->addLayout(commandRow, 3, 1);
    dateGrid->setRowStretch(4, 1);

    layout->addWidget(byNumber);
    layout->addWidget(byDate);
    layout->addStretch();
}

void buildLoadProfileSettingPage(QWidget *page)
{
    addGroupButtons(page, {"cmdLoadProfileG1Set", "Group1 Setting", nullptr},
                    {"cmdLoadProfileG2Set", "Group2 Setting", nullptr});
    // Above each set button: channel count, interval, and a code per channel.
    for (const GroupFrame &each : groupFrames(page)) {
        const meter::LpGroup group = each.group;
        QGroupBox *frame = each.frame;
        const char *name = group == meter::LpGroup::first() ? "Combo_G1_Setting" : "Combo_G2_Setting";
        auto *grid = new QGridLayout;
        grid->addWidget(ui::makeKeyed(frame, "Channels", kSection, "rightdown_LPSET1"), 0, 0);
        grid->addWidget(ui::makeNamedList(frame, ui::controlName(name, 0), 3), 0, 1);
        grid->addWidget(ui::makeKeyed(frame, "Interval (min)", kSection, "rightdown_LPSET2"), 0, 2);
        grid->addWidget(ui::makeNamedList(frame, ui::controlName(name, 1), 5), 0, 3);
        for (int c = 0; c < meter::lpMaxChannels(group); ++c) {
            const int row = 1 + c / 2;
            const int column = 2 * (c % 2);
            grid->addWidget(ui::makeKeyed(frame, "Ch %1", kSection, "rightdown_Channel", c + 1), row,
                            column);
            grid->addWidget(ui::makeNamedList(frame, ui::controlName(name, 2 + c), 4), row, column + 1);
        }
        static_cast<QVBoxLayout *>(frame->layout())->insertLayout(0, grid);
    }
    // The description of the channel codes, shown and hidden by its button.
    auto *layout = static_cast<QHBoxLayout *>(page->layout());
    auto *description = ui::makeNamed<QPlainTextEdit>(page, "txtLPindex");
    description->setReadOnly(true);
    description->setMinimumWidth(220);
    description->hide();
    layout->insertWidget(layout->count() - 1, ui::makeCommandButton(page, "cmdLPindexon", "Channel List"),
                         0, Qt::AlignTop);
    layout->insertWidget(layout->count() - 1, description);
}

} // namespace loadprofile
