#include "link/connection_row.h"

#include "app/lockable_combo_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPortRow = 0;
constexpr int kBaudRow = 1;

template <class T>
T *make(QWidget *parent, const char *name)
{
    auto *control = new T(parent);
    control->setObjectName(QLatin1String(name));
    return control;
}

QComboBox *makeList(QWidget *parent, const char *name, bool editable, int minimumChars)
{
    auto *list = make<LockableComboBox>(parent, name);
    list->setEditable(editable);
    // Typed text is read as it stands; it never becomes a new entry.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(minimumChars);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return list;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *text)
{
    auto *label = make<QLabel>(parent, name);
    label->setText(QLatin1String(text));
    return label;
}

} // namespace

void buildConnectionRow(QWidget *frame)
{
    auto *outer = new QHBoxLayout(frame);
    outer->setContentsMargins(0, 0, 0, 0);

    auto *settings = make<QGroupBox>(frame, "Frame11");
    settings->setTitle(QStringLiteral("Communication Setting"));
    auto *grid = new QGridLayout(settings);
    grid->setObjectName(QStringLiteral("connectionGrid"));
    grid->setHorizontalSpacing(8);

    QLabel *comPortLabel = makeLabel(settings, "lblComPort", "COM Port");
    QComboBox *comPort = makeList(settings, "Combo_CommPort", true, 4);
    auto *scan = make<QPushButton>(settings, "cmdScanComPort");
    scan->setText(QStringLiteral("Scan"));
    QLineEdit *ipAddress = make<QLineEdit>(settings, "IPAddress");
    ipAddress->setText(QStringLiteral("192.168.1.250"));
    ipAddress->setMinimumWidth(ipAddress->fontMetrics().horizontalAdvance(
                                   QStringLiteral("000.000.000.000"))
                               + 16);
    makeLabel(settings, "lblBaudRate", "Baud Rate");
    QComboBox *baud = makeList(settings, "Combo_BaudRate_Sel", false, 6);
    QLabel *stopLabel = makeLabel(settings, "lblStopBit", "Stop Bit");
    QComboBox *stop = makeList(settings, "Combo_StopBit", false, 3);
    QComboBox *tcpPort = makeList(settings, "Combo_Port_Sel", false, 4);
    QLabel *addressLabel = makeLabel(settings, "lblModbusAdd", "Modbus Address");
    QComboBox *address = makeList(settings, "Combo_Modbus_add_sel", true, 4);

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

    auto *modeSwitch = make<QPushButton>(settings, "CommModbusModeChange");
    modeSwitch->setText(QStringLiteral("Change to Modbus TCP"));
    grid->addWidget(modeSwitch, kPortRow, 7, 2, 1);
    placeBaudRateLabel(frame, true);

    auto *state = make<QGroupBox>(frame, "frmOnline");
    auto *stateLayout = new QVBoxLayout(state);
    auto *online = make<QPushButton>(state, "cmdOnLine");
    online->setText(QStringLiteral("Online"));
    online->setMinimumSize(140, 36);
    QFont onlineFont = online->font();
    onlineFont.setBold(true);
    online->setFont(onlineFont);
    auto *stateRow = new QHBoxLayout;
    auto *lamp = make<QLabel>(state, "txt_Online_c");
    lamp->setFixedSize(18, 18);
    lamp->setFrameShape(QFrame::Box);
    auto *stateText = make<QLabel>(state, "txt_Online");
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
    auto *label = frame->findChild<QLabel *>(QStringLiteral("lblBaudRate"));
    if (!grid || !label)
        return;
    grid->removeWidget(label);
    grid->addWidget(label, rtuMode ? kBaudRow : kPortRow, 0);
}
