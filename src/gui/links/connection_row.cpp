#include "gui/links/connection_row.h"

#include "gui/ui/lockable_combo_box.h"
#include "gui/ui/named_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace links {

namespace {

constexpr int kPortRow = 0;
constexpr int kBaudRow = 1;

} // namespace

void buildConnectionRow(QWidget *frame)
{
    auto *outer = new QHBoxLayout(frame);
    outer->setContentsMargins(0, 0, 0, 0);

    auto *settings = ui::makeNamed<QGroupBox>(frame, "Frame11");
    settings->setTitle(QStringLiteral("Communication Setting"));
    auto *grid = new QGridLayout(settings);
    grid->setObjectName(QStringLiteral("connectionGrid"));
    grid->setHorizontalSpacing(8);

    QLabel *comPortLabel = ui::makeNamedLabel(settings, "lblComPort", QStringLiteral("COM Port"));
    QComboBox *comPort = ui::makeNamedList<ui::LockableComboBox>(settings, QStringLiteral("Combo_CommPort"), 4, true);
    auto *scan = ui::makeNamed<QPushButton>(settings, "cmdScanComPort");
    scan->setText(QStringLiteral("Scan"));
    QLineEdit *ipAddress = ui::makeNamed<QLineEdit>(settings, "IPAddress");
    ipAddress->setText(QStringLiteral("192.168.1.250"));
    ipAddress->setMinimumWidth(ipAddress->fontMetrics().horizontalAdvance(
                                   QStringLiteral("000.000.000.000"))
                               + 16);
    ui::makeNamedLabel(settings, "lblBaudRate", QStringLiteral("Baud Rate"));
    QComboBox *baud = ui::makeNamedList<ui::LockableComboBox>(settings, QStringLiteral("Combo_BaudRate_Sel"), 6, false);
    QLabel *stopLabel = ui::makeNamedLabel(settings, "lblStopBit", QStringLiteral("Stop Bit"));
    QComboBox *stop = ui::makeNamedList<ui::LockableComboBox>(settings, QStringLiteral("Combo_StopBit"), 3, false);
    QComboBox *tcpPort = ui::makeNamedList<ui::LockableComboBox>(settings, QStringLiteral("Combo_Port_Sel"), 4, false);
    QLabel *addressLabel = ui::makeNamedLabel(settings, "lblModbusAdd", QStringLiteral("Modbus Address"));
    QComboBox *address = ui::makeNamedList<ui::LockableComboBox>(settings, QStringLiteral("Combo_Modbus_add_sel"), 4, true);

    grid->addWidget(comPortLabel, kPortRow, 0);
    grid->addWidget(comPort, kPortRow, 1);
    grid->addWidget(scan, kPortRow, 2);
    // The IP address takes the place of the port number in TCP mode.
    grid->addWidget(ipAddress, kPortRow, 1, 1, 2);
    grid->addWidget(baud, kBaudRow, 1, 1, 2);
    grid->addWidget(addressLabel, kPortRow, 4);
    grid->addWidget(address, kPortRow, 5);
    grid->addWidget(stopLabel, kBaudRow, 4);
    grid->addWidget(stop, kBaudRow, 5);
    grid->addWidget(tcpPort, kBaudRow, 5);
    grid->setColumnMinimumWidth(3, 16);
    grid->setColumnStretch(6, 1);

    auto *modeSwitch = ui::makeNamed<QPushButton>(settings, "CommModbusModeChange");
    modeSwitch->setText(QStringLiteral("Change to Modbus TCP"));
    grid->addWidget(modeSwitch, kPortRow, 7, 2, 1);
    placeBaudRateLabel(frame, true);

    auto *state = ui::makeNamed<QGroupBox>(frame, "frmOnline");
    auto *stateLayout = new QVBoxLayout(state);
    auto *online = ui::makeNamed<QPushButton>(state, "cmdOnLine");
    online->setText(QStringLiteral("Online"));
    online->setMinimumSize(140, 36);
    QFont onlineFont = online->font();
    onlineFont.setBold(true);
    online->setFont(onlineFont);
    auto *stateRow = new QHBoxLayout;
    auto *lamp = ui::makeNamed<QLabel>(state, "txt_Online_c");
    lamp->setFixedSize(18, 18);
    lamp->setFrameShape(QFrame::Box);
    auto *stateText = ui::makeNamed<QLabel>(state, "txt_Online");
    stateText->setText(QStringLiteral("Offline"));
    stateText->setMinimumWidth(120);
    stateRow->addWidget(lamp);
    stateRow->addWidget(stateText, 1);
    stateLayout->addWidget(online);
    stateLayout->addLayout(stateRow);

    outer->addWidget(settings, 1);
    outer->addWidget(state);
}

void placeBaudRateLabel(QWidget *frame, bool rtuMode)
{
    auto *grid = frame->findChild<QGridLayout *>(QStringLiteral("connectionGrid"));
    auto *label = ui::ControlMap(frame).get<QLabel>(QStringLiteral("lblBaudRate"));
    if (!grid || !label)
        return;
    grid->removeWidget(label);
    grid->addWidget(label, rtuMode ? kBaudRow : kPortRow, 0);
}

void fillConnectionLists(const ui::ControlMap &controls)
{
    const QStringList addresses = ui::numberTexts(1, 247);
    ui::fillList(controls.require<QComboBox>(QStringLiteral("Combo_Modbus_add_sel")), addresses,
             addresses.indexOf(QStringLiteral("15")));
    ui::fillList(controls.require<QComboBox>(QStringLiteral("Combo_BaudRate_Sel")),
             {QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")}, 1);
    ui::fillList(controls.require<QComboBox>(QStringLiteral("Combo_StopBit")), ui::numberTexts(1, 2), 0);
    ui::fillList(controls.require<QComboBox>(QStringLiteral("Combo_Port_Sel")),
             {QStringLiteral("502"), QStringLiteral("503")}, 0);
}

} // namespace links
