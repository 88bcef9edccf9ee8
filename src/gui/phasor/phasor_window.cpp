#include "gui/phasor/phasor_window.h"

#include "gui/ui/caption.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "links/link_state.h"
#include "meter/measurement_decoders.h"
#include "meter/value_format.h"
#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/control_host.h"
#include "phasorctl/phaser_calls.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace phasor {

namespace {

// The quantities of the table, in txtResult1 order: voltages, currents,
// voltage angles, current angles, power factors of phases a, b, c.
constexpr meter::Q kTableFirst[5] = {meter::VoltageLnA, meter::CurrentA, meter::AngleVA,
                                       meter::AngleIA, meter::PfA};

meter::Q tableQuantity(int element) { return meter::Q(kTableFirst[element / 3] + element % 3); }

// Size of the diagram control in the window (its persisted extent).
constexpr int kDiagramWidth = 433;
constexpr int kDiagramHeight = 401;

void setPointSize(QWidget *widget, int points)
{
    QFont font = widget->font();
    font.setPointSize(points);
    widget->setFont(font);
}

} // namespace

// Shows the control's own messages through the program's message seam.
class PhaserForm::SiteAdapter final : public hosting::IControlSite {
public:
    explicit SiteAdapter(ui::Messages &messages) : messages_(messages) {}
    void showMessage(hosting::MessageIcon icon, const QString &title, const QString &text) override
    {
        messages_.show(icon == hosting::MessageIcon::Critical ? ui::MessageKind::Critical
                                                              : ui::MessageKind::Exclamation,
                       title, text);
    }

private:
    ui::Messages &messages_;
};

PhaserForm::PhaserForm(std::function<const meter::Reading &()> reading, ui::Messages &messages,
                       QWidget *parent)
    : QDialog(parent), reading_(std::move(reading)), messages_(messages),
      site_(std::make_unique<SiteAdapter>(messages))
{
    setObjectName(QStringLiteral("Phaser"));
    setWindowTitle(QStringLiteral("Phaser Diagram"));
    Timer1s.setObjectName(QStringLiteral("Timer1s"));
    Timer1s.setInterval(kRefreshMs);
    connect(&Timer1s, &QTimer::timeout, this, &PhaserForm::Timer1s_Timer);
    buildLayout();
}

PhaserForm::~PhaserForm()
{
    // The control outlives this body (it is a child widget); it must not
    // call back into a site that is gone.
    if (Phaser1)
        Phaser1->setSite(nullptr);
}

