#include "gui/links/connection_panel.h"

#include "gui/links/connection_row.h"
#include "gui/ui/back_color.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/lockable_combo_box.h"
#include "gui/ui/messages.h"
#include "i18n/language_texts.h"
#include "links/ip_address.h"
#include "links/link_state.h"
#include "links/meter_address.h"
#include "links/port_map.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace links {

namespace {

const QColor kOnlineColor(0x80, 0xFF, 0x80);
const QColor kOfflineColor(0xFF, 0xC0, 0xC0);
// Connection settings that cannot change while online. The port scan would
// probe the open port, and the TCP settings only take effect at the next
// connect.
const char *const kOfflineOnlyControls[] = {
    "Combo_CommPort", "Combo_Modbus_add_sel", "Combo_BaudRate_Sel", "Combo_StopBit",
    "CommModbusModeChange", "cmdScanComPort", "IPAddress", "Combo_Port_Sel",
};

const char *const kSerialControls[] = {"lblComPort", "Combo_CommPort", "cmdScanComPort",
                                       "Combo_BaudRate_Sel", "Combo_StopBit"};
const char *const kTcpControls[] = {"IPAddress", "Combo_Port_Sel"};

bool readInteger(const QString &text, int &value)
{
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok);
    if (ok)
        value = parsed;
    return ok;
}

} // namespace

ConnectionPanel::ConnectionPanel(LinkState &link, const i18n::LanguageTexts &texts,
                                 ui::Messages &messages, const ui::ControlMap &controls, QObject *parent)
    : QObject(parent), link_(link), texts_(texts), messages_(messages), controls_(controls),
      frame_(controls.require<QWidget>(QStringLiteral("Frame9(1)"))),
      commPort_(controls.require<ui::LockableComboBox>(QStringLiteral("Combo_CommPort"))),
      baudRate_(controls.require<ui::LockableComboBox>(QStringLiteral("Combo_BaudRate_Sel"))),
      stopBit_(controls.require<QComboBox>(QStringLiteral("Combo_StopBit"))),
      tcpPort_(controls.require<QComboBox>(QStringLiteral("Combo_Port_Sel"))),
      address_(controls.require<QComboBox>(QStringLiteral("Combo_Modbus_add_sel"))),
      ipAddress_(controls.require<QLineEdit>(QStringLiteral("IPAddress"))),
      modeSwitch_(controls.require<QPushButton>(QStringLiteral("CommModbusModeChange"))),
      online_(controls.require<QPushButton>(QStringLiteral("cmdOnLine"))),
      onlineText_(controls.require<QLabel>(QStringLiteral("txt_Online"))),
      onlineLamp_(controls.require<QLabel>(QStringLiteral("txt_Online_c")))
{
    // Every control the link switches must exist before the first switch.
    for (const char *name : kOfflineOnlyControls)
        controls_.require<QWidget>(QLatin1String(name));

    auto selected = [](QComboBox *list, void (ConnectionPanel::*handler)(), ConnectionPanel *self) {
        connect(list, &QComboBox::currentIndexChanged, self, [self, handler](int index) {
            // Emptying a list selects nothing; that is no choice.
            if (index >= 0)
                (self->*handler)();
        });
    };
    selected(commPort_, &ConnectionPanel::Combo_CommPort_Click, this);
    selected(baudRate_, &ConnectionPanel::Combo_BaudRate_Sel_Click, this);
    selected(stopBit_, &ConnectionPanel::Combo_StopBit_Click, this);
    selected(address_, &ConnectionPanel::Combo_Modbus_add_sel_Click, this);
    connect(modeSwitch_, &QPushButton::clicked, this, &ConnectionPanel::CommModbusModeChange_Click);
    connect(online_, &QPushButton::clicked, this, &ConnectionPanel::cmdOnLine_Click);

    tcpConnectTimer_.setSingleShot(true);
    tcpConnectTimer_.setInterval(kTcpConnectTimeoutMs);
    connect(&tcpConnectTimer_, &QTimer::timeout, this, &ConnectionPanel::onTcpFailed);
    connect(&link_.tcp, &TcpLink::connected, this, &ConnectionPanel::onTcpConnected);
    // Queued: a failure reported inside the connect call itself is handled
    // once the connect button's handler has finished.
    connect(&link_.tcp, &TcpLink::socketError, this, &ConnectionPanel::onTcpFailed,
            Qt::QueuedConnection);
    connect(&link_, &LinkState::linkOnlineChanged, this, &ConnectionPanel::linkOnlineChanged);
}

void ConnectionPanel::showModeControls(bool rtuMode)
{
    for (const char *name : kSerialControls)
        controls_.require<QWidget>(QLatin1String(name))->setVisible(rtuMode);
    for (const char *name : kTcpControls)
        controls_.require<QWidget>(QLatin1String(name))->setVisible(!rtuMode);
    placeBaudRateLabel(frame_, rtuMode);
}

void ConnectionPanel::showInitialState() { showAppearance(false); }

