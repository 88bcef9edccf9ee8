#pragma once

#include "gui/ui/caption.h"
#include "main_form_starter.h"
#include "metersim_process.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace testsupport {

// The simulated meter on serial port 3 (a pseudo-terminal), or over Modbus
// TCP at a loopback address of its own, and the main window that talks to it.
// The window goes first when the session ends, so that it never waits on a
// meter that is gone.
class MeterSession {
public:
    static constexpr int kPatienceMs = 15000;

    MeterSession() { qputenv("AMPWRIGHT_COM_DIR", comDir_.path().toLocal8Bit()); }
    ~MeterSession() { started.reset(); }

    // Starts the meter (again, replacing one that runs); false with the
    // meter's own error in error().
    bool startMeter(const QStringList &options = {}, bool tcp = false)
    {
        // A loopback address of this test process's own, so that test
        // programs that run side by side never share one.
        static int host = 1;
        const qint64 pid = QCoreApplication::applicationPid();
        tcp_ = tcp;
        address_ = QStringLiteral("127.%1.%2.%3").arg(100 + (pid >> 8) % 100).arg(pid & 0xFF).arg(host++ % 250 + 1);
        meter = std::make_unique<MeterSim>();
        const QStringList transport =
            tcp ? QStringList{QStringLiteral("--tcp"), address_ + QStringLiteral(":502")}
                : QStringList{QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"),
                              comDir_.filePath(QStringLiteral("COM3"))};
        return meter->start(transport + options);
    }
    QString error() const { return meter ? meter->errorString() : QString(); }

    // Starts the main window in the meter's transport, its language and
    // title files looked for in programDir.
    bool openWindow(const QString &programDir = binDir())
    {
        StartFormAnswer answer;
        if (tcp_)
            answer.connection = QStringLiteral("Ethernet(TCP)");
        started = std::make_unique<StartedMainForm>(answer, programDir);
        if (tcp_)
            started->control<QLineEdit>(QStringLiteral("IPAddress"))->setText(address_);
        return started->loaded;
    }

    // Presses the connect button and waits until ready() holds.
    bool goOnline(const std::function<bool()> &ready)
    {
        started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
        return started->window->link().LinkOnline() && QTest::qWaitFor(ready, kPatienceMs);
    }

    QString shown(const QString &control, int index = -1) const
    {
        return ui::caption(started->window->controls().find(control, index));
    }
    app::MainForm &window() const { return *started->window; }
    // The meter's TCP address (its port is 502); serial port 3 otherwise.
    QString address() const { return address_; }

    std::unique_ptr<MeterSim> meter;
    std::unique_ptr<StartedMainForm> started;

private:
    QTemporaryDir comDir_;
    QString address_;
    bool tcp_ = false;
};

} // namespace testsupport
