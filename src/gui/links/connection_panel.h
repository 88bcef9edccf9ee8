#pragma once

#include <QObject>
#include <QTimer>

namespace ui {
class ControlMap;
}

namespace ui {
class Messages;
}
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
namespace ui {
class LockableComboBox;
}
namespace i18n {
struct LanguageTexts;
}

namespace links {

class LinkState;

// The connection panel: the link settings, the switch between serial and TCP
// mode, and the connect button that takes the link online and offline. It
// knows the connection row only; every other part of the window follows the
// link's online state by itself (LinkState::linkOnlineChanged).
class ConnectionPanel : public QObject {
    Q_OBJECT
public:
    // How long a TCP connection may take before the attempt counts as failed.
    static constexpr int kTcpConnectTimeoutMs = 5000;

    // The controls of the connection row are looked up once, here; the row
    // must be built (see connection_row.h).
    ConnectionPanel(LinkState &link, const i18n::LanguageTexts &texts, ui::Messages &messages,
                    const ui::ControlMap &controls, QObject *parent = nullptr);

    // Shows the settings of one mode and hides the other's.
    void showModeControls(bool rtuMode);
    // The offline appearance of a window that has not been online yet.
    void showInitialState();

    void Combo_CommPort_Click();
    void Combo_BaudRate_Sel_Click();
    void Combo_StopBit_Click();
    void Combo_Modbus_add_sel_Click();
    void CommModbusModeChange_Click();
    void cmdOnLine_Click();
    // Locks the port and baud-rate lists while online (e); the other
    // subsystems enable their own controls.
    void SetLinkControls(bool e);
    // A TCP connection started by the connect button is not yet established.
    bool tcpConnecting() const { return tcpConnecting_; }

private:
    bool goOnline();
    void errorPath();
    void linkOnlineChanged(bool online);
    // Captions, lamp and enabled settings of the online or offline row.
    void showAppearance(bool online);
    void onTcpConnected();
    void onTcpFailed();

    LinkState &link_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    const ui::ControlMap &controls_;

    QWidget *frame_;
    ui::LockableComboBox *commPort_;
    ui::LockableComboBox *baudRate_;
    QComboBox *stopBit_;
    QComboBox *tcpPort_;
    QComboBox *address_;
    QLineEdit *ipAddress_;
    QPushButton *modeSwitch_;
    QPushButton *online_;
    QLabel *onlineText_;
    QLabel *onlineLamp_;

    // A TCP connection started by the connect button that has not completed.
    bool tcpConnecting_ = false;
    QTimer tcpConnectTimer_;
};

} // namespace links
