#pragma once

#include <QObject>
#include <QTimer>

// State of a load-profile download that other parts of the window look at:
// whether one runs, the next and last record to read, and its fast timer.
class DownloadState : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastTimerMs = 11;

    explicit DownloadState(QObject *parent = nullptr) : QObject(parent)
    {
        Timer_RS_Lpf.setObjectName(QStringLiteral("Timer_RS_Lpf"));
        Timer_RS_Lpf.setInterval(kFastTimerMs);
    }

    // A download is running.
    bool LPDownloading = false;
    // Zero-based index of the next record to read, and of the last one.
    long long LPNextRecord = 0;
    long long LPLastRecord = 0;

    // A download that still has records left to read.
    bool hasRecordsLeft() const { return LPDownloading && LPLastRecord > LPNextRecord; }

    QTimer Timer_RS_Lpf;
};
