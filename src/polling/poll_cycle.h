#pragma once

#include <QObject>
#include <QTimer>

// The poll cycle: while the link is online, Timer1Sec reads the meter's
// measurement blocks one after the other and then serves pending requests.
class PollCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 201;

    explicit PollCycle(QObject *parent = nullptr) : QObject(parent)
    {
        Timer1Sec.setObjectName(QStringLiteral("Timer1Sec"));
        Timer1Sec.setInterval(kIntervalMs);
    }

    // Run once by the main window's start-up: every request flag lowered,
    // the display-item list to be rebuilt.
    void initialise() {}

    QTimer Timer1Sec;
    // Raised when the link goes online: the next tick reads the firmware first.
    bool FirmwareReadPending = false;
};
