#pragma once

#include "polling/reading.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class LinkState;
class PollView;
namespace polling {
struct PanelChoice;
}
namespace modbus {
class Transactions;
}

// The poll cycle: while the link is online, Timer1Sec reads the meter's
// measurement blocks one after the other, hands each to its decoder, and then
// serves pending requests in a fixed order. One variant per measurement
// panel: PollPanel0 (DisplayBase 0) and PollPanel1 (DisplayBase 100).
// It follows the link by itself: going online starts Timer1Sec with a fresh
// firmware read, going offline stops it.
class PollCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 201;

    PollCycle(modbus::Transactions &transactions, LinkState &link, PollView &view,
              QObject *parent = nullptr);

    // Run once by the main window's start-up: every request flag lowered,
    // the display-item list to be rebuilt, the CO2 setting off until a cycle
    // finds a meter with CO2.
    void initialise();

    void Timer1Sec_Timer();
    void PollPanel0();
    void PollPanel1();
    void ApplyFirmwareLayout();
    void ApplyRLayout();

    // A pending request: its flag and the write that serves it. Rows are
    // served in the order of their numbers (equal numbers in the order they
    // were added), each only while the last transaction succeeded; the flag
    // is lowered before the write runs.
    struct RequestRow {
        bool *flag;
        std::function<void()> write;
        int order = 0;
    };
    void addRequestRow(RequestRow row);
    // The CO2-factor request, served on panel 0 before the CO2 values are
    // read, so that they already come with the new factor.
    void setCO2Request(RequestRow row) { co2Request_ = std::move(row); }

    // Text of the status caption at each tick (language key online_Status2).
    std::function<QString()> onlineStatusText = [] { return QString(); };

    // The cycle's timer runs (between ticks, or a tick is on its way).
    bool running() const { return Timer1Sec.isActive(); }
    // A download pauses the cycle while it reads, and resumes it after.
    void pause() { Timer1Sec.stop(); }
    void resume() { Timer1Sec.start(); }

    // The next tick reads the firmware first (and chooses the panel).
    void requestFirmwareRead() { FirmwareReadPending = true; }
    bool firmwareReadPending() const { return FirmwareReadPending; }
    int firmwareNumber() const { return FirmwareNumber; }
    // 0 for measurement panel 0, 100 for panel 1.
    int displayBase() const { return DisplayBase; }
    // The display items are read again at the next cycle.
    void markDisplayItemsDirty() { DisplayItemsDirty = true; }
    // The phasor button's request: the end of a cycle opens the window.
    bool phasorRequested() const { return PhasorRequested; }
    void setPhasorRequested(bool requested) { PhasorRequested = requested; }
    // A date search is asked for: the end of a cycle runs it.
    bool lpReadByDate() const { return LPReadByDate; }
    void setLPReadByDate(bool requested) { LPReadByDate = requested; }
    // The valid-record count of group 0 / 1 changed since its newest
    // record's time was last read.
    bool lpNewData(int group) const { return LPNewData[std::size_t(group)]; }
    void clearLPNewData(int group) { LPNewData[std::size_t(group)] = false; }

    // The typed reading of the meter, as far as the cycles of this
    // connection have read it.
    const polling::Reading &reading() const { return reading_; }

signals:
    // Parts of the reading (polling::ReadingPart bits) were read anew.
    void readingUpdated(unsigned parts);
    // The end of a cycle found the phasor window requested.
    void phasorWindowDue();
    // The layout for the firmware just read was applied (rLayout: the "R"
    // firmware's); DisplayBase tells the panel.
    void layoutApplied(bool rLayout);
    // The main block was decoded (the load profile compares its record
    // lists with the group status), and later the cycle has read the group
    // status: the record-number lists follow the valid-record counts now.
    void mainBlockDecoded();
    void recordListsDue();
    // The end of a cycle that is still online: the load profile's steps
    // (newest-record times, the date search of a download by date) run here,
    // on the cycle's connection.
    void loadProfileStepDue();
    // New harmonic values of the chosen channel are shown (reading().harmonics).
    void harmonicsShown();

private:
    void applyLayout(const polling::PanelChoice &choice, bool rLayout);
    void linkOnlineChanged(bool online);
    void pollPanel(bool panel0);
    void readFirmware();
    void read(std::uint8_t function, int start, int count);
    bool ok() const;
    bool online() const;
    // The link went offline, and perhaps online again, since the tick began:
    // the tick must not go on over another connection.
    bool connectionGone() const;
    std::size_t received() const;
    void blankCO2();
    void showValidCounts();
    void serveRequests();
    // Stores a decoded block in the reading, shows its texts and tells.
    void take(const std::optional<polling::Samples> &samples, polling::ReadingPart part);

    modbus::Transactions &tx_;
    LinkState &link_;
    PollView &view_;
    std::vector<RequestRow> requestRows_;
    RequestRow co2Request_{nullptr, {}};
    QTimer Timer1Sec;
    bool FirmwareReadPending = false;
    int FirmwareNumber = 0;
    int DisplayBase = 0;
    bool DisplayItemsDirty = true;
    bool PhasorRequested = false;
    bool LPReadByDate = false;
    std::array<bool, 2> LPNewData{};
    polling::Reading reading_;
    bool tickRunning_ = false;
    std::uint64_t tickSession_ = 0;
};
