#include "gui/meter/layout_view.h"

#include "gui/ui/named_controls.h"

#include <QComboBox>
#include <QTabWidget>

namespace meter {

namespace {

constexpr const char *kDisplayItemControls[] = {"lblSequency",     "Combo_Display_Ser_sel",
                                                 "lblItem",         "Combo_Display_Item_sel",
                                                 "cmdDisplayItemSet", "cmdDisplayindex"};
constexpr const char *kWholeRatioSetting[] = {"cmdPTRatio1Set", "Combo_PT_Ratio", "cmdCTRatio1Set",
                                              "Combo_CT_Ratio"};
constexpr const char *kWholeRatioShown[] = {"Label2(2)", "Command3(2)", "txt_PTRatio",
                                            "Label2(3)", "Command3(3)", "txt_CTRatio"};
constexpr const char *kFloatRatioShown[] = {"lblPTRatio2", "lblCTRatio2", "txtPTRatio2",
                                            "txtCTRatio2"};

} // namespace

QWidget *LayoutView::find(const char *name, int index) const
{
    QWidget *widget = controls_.find(QLatin1String(name), index);
    if (!widget)
        qWarning("No control named %s", qPrintable(ui::controlName(QLatin1String(name), index)));
    return widget;
}

void LayoutView::setVisible(const char *name, int index, bool visible)
{
    if (QWidget *w = find(name, index))
        w->setVisible(visible);
}

void LayoutView::applyPanel(const meter::PanelChoice &choice)
{
    setVisible("SSTab2", 0, choice.displayBase == 0);
    setVisible("SSTab2", 1, choice.displayBase == 100);
    if (choice.thdPages) {
        setVisible("Command9", 2, *choice.thdPages);
        setVisible("Command9", 3, *choice.thdPages);
    }
    if (choice.profilePages) {
        if (auto *tabs = qobject_cast<QTabWidget *>(find("SSTab1")))
            for (int tab = 1; tab <= 3; ++tab)
                tabs->setTabEnabled(tab, *choice.profilePages);
        for (int button = 2; button <= 4; ++button)
            setVisible("Command10", button, *choice.profilePages);
    }
    for (const char *name : kDisplayItemControls)
        setVisible(name, -1, choice.displayItemControls);
}

void LayoutView::applySettings(const meter::PanelChoice &choice)
{
    const bool whole = choice.ratios == meter::RatioForm::Whole;
    setVisible("frmCTPTSetting", -1, !whole);
    for (const char *name : kWholeRatioSetting)
        setVisible(name, -1, whole);
    if (choice.ratios != meter::RatioForm::FloatSetOnly) {
        for (const char *name : kWholeRatioShown)
            setVisible(name, -1, whole);
        for (const char *name : kFloatRatioShown)
            setVisible(name, -1, !whole);
    }
    QStringList scrollTimes = ui::numberTexts(3, 15);
    if (choice.fixedScrollTime)
        scrollTimes << QStringLiteral("Fixed");
    if (auto *list = qobject_cast<QComboBox *>(find("Combo1")))
        ui::fillList(list, scrollTimes, 0);
    QStringList intervals{QStringLiteral("1"),  QStringLiteral("5"),  QStringLiteral("10"),
                          QStringLiteral("15"), QStringLiteral("30"), QStringLiteral("60")};
    if (choice.thirtySecondInterval)
        intervals << QStringLiteral("30sec");
    for (const char *group : {"Combo_G1_Setting", "Combo_G2_Setting"})
        if (auto *list = qobject_cast<QComboBox *>(find(group, 1)))
            ui::fillList(list, intervals, 3);
}

} // namespace meter
