#pragma once

#include "modbus/link_io.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace links {

// A link's serial port: a port number (1 to 16, see port_map.h),
// a settings text such as "19200,n,8,1", open and close, the receive count,
// the whole receive buffer at once, and output. Received data are raw bytes.
class SerialLink : public QObject, public modbus::SerialIo {
    Q_OBJECT
public:
    // The most received bytes the port object keeps. A Modbus RTU answer has
    // at most 256 bytes; what a peer sends beyond this without being asked
    // waits in the driver until the transactions take and drop it.
    static constexpr qint64 kReadBufferBytes = 1024;

    explicit SerialLink(QObject *parent = nullptr);

    // Fails (with a reason) for a number outside 1..16 or while the port is open.
    bool setPortNumber(int number, QString *error = nullptr);
    int portNumber() const { return portNumber_; }
    QString deviceName() const;

    // "baud,parity,data bits,stop bits"; parity n, e, o. Applied at once when
    // the port is open. Fails for a text of another form.
    bool setSettings(const QString &settings, QString *error = nullptr);
    QString settings() const { return settings_; }

    bool open(QString *error = nullptr);
    // The last open failed because the user may not use the device.
    bool openDenied() const { return openDenied_; }
    void close();

    bool isOpen() const override;
    int inBufferCount() override;
    std::vector<std::uint8_t> takeInput() override;
    std::vector<std::uint8_t> peekInput(int maxBytes) override;
    // Where the driver supports it (a terminal's minimum read count), the
    // port wakes the program only once the first look's bytes are in, then
    // once the missing bytes are in: a meter's answer trickling in byte by
    // byte then wakes it twice at most, not per byte.
    void expectInput(int totalBytes, int firstLook) override;
    void output(std::span<const std::uint8_t> bytes) override;

signals:
    // New bytes are in the receive buffer; while an answer is expected,
    // usually only once it is complete.
    void inputArrived();
    // The device behind the open port went away (an adapter pulled out, the
    // other side of a pseudo-terminal closed); the port has been closed.
    void portLost();

private:
    // Closes the port and reports it lost when its device no longer answers.
    void checkDeviceAfterError();
    void inputReady();
    // Sets the driver's wake count to the bytes still missing from the
    // expected count.
    void armWake();
    // Bytes received by the driver and not yet read from it.
    int driverCount() const;
    bool applySettings(QString *error);
    bool deviceRefusesUser() const;

    // Moves what the port object and the driver hold into held_, in order.
    void holdInput();

    QSerialPort port_;
    // Bytes read from the port for a look, not taken yet; older than what
    // the port object holds.
    std::vector<std::uint8_t> held_;
    int expected_ = 0;
    int firstLook_ = 0;
    // The wake count in force in the driver; -1 when not known (the port
    // was opened or its settings applied since).
    int wakeCount_ = -1;
#ifdef Q_OS_UNIX
    termios terminal_ {}; // valid while wakeCount_ >= 0
#endif
    bool openDenied_ = false;
    int portNumber_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
};

} // namespace links
