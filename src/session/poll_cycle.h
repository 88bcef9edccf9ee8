#pragma once

#include "meter/firmware_layout.h"
#include "meter/reading.h"
#include "meter/register_map.h"
#include "session/refused_reads.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <optional>

namespace links {
class LinkState;
}

namespace session {

class MeterAccess;
class RequestQueue;

// The poll cycle of a meter session: while the link is online, Timer1Sec
// reads the meter's measurement blocks one after the other, decodes each
// into the typed reading, and then serves the waiting requests in their
// order. One variant per measurement panel: PollPanel0 (DisplayBase 0) and
// PollPanel1 (DisplayBase 100). It follows the link by itself: going online
// starts Timer1Sec with a fresh firmware read (unless the session polls on
// demand only), going offline stops it.
//
// It names no control: what it read leaves as signals with typed payloads,
// and whoever shows it (the window's pages, the tool, the gateway) makes its
// own texts.
class PollCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 201;

    // timed: Timer1Sec runs while online (the window); otherwise a cycle runs
    // only when Timer1Sec_Timer is called (the tool, the gateway).
    PollCycle(MeterAccess &meter, RequestQueue &requests, bool timed, QObject *parent = nullptr);

    void Timer1Sec_Timer();
    void PollPanel0();
    void PollPanel1();

    // The cycle's timer runs (between ticks, or a tick is on its way).
    bool running() const { return Timer1Sec.isActive(); }
    // A download pauses the cycle while it reads, and resumes it after.
    void pause() { Timer1Sec.stop(); }
    void resume() { Timer1Sec.start(); }

    bool firmwareReadPending() const { return FirmwareReadPending; }
    // The meter refuses the firmware read: the cycles go on as without it.
    bool firmwareRefused() const;
    int firmwareNumber() const { return FirmwareNumber; }
    // 0 for measurement panel 0, 100 for panel 1.
    int displayBase() const { return DisplayBase; }
    // The harmonic channel to read (0..5: Va, Vb, Vc, Ia, Ib, Ic), or none.
    // Looked at before its block is read and again when it has come.
    void setHarmonicChannel(std::optional<int> channel) { harmonicChannel_ = channel; }
    std::optional<int> harmonicChannel() const { return harmonicChannel_; }
    // The meter's firmware reads harmonic spectra (known once its firmware
    // has been read).
    bool readsHarmonics() const;
    // The spectrum of harmonic channel 0..5 read now, outside a cycle (the
    // tool reads every chosen channel this way); stored in the reading.
    // Nothing when the read failed or the meter's firmware has no harmonics.
    std::optional<std::array<double, 32>> readHarmonics(int channel);
    // The reads the meter refuses (a Modbus exception), in the order they
    // were first refused. A read stays here until it is answered, or until a
    // whole cycle no longer asks for it.
    const std::vector<RefusedRead> &refusedReads() const { return refused_; }
    // The last transaction of the cycle succeeded: its later steps go on.
    bool lastTransOK() const { return LastTransOK; }

    // The typed reading of the meter, as far as the cycles of this
    // connection have read it.
    const meter::Reading &reading() const { return reading_; }

signals:
    // A tick begins: the status caption shows that the meter is polled.
    void tickStarted();
    // The samples of one block, just stored in the reading; readingUpdated
    // follows.
    void samplesRead(const meter::Samples &samples);
    // Parts of the reading (meter::ReadingPart bits) were read anew.
    void readingUpdated(unsigned parts);
    // The CO2 values are no longer read (a failed cycle, or a meter without
    // them): they have been forgotten from the reading.
    void co2Blanked();
    // The CO2 factor can be set (the meter computes CO2), or not.
    void co2Settable(bool settable);
    // The layout for the firmware just read: first the panel, then
    // (layoutApplied) the lists that follow it.
    void layoutChosen(const meter::PanelChoice &choice);
    void layoutApplied(bool rLayout);
    // The main block was decoded (the load profile compares its record
    // lists with the group status), and later the cycle has read the group
    // status: the record-number lists follow the valid-record counts now.
    void mainBlockDecoded();
    void recordListsDue();
    // Messages of earlier attempts are over: the cycle got past its reads.
    void statusCleared();
    // The end of a cycle that read its panel. online: the link is still
    // online on the connection the cycle began with, so that steps of other
    // subsystems (the load profile's reads) can run on it now; lastTransOK()
    // tells whether the cycle's reads went through.
    void cycleEnded(bool online);
    // The valid-record count of the load-profile group just read differs
    // from the one the reading held (none counts as different).
    void validCountChanged(meter::LpGroup group);
    // New harmonic values of the chosen channel (reading().harmonics); only
    // when that channel is still the chosen one.
    void harmonicsShown();
    // The meter refused a read: what it would have filled is forgotten from
    // the reading, and must no longer be shown as current.
    void withdrawn(const meter::Withdrawn &withdrawn);
    // refusedReads() changed.
    void refusalsChanged();

private:
    void linkOnlineChanged(bool online);
    void pollPanel(bool panel0);
    // The steps of a panel's cycle, in their order. A step that returns false
    // found the cycle failed: it stops there.
    bool readMainBlock();
    bool readValidCounts();
    bool readDemand();
    bool readFrequency(bool panel0);
    void readPhaseEnergy(bool panel0);
    void readRatios(bool panel0);
    // Panel 0 only: THD, the chosen harmonic channel (older firmware), the
    // CO2 factor waiting to be written and the CO2 values.
    bool pollPanel0Extras(bool olderFirmware);
    void readThd();
    void readChosenHarmonics();
    bool writeCO2Factor();
    bool readCO2();
    bool readFloatRatios(bool panel0);
    void readFirmware();
    void applyLayout(const meter::PanelChoice &choice, bool rLayout);
    // One read: its data, or nothing when it failed (LastTransOK then false)
    // or the meter refused it (fills then withdrawn; the cycle goes on).
    std::optional<std::vector<std::uint8_t>> read(const meter::registers::Block &block,
                                                  const meter::Withdrawn &fills);
    void refused(const RefusedRead &read, const meter::Withdrawn &fills);
    void answered(std::uint8_t function, int start, int count);
    // After a whole cycle: a refused read the cycle no longer asks for is
    // no longer refused.
    void forgetUnaskedRefusals();
    bool ok() const;
    bool online() const;
    // The link went offline, and perhaps online again, since the tick began:
    // the tick must not go on over another connection.
    bool connectionGone() const;
    void blankCO2();
    void takeValidCounts(std::span<const std::uint8_t> block);
    void serveRequests();
    // Stores a decoded block in the reading and tells.
    void take(const std::optional<meter::Samples> &samples, meter::ReadingPart part);

    MeterAccess &meter_;
    RequestQueue &requests_;
    bool timed_;
    QTimer Timer1Sec;
    bool LastTransOK = false;
    bool FirmwareReadPending = false;
    int FirmwareNumber = 0;
    int DisplayBase = 0;
    bool DisplayItemsDirty = true;
    std::optional<int> harmonicChannel_;
    meter::Reading reading_;
    std::vector<RefusedRead> refused_;
    std::vector<RefusedRead> askedThisTick_;
    bool tickRunning_ = false;
    std::uint64_t tickSession_ = 0;
};

} // namespace session