void ConnectionPanel::Combo_CommPort_Click()
{
    int number = 0;
    // A text that is no port number is reported when the user connects.
    if (readInteger(commPort_->currentText(), number))
        link_.serial.setPortNumber(number);
    // The list's tip names the device the chosen number stands for.
    commPort_->setToolTip(links::deviceForPort(number));
}

void ConnectionPanel::Combo_BaudRate_Sel_Click()
{
    link_.serial.setSettings(baudRate_->currentText() + QStringLiteral(",n,8,")
                             + stopBit_->currentText());
}

void ConnectionPanel::Combo_StopBit_Click() { Combo_BaudRate_Sel_Click(); }

void ConnectionPanel::Combo_Modbus_add_sel_Click()
{
    int address = 0;
    if (readInteger(address_->currentText(), address))
        link_.SlaveAddress = address;
}

void ConnectionPanel::CommModbusModeChange_Click()
{
    // The mode cannot change under an open connection.
    if (link_.LinkOnline())
        return;
    auto *baudLabel = controls_.require<QWidget>(QStringLiteral("lblBaudRate"));
    auto *stopLabel = controls_.require<QWidget>(QStringLiteral("lblStopBit"));
    const bool toTcp = link_.RtuMode;
    if (toTcp) {
        ui::setCaption(modeSwitch_, texts_.change_modbus4);
        ui::setCaption(baudLabel, texts_.change_modbus5);
        ui::setCaption(stopLabel, texts_.change_modbus6);
    } else {
        ui::setCaption(modeSwitch_, texts_.change_modbus1);
        ui::setCaption(baudLabel, texts_.change_modbus2);
        ui::setCaption(stopLabel, texts_.change_modbus3);
    }
    showModeControls(!toTcp);
    link_.RtuMode = !link_.RtuMode;
}

void ConnectionPanel::cmdOnLine_Click()
{
    if (address_->currentText().isEmpty()) {
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box1);
        return;
    }
    if (link_.LinkOnline()) {
        link_.closeAndGoOffline();
        return;
    }

    if (!link_.RtuMode && !isIpAddressText(ipAddress_->text())) {
        messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.online_CheckIP1 + QLatin1Char('\n') + texts_.online_CheckIP2);
        return;
    }
    if (!goOnline())
        errorPath();
}

bool ConnectionPanel::goOnline()
{
    MeterAddress address;
    address.rtu = link_.RtuMode;
    address.unit = link_.SlaveAddress;
    address.host = ipAddress_->text();
    if (address.rtu ? !readInteger(commPort_->currentText(), address.port)
                          || !readInteger(baudRate_->currentText(), address.baud)
                          || !readInteger(stopBit_->currentText(), address.stopBits)
                    : !readInteger(tcpPort_->currentText(), address.tcpPort))
        return false;
    ui::setCaption(online_, texts_.online_OFF);
    const bool connected = !address.rtu && link_.tcp.isConnected();
    if (!openMeterLink(link_, address))
        return false;
    if (!address.rtu && !connected) {
        // The connection completes later; transactions meanwhile find the
        // socket not connected and return at once.
        tcpConnecting_ = true;
        tcpConnectTimer_.start();
    }
    // Once the port is open (or the connection under way) the link is
    // online, and every part of the window follows.
    link_.setLinkOnline(true);
    return true;
}

void ConnectionPanel::errorPath()
{
    // A port the user may not open says so, and how to get access.
    const QString text = !link_.RtuMode          ? texts_.rightdown_Box12
                         : link_.serial.openDenied() ? texts_.rightdown_PortDenied.arg(link_.serial.deviceName())
                                                           + QLatin1Char('\n') + texts_.rightdown_PortDenied2
                                                     : texts_.rightdown_Box9;
    messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, text);
    // The port is left as it is: the next connect closes and reopens it.
    if (link_.LinkOnline())
        link_.setLinkOnline(false);
    else
        showAppearance(false);
}

void ConnectionPanel::linkOnlineChanged(bool online)
{
    if (online) {
        showAppearance(true);
        return;
    }
    tcpConnecting_ = false;
    tcpConnectTimer_.stop();
    showAppearance(false);
}

void ConnectionPanel::showAppearance(bool online)
{
    ui::setCaption(online_, online ? texts_.online_OFF : texts_.online_ON);
    ui::setCaption(onlineText_, online ? texts_.online_ON : texts_.online_OFF);
    ui::setBackColor(onlineLamp_, online ? kOnlineColor : kOfflineColor);
    SetLinkControls(online);
    ui::setControlsEnabled(controls_, kOfflineOnlyControls, !online);
}

void ConnectionPanel::SetLinkControls(bool e)
{
    commPort_->setLocked(e);
    baudRate_->setLocked(e);
}

void ConnectionPanel::onTcpConnected()
{
    tcpConnecting_ = false;
    tcpConnectTimer_.stop();
}

void ConnectionPanel::onTcpFailed()
{
    // Only the connection the connect button started is handled here; what
    // happens to an established connection is the socket's own business.
    if (!tcpConnecting_ || !link_.LinkOnline() || link_.RtuMode)
        return;
    tcpConnecting_ = false;
    tcpConnectTimer_.stop();
    link_.tcp.close();
    errorPath();
}

} // namespace links
