#pragma once

#include "modbus/transactions.h"

#include <QObject>
#include <QTimer>

class ControlMap;
class DownloadState;
class LinkState;
class Messages;
class PollCycle;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class LockableComboBox;
namespace i18n {
struct LanguageTexts;
}

// The connection panel: the link settings, the switch between serial and TCP
// mode, and the connect button that takes the link online and offline with
// everything that changes in the window when it does. It is also the window
// the transactions talk to (online state, meter address, status line, and
// taking a failed link offline).
class ConnectionPanel : public QObject, public modbus::TransactionHost {
    Q_OBJECT
public:
    // How long a TCP connection may take before the attempt counts as failed.
    static constexpr int kTcpConnectTimeoutMs = 5000;

    // The controls are looked up once, here; the window must be built.
    ConnectionPanel(LinkState &link, DownloadState &download, const i18n::LanguageTexts &texts,
                    Messages &messages, const ControlMap &controls, QObject *parent = nullptr);

    // The transactions (whose CRC tables are rebuilt when the link changes
    // state) and the poll cycle (whose timer runs while online). They are
    // built after this panel, because the transactions talk to it.
    void attachPolling(modbus::Transactions &transactions, PollCycle &poll)
    {
        transactions_ = &transactions;
        poll_ = &poll;
    }

    // Shows the controls of a link mode (start-up).
    void showModeControls(bool rtuMode);
    // The offline appearance of a window that has not been online yet.
    void showInitialState();

    void Combo_CommPort_Click();
    void Combo_BaudRate_Sel_Click();
    void Combo_StopBit_Click();
    void Combo_Modbus_add_sel_Click();
    void CommModbusModeChange_Click();
    void cmdOnLine_Click();
    void SetLinkControls(bool e);
    // A TCP connection started by the connect button is not yet established.
    bool tcpConnecting() const { return tcpConnecting_; }

    // modbus::TransactionHost
    bool linkOnline() const override;
    int slaveAddress() const override;
    void setStatusText(const std::string &text) override;
    void takeLinkOffline() override;

private:
    bool goOnline();
    void showDownloadStartButton();
    void closeLinkAndGoOffline();
    void errorPath();
    void offlineTail();
    void showOfflineAppearance();
    void resetSerialReceive();
    void onTcpConnected();
    void onTcpFailed();

    LinkState &link_;
    DownloadState &download_;
    const i18n::LanguageTexts &texts_;
    Messages &messages_;
    const ControlMap &controls_;
    modbus::Transactions *transactions_ = nullptr;
    PollCycle *poll_ = nullptr;

    QWidget *frame_;
    LockableComboBox *commPort_;
    LockableComboBox *baudRate_;
    QComboBox *stopBit_;
    QComboBox *tcpPort_;
    QComboBox *address_;
    QLineEdit *ipAddress_;
    QPushButton *scan_;
    QPushButton *modeSwitch_;
    QPushButton *online_;
    QLabel *onlineText_;
    QLabel *onlineLamp_;
    QLineEdit *statusLine_;

    // A TCP connection started by the connect button that has not completed.
    bool tcpConnecting_ = false;
    QTimer tcpConnectTimer_;
};
