#include "gui/meter/measurement_panel.h"

#include "gui/ui/named_controls.h"

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

namespace meter {

namespace {

QLabel *caption(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// Column headers and some row titles are flat buttons, as the language files
// label them like buttons.
QPushButton *flatCaption(QWidget *parent, const QString &name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
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

struct Keyed {
    const char *english;
    const char *key;
};

// The five energy counters, captioned from section left1midini.
constexpr Keyed kEnergyNames[] = {{"kWh delivered", "left1mid_kWhDelivered"},
                                  {"kWh received", "left1mid_kWhReceived"},
                                  {"kvarh lagging", "left1mid_kvarhLagging"},
                                  {"kvarh leading", "left1mid_kvarhLeading"},
                                  {"kVAh", "left1mid_kVAh"}};

QLabel *energyName(QWidget *parent, int counter)
{
    return ui::makeKeyed(parent, kEnergyNames[counter].english, "left1midini",
                     kEnergyNames[counter].key);
}

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
        QPushButton *title = flatCaption(page, ui::controlName("Command7", headers[panelIndex][c]),
                                         QString::fromUtf8(headerTexts[c]));
        if (c < 4)
            grid->addWidget(title, 0, c + 1);
        else
            title->hide();
    }
    int row = 1;
    for (const Row &r : kRealTimeRows) {
        grid->addWidget(caption(page, ui::controlName(r.label, panelIndex), QString::fromUtf8(r.caption)),
                        row, 0);
        for (int i = 0; i < r.values; ++i)
            grid->addWidget(ui::makeValueDisplay(page, ui::controlName(r.control, base + i)), row, 1 + i);
        ++row;
    }
    grid->addWidget(caption(page, ui::controlName("lblFreq", panelIndex), QStringLiteral("Frequency (Hz)")),
                    row, 0);
    grid->addWidget(ui::makeValueDisplay(page, ui::controlName("txtFrequency", base)), row, 1);

    // The energy totals again, so that the first page shows them too.
    auto *energy = ui::makeKeyed<QGroupBox>(page, "Energy totals", "left1midini",
                                        "left1mid_EnergyTotals");
    auto *energyGrid = new QGridLayout(energy);
    for (int q = 0; q < 5; ++q) {
        energyGrid->addWidget(energyName(energy, q), 0, q);
        energyGrid->addWidget(ui::makeValueDisplay(energy, ui::controlName("txt_kWh", base + 20 + q), 13), 1, q);
    }

    auto *phasor = new QPushButton(QStringLiteral("Phasor"), page);
    phasor->setObjectName(ui::controlName("cmdPhaseShow", panelIndex));

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
    // The phase columns share the keys of the real-time page's headers.
    constexpr Keyed columns[] = {{"Total", "left1mid_Total"},
                                 {"Phase A", "left1mid_La2_48"},
                                 {"Phase B", "left1mid_La2_1"},
                                 {"Phase C", "left1mid_La2_49"}};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(ui::makeKeyed(page, columns[c].english, "left1midini", columns[c].key), 0,
                        c + 1);
    for (int q = 0; q < 5; ++q) {
        grid->addWidget(energyName(page, q), q + 1, 0);
        grid->addWidget(ui::makeValueDisplay(page, ui::controlName("txt_kWh", base + q), 13), q + 1, 1);
        for (int p = 0; p < 3; ++p)
            grid->addWidget(ui::makeValueDisplay(page, ui::controlName("txt_kWh", base + 5 + 5 * p + q), 13), q + 1,
                            p + 2);
    }
    grid->setRowStretch(6, 1);
}

void buildThdPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    for (int k = 0; k < 6; ++k)
        grid->addWidget(new QLabel(QString::number(k + 1), page), 0, k + 1, Qt::AlignCenter);
    // What each group stands for is the language file's to say.
    const char *groupKeys[] = {"left1mid_THDGroup1", "left1mid_THDGroup2", "left1mid_THDGroup3"};
    const char *groupNames[] = {"THD group 1", "THD group 2", "THD group 3"};
    for (int g = 0; g < 3; ++g) {
        grid->addWidget(ui::makeKeyed(page, groupNames[g], "left1midini", groupKeys[g]), g + 1, 0);
        for (int k = 0; k < 6; ++k)
            grid->addWidget(ui::makeValueDisplay(page, ui::controlName("txtTHD", 6 * g + k), 9), g + 1, k + 1);
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
        option->setObjectName(ui::controlName("optHarmonic", k));
        group->addButton(option, k);
        channels->addWidget(option);
    }
    ui::setCaptionKey(group->button(6), "left1midini", "left1mid_HarmonicNone");
    group->button(6)->setChecked(true);
    channels->addStretch();

