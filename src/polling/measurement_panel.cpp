#include "polling/measurement_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QWidget *addPage(QTabWidget *panel, const QString &caption)
{
    auto *page = new QWidget(panel);
    panel->addTab(page, caption);
    return page;
}

} // namespace

void buildMeasurementPanel(QTabWidget *panel, int panelIndex)
{
    QWidget *realTime = addPage(panel, QStringLiteral("Real time Data"));
    addPage(panel, QStringLiteral("Total kWh"));
    if (panelIndex == 0) {
        addPage(panel, QStringLiteral("THD"));
        addPage(panel, QStringLiteral("Harmonic"));
    }
    auto *layout = new QVBoxLayout(realTime);
    auto *phasor = new QPushButton(QStringLiteral("Phasor"), realTime);
    phasor->setObjectName(QStringLiteral("cmdPhaseShow(%1)").arg(panelIndex));
    layout->addWidget(phasor);
    layout->addStretch();
}

void buildBasicDataPanel(QTabWidget *panel)
{
    addPage(panel, QStringLiteral("Basic Data"));
    addPage(panel, QStringLiteral("Display Item"));
}
