#pragma once

#include <QString>

#include <optional>

namespace links {

class LinkState;

// Where a meter is reached and as which unit, and the one way to open the
// link to it, for the window's connection row and the command-line tool
// alike. Defaults as the window's.
struct MeterAddress {
    bool rtu = true;
    int port = 1;       // serial port number 1..16
    int baud = 19200;
    int stopBits = 1;
    QString host;       // TCP
    int tcpPort = 502;
    int unit = 15;      // Modbus address
    // The pause after each TCP request (see Transactions::setTcpPauseMs):
    // nothing for the window's pauses.
    std::optional<int> tcpPauseMs;
    // The line's timing, nothing for the defaults: how long each attempt
    // waits for its answer (Transactions::setAnswerWaitMs), the quiet time
    // between an answer and the next request (setGapMs), and the attempts
    // a request gets on the gateway's line.
    std::optional<int> answerWaitMs;
    std::optional<int> gapMs;
    std::optional<int> attempts;

    // "serial port 3 (/dev/ttyUSB2), unit 15" or "192.168.1.250:502, unit 15".
    QString describe() const;
    // The line alone: "serial port 1 (/dev/ttyUSB0)", "HOST:PORT".
    QString describeLine() const;
};

// Points the link at the meter (mode, unit, port and its settings, or host
// and port) and opens it: the serial port is opened, a TCP connection begun
// (it completes later: TcpLink::connected). The link is not set online.
// False, with the reason in why, when the port cannot be opened or an
// address is no address; LinkState::serial.openDenied() then tells a port
// the user may not use.
bool openMeterLink(LinkState &link, const MeterAddress &address, QString *why = nullptr);

} // namespace links
