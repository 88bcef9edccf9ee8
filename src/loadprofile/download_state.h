#pragma once

#include <QObject>
#include <QTimer>

class LinkState;

// State of a load-profile download that other parts of the window look at:
// whether one runs, the next and last record to read, and its fast timer.
// Going offline stops the fast timer; a download that still had records to
// read is then reported as interrupted.
class DownloadState : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastTimerMs = 11;

    explicit DownloadState(LinkState &link, QObject *parent = nullptr);

    // A download is running.
    bool LPDownloading = false;
    // Zero-based index of the next record to read, and of the last one.
    long long LPNextRecord = 0;
    long long LPLastRecord = 0;

    // A download that still has records left to read.
    bool hasRecordsLeft() const { return LPDownloading && LPLastRecord > LPNextRecord; }

    QTimer Timer_RS_Lpf;

signals:
    // The link went offline while a download with records left was running.
    void downloadInterrupted();

private:
    void linkOnlineChanged(bool online);
};
