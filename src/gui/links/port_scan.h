#pragma once

#include <QObject>

namespace ui {
class Messages;
}
class QComboBox;
namespace i18n {
struct LanguageTexts;
}

namespace links {

class LinkState;

// The serial-port scan: offers in Combo_CommPort the port numbers 1 to 16
// whose port can be opened. Without any, it says so and offers all sixteen.
class PortScan : public QObject {
    Q_OBJECT
public:
    static constexpr int kFallbackSelection = 5; // the sixth entry, "6"

    PortScan(LinkState &link, QComboBox &portList, const i18n::LanguageTexts &texts,
             ui::Messages &messages, QObject *parent = nullptr);

    // The scan button.
    void cmdScanComPort_Click() { scan(true); }

    // Scans; the message about a machine without usable ports is shown only
    // when reportNoPort is set. Returns whether that message was shown.
    // While the link is online nothing happens: the open connection and the
    // list stay as they are.
    bool scan(bool reportNoPort);

    // Lists port n when it can be opened; any failure leaves it out.
    void ProbeComPort(int n);

private:
    LinkState &link_;
    QComboBox &portList_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
};

} // namespace links
