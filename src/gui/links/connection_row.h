#pragma once

namespace ui {
class ControlMap;
}
class QWidget;

namespace links {

// Builds the connection row into its frame (Frame9(1)): the link settings of
// both modes (port number, scan, baud rate, stop bits; IP address, TCP
// port), the meter address, the mode switch, the connect button and the
// online state. The lists stay empty; the window's start-up fills them.
void buildConnectionRow(QWidget *frame);

// Places lblBaudRate for a link mode: beside the baud rate in serial mode,
// in the row of the port number (beside the IP address) in TCP mode.
void placeBaudRateLabel(QWidget *frame, bool rtuMode);

// Fills the lists of the connection row and selects their defaults (meter
// address 15, 19200 baud, 1 stop bit, TCP port 502); selecting runs each
// list's selection handler.
void fillConnectionLists(const ui::ControlMap &controls);

} // namespace links