    auto *grid = new QGridLayout;
    for (int h = 0; h < 32; ++h) {
        const int column = 2 * (h / 8);
        grid->addWidget(new QLabel(QString::number(h + 1), page), h % 8, column, Qt::AlignRight);
        grid->addWidget(ui::makeValueDisplay(page, ui::controlName("txtHarmonic", h), 9), h % 8, column + 1);
    }
    // The values as a chart beside the numbers (see HarmonicChart).
    auto *chartArea = ui::makeNamed<QWidget>(page, "harmonicChartArea");
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
    grid->addWidget(ui::makeValueDisplay(parent, displayName), row, 1);
}

} // namespace

void buildMeasurementPanel(QTabWidget *panel, int panelIndex)
{
    buildRealTimePage(ui::addTabPage(panel, QStringLiteral("Real time Data")), panelIndex);
    buildEnergyPage(ui::addTabPage(panel, QStringLiteral("Total kWh")), panelIndex);
    if (panelIndex == 0) {
        buildThdPage(ui::addTabPage(panel, QStringLiteral("THD")));
        buildHarmonicPage(ui::addTabPage(panel, QStringLiteral("Harmonic")));
    }
}

void buildBasicDataPanel(QTabWidget *panel)
{
    QWidget *page = ui::addTabPage(panel, QStringLiteral("Basic Data"));

    auto *meter = ui::makeKeyed<QGroupBox>(page, "Meter", "rightmidini", "rightmi_Meter");
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

    auto *ratios = ui::makeKeyed<QGroupBox>(page, "Ratios", "rightmidini", "rightmi_Ratios");
    QGridLayout *ratioGrid = formGrid(ratios);
    // The integer ratios (older firmware) and the float ratios share the box;
    // the firmware decides which pair is shown.
    const int first = ratioGrid->rowCount();
    QPushButton *pt = flatCaption(ratios, QStringLiteral("Command3(2)"), QStringLiteral("PT Ratio"));
    ratioGrid->addWidget(pt, first, 0);
    ratioGrid->addWidget(ui::makeValueDisplay(ratios, QStringLiteral("txt_PTRatio")), first, 1);
    ratioGrid->addWidget(caption(ratios, QStringLiteral("Label2(2)"), QString()), first, 2);
    QPushButton *ct = flatCaption(ratios, QStringLiteral("Command3(3)"), QStringLiteral("CT Ratio"));
    ratioGrid->addWidget(ct, first + 1, 0);
    ratioGrid->addWidget(ui::makeValueDisplay(ratios, QStringLiteral("txt_CTRatio")), first + 1, 1);
    ratioGrid->addWidget(caption(ratios, QStringLiteral("Label2(3)"), QString()), first + 1, 2);
    addField(ratioGrid, ratios, QStringLiteral("lblPTRatio2"), QStringLiteral("PT Ratio"),
             QStringLiteral("txtPTRatio2"));
    addField(ratioGrid, ratios, QStringLiteral("lblCTRatio2"), QStringLiteral("CT Ratio"),
             QStringLiteral("txtCTRatio2"));

    // The demand frame and its captions: time left in the demand period,
    // the present demand and the maximum demand, each beside its value; then
    // the caption of the maximum demand's time, which the meter does not
    // report, so it stands alone.
    auto *demand = ui::makeNamed<QGroupBox>(page, "Frame2(1)");
    demand->setTitle(QStringLiteral("Demand"));
    QGridLayout *demandGrid = formGrid(demand);
    const struct {
        int caption;
        const char *english;
        int display;
    } demandRows[] = {{225, "Demand Period Left (s)", 6},
                      {221, "Present Demand (kW)", 0},
                      {224, "Maximum Demand (kW)", 1}};
    for (const auto &row : demandRows) {
        QPushButton *title = flatCaption(demand, ui::controlName("Command1", row.caption),
                                         QString::fromUtf8(row.english));
        const int at = demandGrid->rowCount();
        demandGrid->addWidget(title, at, 0, Qt::AlignLeft);
        demandGrid->addWidget(ui::makeValueDisplay(demand, ui::controlName("txt_Dmd", row.display)), at, 1);
    }
    demandGrid->addWidget(flatCaption(demand, ui::controlName("Command1", 226),
                                      QStringLiteral("Max Demand Time")),
                          demandGrid->rowCount(), 0, Qt::AlignLeft);

    auto *co2 = ui::makeKeyed<QGroupBox>(page, "CO2", "rightmidini", "rightmi_CO2");
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

    QWidget *items = ui::addTabPage(panel, QStringLiteral("Display Item"));
    auto *itemsLayout = new QVBoxLayout(items);
    auto *list = new QPlainTextEdit(items);
    list->setObjectName(QStringLiteral("txt_Display_Item"));
    list->setReadOnly(true);
    itemsLayout->addWidget(list);
}

} // namespace meter
