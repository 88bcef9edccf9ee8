#include "polling/measurement_panel.h"

#include "ui/named_controls.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QLabel *caption(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// Column headers are flat buttons, as the language files label them like buttons.
QPushButton *header(QWidget *parent, int index, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(controlName("Command7", index));
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

struct Row {
    const char *label;
    const char *control;
    const char *caption;
    int values;
};

// Rows of the real-time page: phases a, b, c and the total or average side by side.
constexpr Row kRealTimeRows[] = {
    {"lblVoltageN", "txt_V_N", "Voltage L-N (V)", 4},
    {"lblVoltageB", "txt_V_B", "Voltage L-L (V)", 4},
    {"lblCurrent", "txt_I_Result", "Current (A)", 4},
    {"lblkW", "txt_W_Result", "Active power (kW)", 4},
    {"lblkvar", "txt_Var_Result", "Reactive power (kvar)", 4},
    {"lblkVA", "txt_VA_Result", "Apparent power (kVA)", 4},
    {"lblPF", "txt_PF_Result", "Power factor", 4},
    {"lblAngleV", "txt_V_Angle", "Voltage angle (°)", 3},
    {"lblAngleI", "txt_I_Angle", "Current angle (°)", 3},
};

constexpr const char *kEnergyNames[] = {"kWh delivered", "kWh received", "kvarh lagging",
                                        "kvarh leading", "kVAh"};

void buildRealTimePage(QWidget *page, int panelIndex)
{
    const int base = panelIndex == 0 ? 0 : 100;
    // Header buttons of the two panels carry fixed indexes of their own.
    const int headers[2][5] = {{48, 1, 49, 0, 59}, {210, 207, 209, 208, 211}};
    const char *headerTexts[] = {"Phase A", "Phase B", "Phase C", "Total / Avg", "Demand"};

    auto *grid = new QGridLayout;
    // Phases a, b, c and the total over the value columns; column 0 holds the
    // row captions. The demand values are shown once, in the basic-data panel
    // both panels share, so the demand header of this page stays hidden.
    for (int c = 0; c < 5; ++c) {
        QPushButton *title = header(page, headers[panelIndex][c], QString::fromUtf8(headerTexts[c]));
        if (c < 4)
            grid->addWidget(title, 0, c + 1);
        else
            title->hide();
    }
    int row = 1;
    for (const Row &r : kRealTimeRows) {
        grid->addWidget(caption(page, controlName(r.label, panelIndex), QString::fromUtf8(r.caption)),
                        row, 0);
        for (int i = 0; i < r.values; ++i)
            grid->addWidget(makeValueDisplay(page, controlName(r.control, base + i)), row, 1 + i);
        ++row;
    }
    grid->addWidget(caption(page, controlName("lblFreq", panelIndex), QStringLiteral("Frequency (Hz)")),
                    row, 0);
    grid->addWidget(makeValueDisplay(page, controlName("txtFrequency", base)), row, 1);

    // The energy totals again, so that the first page shows them too.
    auto *energy = new QGroupBox(QStringLiteral("Energy totals"), page);
    auto *energyGrid = new QGridLayout(energy);
    for (int q = 0; q < 5; ++q) {
        energyGrid->addWidget(new QLabel(QString::fromLatin1(kEnergyNames[q]), energy), 0, q);
        energyGrid->addWidget(makeValueDisplay(energy, controlName("txt_kWh", base + 20 + q), 13), 1, q);
    }

    auto *phasor = new QPushButton(QStringLiteral("Phasor"), page);
    phasor->setObjectName(controlName("cmdPhaseShow", panelIndex));

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addWidget(energy);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(phasor);
    layout->addLayout(buttons);
    layout->addStretch();
}

void buildEnergyPage(QWidget *page, int panelIndex)
{
    const int base = panelIndex == 0 ? 0 : 100;
    auto *grid = new QGridLayout(page);
    const char *columns[] = {"Total", "Phase A", "Phase B", "Phase C"};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(columns[c]), page), 0, c + 1);
    for (int q = 0; q < 5; ++q) {
        grid->addWidget(new QLabel(QString::fromLatin1(kEnergyNames[q]), page), q + 1, 0);
        grid->addWidget(makeValueDisplay(page, controlName("txt_kWh", base + q), 13), q + 1, 1);
        for (int p = 0; p < 3; ++p)
            grid->addWidget(makeValueDisplay(page, controlName("txt_kWh", base + 5 + 5 * p + q), 13), q + 1,
                            p + 2);
    }
    grid->setRowStretch(6, 1);
}

void buildThdPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    for (int k = 0; k < 6; ++k)
        grid->addWidget(new QLabel(QString::number(k + 1), page), 0, k + 1, Qt::AlignCenter);
    for (int g = 0; g < 3; ++g) {
        grid->addWidget(new QLabel(QStringLiteral("Group %1").arg(g + 1), page), g + 1, 0);
        for (int k = 0; k < 6; ++k)
            grid->addWidget(makeValueDisplay(page, controlName("txtTHD", 6 * g + k), 9), g + 1, k + 1);
    }
    grid->setRowStretch(4, 1);
}

void buildHarmonicPage(QWidget *page)
{
    auto *channels = new QHBoxLayout;
    auto *group = new QButtonGroup(page);
    const char *names[] = {"Va", "Vb", "Vc", "Ia", "Ib", "Ic", "none"};
    for (int k = 0; k < 7; ++k) {
        auto *option = new QRadioButton(QString::fromLatin1(names[k]), page);
        option->setObjectName(controlName("optHarmonic", k));
        group->addButton(option, k);
        channels->addWidget(option);
    }
    group->button(6)->setChecked(true);
    channels->addStretch();

    auto *grid = new QGridLayout;
    for (int h = 0; h < 32; ++h) {
        const int column = 2 * (h / 8);
        grid->addWidget(new QLabel(QString::number(h + 1), page), h % 8, column, Qt::AlignRight);
        grid->addWidget(makeValueDisplay(page, controlName("txtHarmonic", h), 9), h % 8, column + 1);
    }
    // The values as a chart beside the numbers (see HarmonicChart).
    auto *chartArea = makeNamed<QWidget>(page, "harmonicChartArea");
    new QVBoxLayout(chartArea);
    chartArea->layout()->setContentsMargins(0, 0, 0, 0);
    auto *values = new QHBoxLayout;
    values->addLayout(grid);
    values->addWidget(chartArea, 1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(channels);
    layout->addLayout(values, 1);
}

QGridLayout *formGrid(QGroupBox *box) { return new QGridLayout(box); }

void addField(QGridLayout *grid, QWidget *parent, const QString &labelName, const QString &text,
              const QString &displayName)
{
    const int row = grid->rowCount();
    grid->addWidget(caption(parent, labelName, text), row, 0);
    grid->addWidget(makeValueDisplay(parent, displayName), row, 1);
}

} // namespace

void buildMeasurementPanel(QTabWidget *panel, int panelIndex)
{
    buildRealTimePage(addTabPage(panel, QStringLiteral("Real time Data")), panelIndex);
    buildEnergyPage(addTabPage(panel, QStringLiteral("Total kWh")), panelIndex);
    if (panelIndex == 0) {
        buildThdPage(addTabPage(panel, QStringLiteral("THD")));
        buildHarmonicPage(addTabPage(panel, QStringLiteral("Harmonic")));
    }
}

