#include "gui/links/port_scan.h"

#include "gui/ui/messages.h"
#include "i18n/language_texts.h"
#include "links/link_state.h"
#include "links/port_map.h"

#include <QComboBox>

namespace links {

namespace {

// Selects an entry so that the list's selection handler runs even when the
// entry was already selected (adding the first entry selects it quietly).
void selectEntry(QComboBox &list, int index)
{
    {
        const QSignalBlocker quiet(&list);
        list.setCurrentIndex(-1);
    }
    list.setCurrentIndex(index);
}

} // namespace

PortScan::PortScan(LinkState &link, QComboBox &portList, const i18n::LanguageTexts &texts,
                   ui::Messages &messages, QObject *parent)
    : QObject(parent), link_(link), portList_(portList), texts_(texts), messages_(messages)
{
}

bool PortScan::scan(bool reportNoPort)
{
    // Every probe would fail on the port in use, and a new selection would
    // try to move the open connection to another port.
    if (link_.LinkOnline())
        return false;

    {
        const QSignalBlocker quiet(&portList_);
        portList_.clear();
        for (int n = links::kFirstPort; n <= links::kLastPort; ++n)
            ProbeComPort(n);
    }
    if (portList_.count() > 0) {
        selectEntry(portList_, 0);
        return false;
    }

    if (reportNoPort)
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_Box2);
    {
        const QSignalBlocker quiet(&portList_);
        for (int n = links::kFirstPort; n <= links::kLastPort; ++n) {
            portList_.addItem(QString::number(n));
            portList_.setItemData(portList_.count() - 1, links::deviceForPort(n),
                                  Qt::ToolTipRole);
        }
    }
    selectEntry(portList_, kFallbackSelection);
    return reportNoPort;
}

void PortScan::ProbeComPort(int n)
{
    SerialLink &serial = link_.serial;
    if (!serial.setPortNumber(n) || serial.isOpen())
        return;
    if (!serial.open())
        return;
    // The list shows the number; its tip tells which device it stands for.
    portList_.addItem(QString::number(n));
    portList_.setItemData(portList_.count() - 1, serial.deviceName(), Qt::ToolTipRole);
    serial.close();
}

} // namespace links
