#include "gui/app/main_page.h"

#include "gui/ui/caption.h"
#include "gui/ui/named_controls.h"

#include "gui/config/setting_pages.h"
#include "gui/links/connection_row.h"
#include "gui/loadprofile/load_profile_pages.h"
#include "gui/meter/measurement_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace app {

namespace {

// Tabs of SSTab1 in the order of the page buttons Command10(0..4).
constexpr int kSstab1Tabs[] = {0, 4, 1, 2, 3};

QFrame *makeFrame(QWidget *parent, int index)
{
    auto *frame = ui::makeNamed<QFrame>(parent, QStringLiteral("Frame9(%1)").arg(index));
    return frame;
}

QTabWidget *makeTabs(QWidget *parent, const QString &name)
{
    auto *tabs = ui::makeNamed<QTabWidget>(parent, name);
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
        auto *button = ui::makeNamed<QPushButton>(
            parent, ui::controlName(name, index));
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

// The measurement panels under their page buttons, in Frame9(0).
void buildMeasurementColumn(QWidget *page)
{
    QFrame *frame = makeFrame(page, 0);
    auto *column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(
        pageButtons(frame, "Command9", {"Real time Data", "Total kWh", "THD", "Harmonic"}));
    // The only page button whose caption the language tables leave out.
    ui::setCaptionKey(frame->findChild<QWidget *>(QStringLiteral("Command9(3)")), "left1midini",
                  "left1mid_Harmonic");
    for (int panel = 0; panel < 2; ++panel) {
        QTabWidget *tabs = makeTabs(frame, ui::controlName("SSTab2", panel));
        meter::buildMeasurementPanel(tabs, panel);
        column->addWidget(tabs, 1);
        // Panel 1 takes panel 0's place for the meters that need it.
        if (panel == 1)
            tabs->hide();
    }
}

// The basic-data panel under its page buttons, in Frame9(3).
void buildBasicDataColumn(QWidget *page)
{
    QFrame *frame = makeFrame(page, 3);
    auto *column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(pageButtons(frame, "Command11", {"Basic Data", "Display Item"}));
    QTabWidget *tabs = makeTabs(frame, QStringLiteral("SSTab3"));
    meter::buildBasicDataPanel(tabs);
    column->addWidget(tabs, 1);
}

// The settings and load-profile pages under their page buttons.
void buildSettingPages(QWidget *page)
{
    auto *frame = ui::makeNamed<QFrame>(page, QStringLiteral("settingPages"));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(pageButtons(frame, "Command10",
                                  {"電表設定", "LoadProfile setting", "LoadProfile records",
                                   "LoadProfile Data Read", "Display Setting"}));
    QTabWidget *tabs = makeTabs(frame, QStringLiteral("SSTab1"));
    config::buildMeterSettingsPage(ui::addTabPage(tabs, QStringLiteral("Meter Setting")));
    loadprofile::buildLoadProfileRecordsPage(ui::addTabPage(tabs, QStringLiteral("LoadProfile records")));
    loadprofile::buildLoadProfileReadPage(ui::addTabPage(tabs, QStringLiteral("LoadProfile Data Read")));
    config::buildDisplaySettingsPage(ui::addTabPage(tabs, QStringLiteral("Display Setting")));
    loadprofile::buildLoadProfileSettingPage(ui::addTabPage(tabs, QStringLiteral("LoadProfile setting")));
    layout->addWidget(tabs, 1);
}

void buildLanguageRow(QWidget *page)
{
    QFrame *frame = makeFrame(page, 2);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    auto *language = ui::makeNamed<QGroupBox>(frame, QStringLiteral("Frame8"));
    language->setTitle(QStringLiteral("Language"));
    auto *choice = new QHBoxLayout(language);
    auto *list = ui::makeNamed<QComboBox>(language, QStringLiteral("Combo_Languages"));
    list->setMinimumContentsLength(10);
    choice->addWidget(list);
    auto *apply = ui::makeNamed<QPushButton>(language, QStringLiteral("langCheck"));
    apply->setText(QStringLiteral("Change"));
    choice->addWidget(apply);
    row->addWidget(language);
    row->addStretch();
}

} // namespace

void buildMainPage(QWidget *page)
{
    // No layout: the page scroller places each band (see page_layout.h).
    links::buildConnectionRow(makeFrame(page, 1));
    buildMeasurementColumn(page);
    buildBasicDataColumn(page);
    buildSettingPages(page);
    buildLanguageRow(page);
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

} // namespace app
