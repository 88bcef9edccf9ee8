#include "session/poll_cycle.h"

#include "links/link_state.h"
#include "meter/display_items.h"
#include "meter/lp_status.h"
#include "meter/measurement_decoders.h"
#include "meter/register_map.h"
#include "session/meter_access.h"
#include "session/request_queue.h"

#include <QDateTime>

#include <algorithm>

namespace session {

namespace {

namespace reg = meter::registers;

// What each block fills, forgotten when the meter refuses its read.
using meter::quantityRun;
using meter::Withdrawn;
Withdrawn mainBlockFills()
{
    std::vector<meter::Q> quantities = quantityRun(meter::VoltageLnA, meter::AngleIC - meter::VoltageLnA + 1);
    for (const meter::Q q : quantityRun(meter::KwhDelivered, 5))
        quantities.push_back(q);
    return {quantities, meter::Identity | meter::LoadProfile | meter::DisplayItems};
}
const Withdrawn kFirmwareFills{{}, meter::Firmware};
const Withdrawn kValidCountFills{{}, meter::ValidCounts};
const Withdrawn kDemandFills{quantityRun(meter::DemandTimeLeft, 3), 0};
const Withdrawn kFrequencyFills{{meter::Frequency}, 0};
const Withdrawn kPhaseEnergyFills{quantityRun(meter::PhaseEnergyA, 15), 0};
const Withdrawn kRatioFills{{meter::PtRatio, meter::CtRatio}, 0};
const Withdrawn kThdFills{quantityRun(meter::Thd, 18), 0};
const Withdrawn kHarmonicFills{{}, meter::Harmonics};
const Withdrawn kCO2Fills{{meter::Co2Emission, meter::Co2Factor}, 0};
const Withdrawn kFloatRatioFills{{meter::PtRatioFloat, meter::CtRatioFloat}, 0};

// Holds the next tick back while one is still waiting inside a transaction.
class TickGuard {
public:
    explicit TickGuard(bool &running) : running_(running) { running_ = true; }
    ~TickGuard() { running_ = false; }
    TickGuard(const TickGuard &) = delete;
    TickGuard &operator=(const TickGuard &) = delete;

private:
    bool &running_;
};

} // namespace

PollCycle::PollCycle(MeterAccess &meter, RequestQueue &requests, bool timed, QObject *parent)
    : QObject(parent), meter_(meter), requests_(requests), timed_(timed)
{
    Timer1Sec.setObjectName(QStringLiteral("Timer1Sec"));
    Timer1Sec.setInterval(kIntervalMs);
    connect(&Timer1Sec, &QTimer::timeout, this, &PollCycle::Timer1Sec_Timer);
    connect(&meter_.link(), &links::LinkState::linkOnlineChanged, this, &PollCycle::linkOnlineChanged);
}

void PollCycle::linkOnlineChanged(bool online)
{
    // The CO2 factor can be set only once a cycle has found a meter with CO2.
    emit co2Settable(false);
    if (online) {
        // A new connection may reach another meter: nothing of the last one
        // stays in the reading.
        reading_ = {};
        FirmwareReadPending = true;
        askedThisTick_.clear();
        if (timed_)
            Timer1Sec.start();
    } else {
        Timer1Sec.stop();
    }
    // What another connection's meter refused says nothing of this one.
    if (!refused_.empty()) {
        refused_.clear();
        emit refusalsChanged();
    }
}

std::optional<std::vector<std::uint8_t>> PollCycle::read(const meter::registers::Block &block,
                                                          const meter::Withdrawn &fills)
{
    const auto [function, start, count] = block;
    askedThisTick_.push_back({function, start, count, 0, true});
    modbus::TransactionResult result = meter_.read(function, start, count);
    if (result.failure == modbus::Failure::Exception) {
        refused({function, start, count, result.exceptionCode, true}, fills);
        return std::nullopt;
    }
    if (result.failed())
        LastTransOK = false;
    if (!result.ok())
        return std::nullopt;
    answered(function, start, count);
    return std::move(result.data);
}

void PollCycle::refused(const RefusedRead &read, const meter::Withdrawn &fills)
{
    if (connectionGone())
        return;
    reading_.withdraw(fills);
    emit withdrawn(fills);
    const auto same = std::find_if(refused_.begin(), refused_.end(), [&](const RefusedRead &r) { return r.sameRead(read); });
    if (same != refused_.end() && *same == read)
        return;
    if (same != refused_.end())
        *same = read;
    else
        refused_.push_back(read);
    emit refusalsChanged();
}

void PollCycle::answered(std::uint8_t function, int start, int count)
{
    const RefusedRead read{function, start, count, 0, true};
    const auto gone = std::remove_if(refused_.begin(), refused_.end(), [&](const RefusedRead &r) { return r.sameRead(read); });
    if (gone == refused_.end() || connectionGone())
        return;
    refused_.erase(gone, refused_.end());
    emit refusalsChanged();
}

void PollCycle::forgetUnaskedRefusals()
{
    const auto unasked = std::remove_if(refused_.begin(), refused_.end(), [this](const RefusedRead &r) {
        return r.inCycle && std::none_of(askedThisTick_.begin(), askedThisTick_.end(),
                                         [&](const RefusedRead &asked) { return asked.sameRead(r); });
    });
    if (unasked == refused_.end())
        return;
    refused_.erase(unasked, refused_.end());
    emit refusalsChanged();
}

bool PollCycle::connectionGone() const { return meter_.connection() != tickSession_; }
bool PollCycle::ok() const { return LastTransOK && !connectionGone(); }
bool PollCycle::online() const { return meter_.online() && !connectionGone(); }

void PollCycle::Timer1Sec_Timer()
{
    if (tickRunning_)
        return;
    TickGuard guard(tickRunning_);
    tickSession_ = meter_.connection();

    emit tickStarted();
    askedThisTick_.clear();
    LastTransOK = true;
    if (FirmwareReadPending)
        readFirmware();
    // A firmware read that took the link offline ends the tick here, so that
    // its message stays in the status line.
    if (online()) {
        if (DisplayBase == 100)
            PollPanel1();
        else
            PollPanel0();
        emit cycleEnded(online());
        // Only a cycle that asked for everything it reads tells which reads
        // it no longer asks for.
        if (ok() && online())
            forgetUnaskedRefusals();
    }
    // The pause between cycles counts from the end of this one.
    if (Timer1Sec.isActive())
        Timer1Sec.start();
}

void PollCycle::readFirmware()
{
    const auto bytes = read(reg::kFirmware, kFirmwareFills);
    if (ok() && online() && bytes && bytes->size() == 8) {
        const meter::FirmwareInfo info = meter::decodeFirmware(*bytes);
        FirmwareNumber = info.number;
        FirmwareReadPending = false;
        reading_.firmwareText = info.text;
        reading_.firmwareNumber = info.number;
        emit readingUpdated(meter::Firmware);
    }
    if (connectionGone())
        return;
    // Whatever the read gave: a failed read gives no "R".
    if (bytes && !bytes->empty() && bytes->front() == 'R')
        applyLayout(meter::rFirmwarePanel(), true);
    else
        applyLayout(meter::firmwarePanel(FirmwareNumber), false);
}

void PollCycle::applyLayout(const meter::PanelChoice &choice, bool rLayout)
{
    DisplayBase = choice.displayBase;
    emit layoutChosen(choice);
    emit layoutApplied(rLayout);
}

void PollCycle::takeValidCounts(std::span<const std::uint8_t> block)
{
    const auto counts = meter::lpValidCounts(block);
    if (!counts)
        return;
    for (const meter::LpGroup g : meter::LpGroup::all()) {
        const unsigned count = (*counts)[g.index()];
        auto &valid = reading_.group(g).validRecords;
        const bool changed = valid != count;
        valid = count;
        if (changed)
            emit validCountChanged(g);
    }
    emit readingUpdated(meter::ValidCounts);
}

void PollCycle::take(const std::optional<meter::Samples> &samples, meter::ReadingPart part)
{
    if (!samples)
        return;
    reading_.store(*samples, QDateTime::currentMSecsSinceEpoch());
    emit samplesRead(*samples);
    emit readingUpdated(part);
}

void PollCycle::PollPanel0() { pollPanel(true); }
void PollCycle::PollPanel1() { pollPanel(false); }

void PollCycle::blankCO2()
{
    // A tick whose connection is gone ends without a word: the new
    // connection's ticks tell what its meter has.
    if (connectionGone())
        return;
    reading_.forget({meter::Co2Emission, meter::Co2Factor});
    emit co2Blanked();
    emit co2Settable(false);
    emit readingUpdated(meter::CO2);
}

void PollCycle::pollPanel(bool panel0)
{
    const bool olderFirmware = FirmwareNumber < meter::kFirstFirmwareWithoutHarmonics;
    LastTransOK = true;
    // A failed read of the measurements stops the cycle; panel 0 then no
    // longer shows CO2 values.
    if (!readMainBlock() || (olderFirmware && !readValidCounts()) || !readDemand() || !readFrequency(panel0)) {
        if (panel0)
            blankCO2();
        return;
    }
    readPhaseEnergy(panel0);
    emit recordListsDue();
    // Messages of earlier attempts go once the cycle got this far; the
    // message of a final failure stays.
    if (ok())
        emit statusCleared();
    if (ok())
        readRatios(panel0);
    if (panel0 ? !pollPanel0Extras(olderFirmware) : !ok())
        return;
    if (readFloatRatios(panel0))
        serveRequests();
}

bool PollCycle::readMainBlock()
{
    // Four reads appended to one buffer. One the meter refuses leaves it
    // undecoded; the cycle goes on after it.
    std::vector<std::uint8_t> main;
    const meter::Withdrawn mainFills = mainBlockFills();
    for (const reg::Block &block : reg::kMainBlocks) {
        const auto bytes = read(block, mainFills);
        if (!ok())
            return false;
        if (!bytes)
            break;
        main.insert(main.end(), bytes->begin(), bytes->end());
    }
    if (!online() || main.size() != meter::kMainBlockBytes)
        return true;
    const auto decoded = meter::mainBlockValues(main);
    reading_.store(decoded->samples, QDateTime::currentMSecsSinceEpoch());
    reading_.identity = decoded->identity;
    const auto groups = meter::lpGroupStatus(main);
    for (const meter::LpGroup g : meter::LpGroup::all()) {
        meter::LPGroupStatus &group = reading_.group(g);
        const auto valid = group.validRecords; // counted in a block of its own
        group = (*groups)[g.index()];
        group.validRecords = valid;
    }
    unsigned parts = meter::Measurements | meter::Identity | meter::LoadProfile;
    if (DisplayItemsDirty) {
        DisplayItemsDirty = false;
        reading_.displayItems = meter::displayItemCodes(main);
        parts |= meter::DisplayItems;
    }
    emit samplesRead(decoded->samples);
    emit readingUpdated(parts);
    emit mainBlockDecoded();
    return true;
}

bool PollCycle::readValidCounts()
{
    const auto counts = read(reg::kValidCounts, kValidCountFills);
    if (!ok())
        return false;
    if (online() && counts)
        takeValidCounts(*counts);
    return true;
}

bool PollCycle::readDemand()
{
    const auto demand = read(reg::kDemand, kDemandFills);
    if (!ok())
        return false;
    if (online() && demand && demand->size() == 10)
        take(meter::demandValues(*demand), meter::Demand);
    return true;
}

bool PollCycle::readFrequency(bool panel0)
{
    const auto frequency = read(reg::kFrequency, kFrequencyFills);
    if (ok() && online() && frequency && (panel0 || frequency->size() == 4))
        take(meter::frequencyValues(*frequency), meter::FrequencyPart);
    return ok();
}

void PollCycle::readPhaseEnergy(bool panel0)
{
    const auto energy = read(reg::kPhaseEnergy, kPhaseEnergyFills);
    if (ok() && online() && energy && (panel0 || energy->size() == 60))
        take(meter::phaseEnergyValues(*energy), meter::PhaseEnergy);
}

void PollCycle::readRatios(bool panel0)
{
    const auto ratios = read(reg::kRatios, kRatioFills);
    if (ok() && online() && ratios && (panel0 || ratios->size() == 4))
        take(meter::ratioValues(*ratios), meter::Ratios);
}

bool PollCycle::pollPanel0Extras(bool olderFirmware)
{
    if (olderFirmware) {
        if (ok())
            readThd();
        readChosenHarmonics();
    }
    if (!ok() || !writeCO2Factor()) {
        blankCO2();
        return false;
    }
    return readCO2();
}

void PollCycle::readThd()
{
    const auto block = read(reg::kThd, kThdFills);
    if (!ok() || !online() || !block)
        return;
    if (const auto thd = meter::thdValues(*block)) {
        reading_.thd = *thd;
        take(meter::thdSamples(*thd), meter::ThdPart);
    }
}

void PollCycle::readChosenHarmonics()
{
    for (int k = 0; k < reg::kHarmonicChannels; ++k) {
        if (!ok() || harmonicChannel_ != k)
            continue;
        const auto block = read(reg::harmonicBlock(k), kHarmonicFills);
        if (!ok() || !online() || !block)
            continue;
        const bool stillChosen = harmonicChannel_ == k;
        if (const auto harmonics = meter::harmonicValues(*block)) {
            reading_.harmonics = *harmonics;
            reading_.harmonicChannel = k;
            emit readingUpdated(meter::Harmonics);
            // A channel switched while its block was on its way is stored,
            // not shown.
            if (stillChosen)
                emit harmonicsShown();
        }
    }
}

bool PollCycle::writeCO2Factor()
{
    const auto co2 = requests_.takeCO2();
    if (!co2)
        return true;
    if (requests_.run(meter_, *co2).failed())
        LastTransOK = false;
    return ok();
}

bool PollCycle::readCO2()
{
    if (!meter::firmwareHasCO2(FirmwareNumber)) {
        blankCO2();
        return true;
    }
    emit co2Settable(true);
    const auto co2 = read(reg::kCO2, kCO2Fills);
    if (!ok())
        return false;
    if (online() && co2)
        take(meter::co2Values(*co2), meter::CO2);
    return true;
}

bool PollCycle::readFloatRatios(bool panel0)
{
    const auto floats = read(reg::kFloatRatios, kFloatRatioFills);
    if (!ok())
        return false;
    if (online() && floats && (panel0 || floats->size() == 8))
        take(meter::floatRatioValues(*floats), meter::Ratios);
    return true;
}

bool PollCycle::firmwareRefused() const
{
    const RefusedRead firmware{reg::kFirmware.function, reg::kFirmware.start, reg::kFirmware.count};
    return std::any_of(refused_.begin(), refused_.end(), [&](const RefusedRead &r) { return r.sameRead(firmware); });
}

bool PollCycle::readsHarmonics() const
{
    return !FirmwareReadPending && DisplayBase == 0 && FirmwareNumber < meter::kFirstFirmwareWithoutHarmonics;
}

std::optional<std::array<double, 32>> PollCycle::readHarmonics(int channel)
{
    if (channel < 0 || channel >= reg::kHarmonicChannels || !readsHarmonics())
        return std::nullopt;
    const auto [function, start, count] = reg::harmonicBlock(channel);
    const modbus::TransactionResult block = meter_.read(function, start, count);
    if (block.failure == modbus::Failure::Exception)
        refused({function, start, count, block.exceptionCode, false}, kHarmonicFills);
    if (!block.ok())
        return std::nullopt;
    answered(function, start, count);
    const auto harmonics = meter::harmonicValues(block.data);
    if (harmonics) {
        reading_.harmonics = *harmonics;
        reading_.harmonicChannel = channel;
        emit readingUpdated(meter::Harmonics);
    }
    return harmonics;
}

void PollCycle::serveRequests()
{
    while (ok()) {
        const auto request = requests_.takeNext();
        if (!request)
            return;
        if (requests_.run(meter_, *request).failed())
            LastTransOK = false;
        if (request->kind == RequestKind::DisplayItem)
            DisplayItemsDirty = true; // the next main block shows the meter's sequence anew
    }
}

} // namespace session
