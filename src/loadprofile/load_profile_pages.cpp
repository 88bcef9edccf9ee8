#include "loadprofile/load_profile_pages.h"

#include "app/named_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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
        row->addWidget(makeNamedList(parent, QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(field), 2));
    }
    row->addStretch();
    return row;
}

} // namespace

void buildLoadProfileRecordsPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    QGroupBox *group1 = groupFrame(page, 1);
    group1->layout()->addWidget(makeCommandButton(group1, "Comm_Clr_G1_Data", "Clear Group1 Data"));
    QGroupBox *group2 = groupFrame(page, 2);
    group2->layout()->addWidget(makeCommandButton(group2, "Comm_Clr_G2_Data", "Clear Group2 Data"));
    layout->addWidget(group1);
    layout->addWidget(group2);
    layout->addStretch();
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
    auto *layout = new QHBoxLayout(page);
    QGroupBox *group1 = groupFrame(page, 1);
    group1->layout()->addWidget(makeCommandButton(group1, "cmdLoadProfileG1Set", "Group1 Setting"));
    QGroupBox *group2 = groupFrame(page, 2);
    group2->layout()->addWidget(makeCommandButton(group2, "cmdLoadProfileG2Set", "Group2 Setting"));
    layout->addWidget(group1);
    layout->addWidget(group2);
    layout->addStretch();
}