void buildBasicDataPanel(QTabWidget *panel)
{
    QWidget *page = addTabPage(panel, QStringLiteral("Basic Data"));

    auto *meter = new QGroupBox(QStringLiteral("Meter"), page);
    QGridLayout *meterGrid = formGrid(meter);
    addField(meterGrid, meter, QStringLiteral("lbl_Serial"), QStringLiteral("Serial Number"),
             QStringLiteral("txtMeterSerial"));
    addField(meterGrid, meter, QStringLiteral("lblMeterTime"), QStringLiteral("Meter Time"),
             QStringLiteral("Text5"));
    addField(meterGrid, meter, QStringLiteral("lblFWVer"), QStringLiteral("Firmware"),
             QStringLiteral("txtFWver"));
    addField(meterGrid, meter, QStringLiteral("lblWiring"), QStringLiteral("Wiring"),
             QStringLiteral("txt_Wiring"));
    addField(meterGrid, meter, QStringLiteral("lblPhase"), QStringLiteral("Phase sequence"),
             QStringLiteral("txt_Phasor"));

    auto *ratios = new QGroupBox(QStringLiteral("Ratios"), page);
    QGridLayout *ratioGrid = formGrid(ratios);
    // The integer ratios (older firmware) and the float ratios share the box;
    // the firmware decides which pair is shown.
    const int first = ratioGrid->rowCount();
    auto *pt = new QPushButton(QStringLiteral("PT Ratio"), ratios);
    pt->setObjectName(QStringLiteral("Command3(2)"));
    pt->setFlat(true);
    ratioGrid->addWidget(pt, first, 0);
    ratioGrid->addWidget(makeValueDisplay(ratios, QStringLiteral("txt_PTRatio")), first, 1);
    ratioGrid->addWidget(caption(ratios, QStringLiteral("Label2(2)"), QString()), first, 2);
    auto *ct = new QPushButton(QStringLiteral("CT Ratio"), ratios);
    ct->setObjectName(QStringLiteral("Command3(3)"));
    ct->setFlat(true);
    ratioGrid->addWidget(ct, first + 1, 0);
    ratioGrid->addWidget(makeValueDisplay(ratios, QStringLiteral("txt_CTRatio")), first + 1, 1);
    ratioGrid->addWidget(caption(ratios, QStringLiteral("Label2(3)"), QString()), first + 1, 2);
    addField(ratioGrid, ratios, QStringLiteral("lblPTRatio2"), QStringLiteral("PT Ratio"),
             QStringLiteral("txtPTRatio2"));
    addField(ratioGrid, ratios, QStringLiteral("lblCTRatio2"), QStringLiteral("CT Ratio"),
             QStringLiteral("txtCTRatio2"));

    auto *demand = new QGroupBox(QStringLiteral("Demand"), page);
    QGridLayout *demandGrid = formGrid(demand);
    addField(demandGrid, demand, QStringLiteral("lblDemand(6)"), QStringLiteral("Time left (s)"),
             QStringLiteral("txt_Dmd(6)"));
    addField(demandGrid, demand, QStringLiteral("lblDemand(0)"), QStringLiteral("Demand (kW)"),
             QStringLiteral("txt_Dmd(0)"));
    addField(demandGrid, demand, QStringLiteral("lblDemand(1)"), QStringLiteral("Demand 2"),
             QStringLiteral("txt_Dmd(1)"));

    auto *co2 = new QGroupBox(QStringLiteral("CO2"), page);
    auto *co2Grid = formGrid(co2);
    co2Grid->addWidget(caption(co2, QStringLiteral("Labelco2(0)"), QStringLiteral("CO2")), 0, 0);
    auto *co2Out = caption(co2, QStringLiteral("txtCO2_out"), QString());
    co2Out->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    co2Grid->addWidget(co2Out, 0, 1);
    co2Grid->addWidget(caption(co2, QStringLiteral("Labelco2(1)"), QStringLiteral("CO2")), 1, 0);
    auto *co2Value = caption(co2, QStringLiteral("txtCO2"), QString());
    co2Value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    co2Grid->addWidget(co2Value, 1, 1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(meter);
    layout->addWidget(ratios);
    layout->addWidget(demand);
    layout->addWidget(co2);
    layout->addStretch();

    QWidget *items = addTabPage(panel, QStringLiteral("Display Item"));
    auto *itemsLayout = new QVBoxLayout(items);
    auto *list = new QPlainTextEdit(items);
    list->setObjectName(QStringLiteral("txt_Display_Item"));
    list->setReadOnly(true);
    itemsLayout->addWidget(list);
}
