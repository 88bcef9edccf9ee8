#include "app/main_page.h"

#include "ui/named_controls.h"

#include "config/setting_pages.h"
#include "link/connection_row.h"
#include "loadprofile/load_profile_pages.h"
#include "polling/measurement_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Tabs of SSTab1 in the order of the page buttons Command10(0..4).
constexpr int kSstab1Tabs[] = {0, 4, 1, 2, 3};

QFrame *makeFrame(QWidget *parent, int index)
{
    auto *frame = makeNamed<QFrame>(parent, QStringLiteral("Frame9(%1)").arg(index));
    return frame;
}

QTabWidget *makeTabs(QWidget *parent, const QString &name)
{
    auto *tabs = makeNamed<QTabWidget>(parent, name);
    tabs->tabBar()->hide();
    tabs->setDocumentMode(false);
    return tabs;
}

// A row of page buttons name(0..captions-1); exactly one is shown pressed.
QHBoxLayout *pageButtons(QWidget *parent, const char *name, std::initializer_list<const char *> captions)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    auto *group = new QButtonGroup(parent);
    group->setObjectName(QLatin1String(name) + QStringLiteral("Group"));
    group->setExclusive(true);
    int index = 0;
    for (const char *caption : captions) {
        auto *button = makeNamed<QPushButton>(
            parent, controlName(name, index));
        button->setText(QString::fromUtf8(caption));
        button->setCheckable(true);
        button->setMinimumHeight(28);
        group->addButton(button, index);
        row->addWidget(button);
        ++index;
    }
    row->addStretch();
    return row;
}

void buildMeasurementColumn(QWidget *page, QHBoxLayout *middle)
{
    auto *column = new QVBoxLayout;
    column->addLayout(
        pageButtons(page, "Command9", {"Real time Data", "Total kWh", "THD", "Harmonic"}));
    QFrame *frame = makeFrame(page, 0);
    auto *stack = new QVBoxLayout(frame);
    stack->setContentsMargins(0, 0, 0, 0);
    for (int panel = 0; panel < 2; ++panel) {
        QTabWidget *tabs = makeTabs(frame, controlName("SSTab2", panel));
        buildMeasurementPanel(tabs, panel);
        stack->addWidget(tabs);
        // Panel 1 takes panel 0's place for the meters that need it.
        if (panel == 1)
            tabs->hide();
    }
    column->addWidget(frame, 1);
    middle->addLayout(column, 5);
}

void buildBasicDataColumn(QWidget *page, QHBoxLayout *middle)
{
    auto *column = new QVBoxLayout;
    column->addLayout(pageButtons(page, "Command11", {"Basic Data", "Display Item"}));
    QFrame *frame = makeFrame(page, 3);
    auto *stack = new QVBoxLayout(frame);
    stack->setContentsMargins(0, 0, 0, 0);
    QTabWidget *tabs = makeTabs(frame, QStringLiteral("SSTab3"));
    buildBasicDataPanel(tabs);
    stack->addWidget(tabs);
    column->addWidget(frame, 1);
    middle->addLayout(column, 2);
}

void buildSettingPages(QWidget *page, QVBoxLayout *layout)
{
    layout->addLayout(pageButtons(page, "Command10",
                                  {"電表設定", "LoadProfile setting", "LoadProfile records",
                                   "LoadProfile Data Read", "Display Setting"}));
    QTabWidget *tabs = makeTabs(page, QStringLiteral("SSTab1"));
    buildMeterSettingsPage(addTabPage(tabs, QStringLiteral("Meter Setting")));
    buildLoadProfileRecordsPage(addTabPage(tabs, QStringLiteral("LoadProfile records")));
    buildLoadProfileReadPage(addTabPage(tabs, QStringLiteral("LoadProfile Data Read")));
    buildDisplaySettingsPage(addTabPage(tabs, QStringLiteral("Display Setting")));
    buildLoadProfileSettingPage(addTabPage(tabs, QStringLiteral("LoadProfile setting")));
    layout->addWidget(tabs);
}

void buildLanguageRow(QWidget *page, QVBoxLayout *layout)
{
    QFrame *frame = makeFrame(page, 2);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    auto *language = makeNamed<QGroupBox>(frame, QStringLiteral("Frame8"));
    language->setTitle(QStringLiteral("Language"));
    auto *choice = new QHBoxLayout(language);
    auto *list = makeNamed<QComboBox>(language, QStringLiteral("Combo_Languages"));
    list->setMinimumContentsLength(10);
    choice->addWidget(list);
    auto *apply = makeNamed<QPushButton>(language, QStringLiteral("langCheck"));
    apply->setText(QStringLiteral("Change"));
    choice->addWidget(apply);
    row->addWidget(language);
    row->addStretch();
    layout->addWidget(frame);
}

} // namespace

void buildMainPage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(8);

    QFrame *connection = makeFrame(page, 1);
    buildConnectionRow(connection);
    layout->addWidget(connection);

    auto *middle = new QHBoxLayout;
    buildMeasurementColumn(page, middle);
    buildBasicDataColumn(page, middle);
    layout->addLayout(middle, 1);

    buildSettingPages(page, layout);
    buildLanguageRow(page, layout);
}

int sstab1TabOfCommand10(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(kSstab1Tabs)))
        return -1;
    return kSstab1Tabs[index];
}

int command10OfSstab1Tab(int tab)
{
    for (int i = 0; i < static_cast<int>(std::size(kSstab1Tabs)); ++i) {
        if (kSstab1Tabs[i] == tab)
            return i;
    }
    return -1;
}