void PhaserForm::buildLayout()
{
    // Identity: fixed English titles, language captions beside them.
    auto *identity = new QGroupBox(this);
    auto *idGrid = new QGridLayout(identity);
    const char *fixed[] = {"Meter Serial", "Wiring", "Phase"};
    const char *fixedNames[] = {"Label7_c", "Label51_c", "Label52_c"};
    const char *captions[] = {"Label7", "Label51", "Label52"};
    const char *copies[] = {"txtMeterSerial", "txt_Wiring", "txt_Phasor"};
    for (int row = 0; row < 3; ++row) {
        idGrid->addWidget(ui::makeNamedLabel(identity, QString::fromLatin1(fixedNames[row]),
                                QString::fromLatin1(fixed[row])),
                          row, 0);
        idGrid->addWidget(ui::makeNamedLabel(identity, QString::fromLatin1(captions[row]), QString()), row, 1);
        QLineEdit *copy = ui::makeValueDisplay(identity, QString::fromLatin1(copies[row]));
        copy->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // Room for a whole serial number (16 characters) in the widest letters.
        copy->setMinimumWidth(copy->fontMetrics().horizontalAdvance(QString(17, QLatin1Char('W'))));
        idGrid->addWidget(copy, row, 2);
    }

    // Table: a row for each phase voltage and each phase current, with its
    // magnitude and angle; the power factors beside the voltage rows.
    auto *table = new QGroupBox(this);
    auto *grid = new QGridLayout(table);
    const auto header = [table](int index, const char *text) {
        auto *button = new QPushButton(QString::fromLatin1(text), table);
        button->setObjectName(ui::controlName("Command7", index));
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    grid->addWidget(header(5, "Magnitude"), 0, 1);
    grid->addWidget(ui::makeNamedLabel(table, ui::controlName("Label2", 9), QStringLiteral("Angle")), 0, 2,
                    Qt::AlignCenter);
    grid->addWidget(header(54, "Power Factor"), 0, 3, 1, 2);
    constexpr int kFirstVoltageRow = 1;
    constexpr int kFirstCurrentRow = 5; // a gap row between the two groups
    grid->setRowMinimumHeight(kFirstCurrentRow - 1, 6);
    const char *rowTitles[3][3] = {{"Van", "Ia", "PFa"}, {"Vbn", "Ib", "PFb"}, {"Vcn", "Ic", "PFc"}};
    const auto addValue = [this, table, grid](int element, int row, int column) {
        QLineEdit *edit = ui::makeValueDisplay(table, ui::controlName("txtResult1", element));
        txtResult1_[std::size_t(element)] = edit;
        grid->addWidget(edit, row, column);
    };
    for (int phase = 0; phase < 3; ++phase) {
        const int voltageRow = kFirstVoltageRow + phase;
        const int currentRow = kFirstCurrentRow + phase;
        grid->addWidget(ui::makeNamedLabel(table, ui::controlName("Label2", phase),
                              QString::fromLatin1(rowTitles[phase][0])),
                        voltageRow, 0);
        addValue(phase, voltageRow, 1);
        addValue(6 + phase, voltageRow, 2);
        grid->addWidget(ui::makeNamedLabel(table, ui::controlName("Label2", 6 + phase),
                              QString::fromLatin1(rowTitles[phase][2])),
                        voltageRow, 3, Qt::AlignRight);
        addValue(12 + phase, voltageRow, 4);
        grid->addWidget(ui::makeNamedLabel(table, ui::controlName("Label2", 3 + phase),
                              QString::fromLatin1(rowTitles[phase][1])),
                        currentRow, 0);
        addValue(3 + phase, currentRow, 1);
        addValue(9 + phase, currentRow, 2);
    }

    diagramArea_ = new QWidget(this);
    diagramArea_->setObjectName(QStringLiteral("PhaserArea"));
    diagramArea_->setMinimumSize(kDiagramWidth, kDiagramHeight);

    auto *end = new QPushButton(QStringLiteral("Close"), this);
    end->setObjectName(QStringLiteral("cmdPhaserEnd"));
    connect(end, &QPushButton::clicked, this, &PhaserForm::cmdPhaserEnd_Click);

    auto *left = new QVBoxLayout;
    left->addWidget(identity);
    left->addWidget(table);
    left->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(end);
    left->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(diagramArea_, 1);
}

void PhaserForm::applyCaptions(const PhaserCaptions &c)
{
    const auto set = [this](const char *name, const QString &text) {
        ui::setCaption(ui::ControlMap(this).find(QLatin1String(name)), text);
    };
    set("Label7", c.Phaser_La7);
    set("Label51", c.Phaser_La51);
    set("Label52", c.Phaser_La52);
    set("Command7(5)", c.Phaser_La2_5);
    set("Command7(54)", c.Phaser_La2_54);
    set("cmdPhaserEnd", c.Phaser_End);
    const ui::ControlMap controls(this);
    setPointSize(controls.find(QStringLiteral("Label51")), 11);
    setPointSize(controls.find(QStringLiteral("Label52")), 11);
    setPointSize(controls.find(QStringLiteral("Label7")), c.languageCode == 2 ? 11 : 9);
}

void PhaserForm::Form_Load()
{
    const hosting::ControlCreation created =
        hosting::createControl(QString::fromLatin1(gyroscribe::PhaserProgId), diagramArea_);
    if (created.control) {
        Phaser1 = created.control;
        Phaser1->setSite(site_.get());
        Phaser1->initProperties();
        Phaser1->widget()->setObjectName(QStringLiteral("Phaser1"));
        // Placed by position, not by a layout: a double click resizes it.
        Phaser1->widget()->setGeometry(0, 0, kDiagramWidth, kDiagramHeight);
        Phaser1->widget()->show();
    } else {
        messages_.show(ui::MessageKind::Critical, QStringLiteral("Error"),
                       tr("The phasor diagram cannot be shown: %1").arg(created.error));
        auto *note = new QLabel(tr("Phasor diagram not available:\n%1").arg(created.error),
                                diagramArea_);
        note->setWordWrap(true);
        note->setGeometry(0, 0, kDiagramWidth, kDiagramHeight);
    }
    Timer1s.start();
    Timer1s_Timer();
}

void PhaserForm::Timer1s_Timer()
{
    const meter::Reading &reading = reading_();
    const ui::ControlMap controls(this);
    const auto show = [&controls](const char *name, const QString &text) {
        if (auto *edit = controls.get<QLineEdit>(QLatin1String(name)))
            ui::setCaption(edit, text);
    };
    const meter::MeterIdentity *identity = reading.identity ? &*reading.identity : nullptr;
    show("txtMeterSerial", identity ? identity->serial : QString());
    show("txt_Wiring", identity ? meter::wiringText(identity->wiringCode) : QString());
    show("txt_Phasor", identity ? meter::phaseSequenceText(identity->phaseSequenceCode) : QString());
    for (int element = 0; element < 15; ++element) {
        const meter::Q q = tableQuantity(element);
        const std::optional<double> value = reading.value(q);
        ui::setCaption(txtResult1_[std::size_t(element)], value ? meter::valueText(q, *value) : QString());
    }
    drawDiagram();
}

void PhaserForm::drawDiagram()
{
    if (!Phaser1)
        return;
    // A value not read yet, not a number, or beyond a Single's range draws
    // as a zero-length vector.
    const meter::Reading &reading = reading_();
    float s[12];
    for (int element = 0; element < 12; ++element) {
        const double value = reading.value(tableQuantity(element)).value_or(0);
        const bool fitsSingle = std::isfinite(value) && std::fabs(value) <= double(std::numeric_limits<float>::max());
        s[element] = fitsSingle ? static_cast<float>(value) : 0.0f;
    }
    gyroscribe::PwrData data{s[0], s[1], s[2], s[6], s[7], s[8],
                             s[3], s[4], s[5], s[9], s[10], s[11]};
    gyroscribe::callSetPwrData(*Phaser1, data, &lastDrawn);
}

void PhaserForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Showing the window hands the diagram its pending resize, which redraws
    // the background and clears the vectors: draw them again at once instead
    // of leaving the diagram empty until the next refresh.
    if (!event->spontaneous())
        drawDiagram();
}

