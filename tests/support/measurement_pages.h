#pragma once

#include "gui/meter/measurement_panel.h"

#include <QString>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

// The window's measurement pages without the window, for the tests of the
// panels and the poll benchmark that shows them: both measurement panels
// (SSTab2(0), SSTab2(1)) and the basic data (SSTab3), one under the other.
namespace testsupport {

// Builds them into root under a new vertical layout, returned for the
// caller to add more below.
inline QVBoxLayout *addMeasurementPages(QWidget *root)
{
    auto *layout = new QVBoxLayout(root);
    for (int panel = 0; panel < 2; ++panel) {
        auto *tabs = new QTabWidget(root);
        tabs->setObjectName(QStringLiteral("SSTab2(%1)").arg(panel));
        meter::buildMeasurementPanel(tabs, panel);
        layout->addWidget(tabs);
    }
    auto *basic = new QTabWidget(root);
    basic->setObjectName(QStringLiteral("SSTab3"));
    meter::buildBasicDataPanel(basic);
    layout->addWidget(basic);
    return layout;
}

} // namespace testsupport
