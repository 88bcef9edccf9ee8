#pragma once

#include "loadprofile/download_origin.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>

class LinkState;

// State of a load-profile download that other parts of the window look at:
// whether one runs, the next and last record to read, and its fast timer.
// Going offline stops the fast timer; a download that still had records to
// read is then reported as interrupted.
class DownloadState : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastTimerMs = 11;
    static constexpr int kStartDelayMs = 100;

    explicit DownloadState(LinkState &link, QObject *parent = nullptr);

    // A download is running.
    bool LPDownloading = false;
    // A block is being read at this moment.
    bool LPBlockBusy = false;
    // The start button was pressed while a block was being read.
    bool LPStartDeferred = false;
    // Channels of the group being downloaded.
    int LPChannelCount = 0;
    // The meter and group settings the download began with; every block,
    // and a download continued after a reconnect, read with these.
    loadprofile::DownloadOrigin origin;
    // Changes at every start and every end of a download or a date search:
    // a block or a search probe that returns after its download or search
    // was stopped or replaced compares it and throws its answer away.
    std::uint64_t generation = 0;
    // A date search is reading time stamps at this moment.
    bool searchRunning = false;
    // The date search asked for: the group (0 or 1) and the range (date
    // serials, both included) it was asked with; the download it starts
    // keeps the range as its filter.
    struct SearchRequest {
        int group = 0;
        double begin = 0;
        double end = 0;
    };
    SearchRequest search;
    // The valid-record count the record-number lists were last built for.
    long long LPListedCount = 0;
    // Zero-based index of the next record to read, and of the last one.
    long long LPNextRecord = 0;
    long long LPLastRecord = 0;

    // A download that still has records left to read.
    bool hasRecordsLeft() const { return LPDownloading && LPLastRecord > LPNextRecord; }

    QTimer Timer_RS_Lpf;
    // Starts the download a date search has prepared.
    QTimer TimerEnLPRead;
    // Begin and end of the chosen date range, as date serials.
    std::array<double, 2> LPRangeDate{};
    // The time stamp of the newest record of group 1 / 2.
    std::array<double, 2> LPLastDataTime{};

signals:
    // The link went offline while a download with records left was running.
    void downloadInterrupted();

private:
    void linkOnlineChanged(bool online);
};