void PhaserForm::cmdPhaserEnd_Click() { close(); }

void PhaserForm::done(int result)
{
    // Every way of closing ends here: the button, the close box, Escape.
    Timer1s.stop();
    QDialog::done(result);
    emit closedByUser();
}

PhasorLauncher::PhasorLauncher(std::function<const meter::Reading &()> reading, links::LinkState &link,
                               ui::Messages &messages, std::function<PhaserCaptions()> captions, QWidget *window)
    : reading_(std::move(reading)), messages_(messages), captions_(std::move(captions)), window_(window)
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kOpenDelayMs);
    connect(&Timer1, &QTimer::timeout, this, &PhasorLauncher::Timer1_Timer);
    const ui::ControlMap controls(window);
    for (int panel = 0; panel < 2; ++panel) {
        auto *button = controls.require<QAbstractButton>(QStringLiteral("cmdPhaseShow"), panel);
        connect(button, &QAbstractButton::clicked, this, &PhasorLauncher::cmdPhaseShow_Click);
        // The window shows what the poll cycle reads: only while online.
        button->setEnabled(link.LinkOnline());
        connect(&link, &links::LinkState::linkOnlineChanged, button, &QWidget::setEnabled);
    }
}

void PhasorLauncher::cmdPhaseShow_Click() { PhasorRequested = true; }

void PhasorLauncher::windowDue()
{
    if (PhasorRequested)
        Timer1.start();
}

void PhasorLauncher::Timer1_Timer()
{
    // One window at a time: the poll cycle keeps asking while it is open.
    Timer1.stop();
    if (form_)
        return;
    form_ = new PhaserForm(reading_, messages_, window_);
    form_->setAttribute(Qt::WA_DeleteOnClose);
    form_->applyCaptions(captions_());
    connect(form_, &PhaserForm::closedByUser, this, &PhasorLauncher::closed);
    // Modal to the main window without a nested event loop, so that a poll
    // tick waiting for the meter is never held up by the open window.
    form_->setWindowModality(Qt::WindowModal);
    form_->Form_Load();
    form_->open();
}

void PhasorLauncher::closed()
{
    form_ = nullptr;
    PhasorRequested = false;
    Timer1.stop();
}

} // namespace phasor
