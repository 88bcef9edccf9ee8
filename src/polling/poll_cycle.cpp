#include "polling/poll_cycle.h"

#include "link/link_state.h"
#include "modbus/transactions.h"
#include "polling/display_items.h"
#include "polling/firmware_layout.h"
#include "polling/lp_status.h"
#include "polling/measurement_decoders.h"
#include "polling/poll_view.h"
#include "polling/reading_texts.h"

#include <QDateTime>

#include <algorithm>
#include <span>

namespace {

constexpr std::uint8_t kHolding = 3;
constexpr std::uint8_t kInput = 4;

// Blocks of the meter's register map, in poll order.
struct Block {
    std::uint8_t function;
    int start;
    int count;
};
constexpr Block kFirmware{kInput, 0x1018, 4};
constexpr Block kMainBlocks[] = {{kHolding, 0x1000, 100}, {kHolding, 0x1064, 50},
                                 {kInput, 0x1000, 20}, {kInput, 0x1080, 90}};
constexpr Block kValidCounts{kInput, 0x1190, 4};
constexpr Block kDemand{kInput, 0x11A1, 5};
constexpr Block kFrequency{kInput, 0x107E, 2};
constexpr Block kPhaseEnergy{kInput, 0x10D4, 30};
constexpr Block kRatios{kHolding, 0x1021, 2};
constexpr Block kThd{kInput, 0x1400, 48};
constexpr int kHarmonicStart = 0x1430;
constexpr int kHarmonicStride = 0x40;
constexpr int kHarmonicCount = 64;
constexpr int kHarmonicChannels = 6;
constexpr Block kCO2{kInput, 0x044C, 8};
constexpr Block kFloatRatios{kHolding, 0x0000, 4};

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

PollCycle::PollCycle(modbus::Transactions &transactions, LinkState &link, PollView &view,
                     QObject *parent)
    : QObject(parent), tx_(transactions), link_(link), view_(view)
{
    Timer1Sec.setObjectName(QStringLiteral("Timer1Sec"));
    Timer1Sec.setInterval(kIntervalMs);
    connect(&Timer1Sec, &QTimer::timeout, this, &PollCycle::Timer1Sec_Timer);
    connect(&link_, &LinkState::linkOnlineChanged, this, &PollCycle::linkOnlineChanged);
}

void PollCycle::linkOnlineChanged(bool online)
{
    // The CO2 factor can be set only once a cycle has found a meter with CO2.
    view_.setEnabled(QStringLiteral("cmdSetCO2"), -1, false);
    if (online) {
        // A new connection may reach another meter: nothing of the last one
        // stays in the reading.
        reading_ = {};
        Timer1Sec.start();
        FirmwareReadPending = true;
    } else {
        Timer1Sec.stop();
    }
}

void PollCycle::addRequestRow(RequestRow row)
{
    const auto after = std::upper_bound(
        requestRows_.begin(), requestRows_.end(), row.order,
        [](int order, const RequestRow &existing) { return order < existing.order; });
    requestRows_.insert(after, std::move(row));
}

void PollCycle::initialise()
{
    for (RequestRow &row : requestRows_)
        *row.flag = false;
    if (co2Request_.flag)
        *co2Request_.flag = false;
    DisplayItemsDirty = true;
    view_.setEnabled(QStringLiteral("cmdSetCO2"), -1, false);
}

void PollCycle::read(std::uint8_t function, int start, int count)
{
    tx_.ModbusReadRegisters(link_.SlaveAddress, function, start, count, link_.RtuMode);
}

bool PollCycle::connectionGone() const { return link_.session() != tickSession_; }
bool PollCycle::ok() const { return tx_.LastTransOK && !connectionGone(); }
bool PollCycle::online() const { return link_.LinkOnline() && !connectionGone(); }
std::size_t PollCycle::received() const { return tx_.RxData.isEmptyState() ? 0 : tx_.RxData.size(); }

void PollCycle::Timer1Sec_Timer()
{
    if (tickRunning_)
        return;
    TickGuard guard(tickRunning_);
    tickSession_ = link_.session();

    view_.setText(QStringLiteral("txt_Online"), -1, onlineStatusText());
    tx_.LastTransOK = true;
    if (FirmwareReadPending)
        readFirmware();
    // A firmware read that took the link offline ends the tick here, so that
    // its message stays in the status line.
    if (online()) {
        if (DisplayBase == 100)
            PollPanel1();
        else
            PollPanel0();
        if (online())
            emit loadProfileStepDue();
        if (!LPReadByDate && PhasorRequested)
            emit phasorWindowDue();
    }
    // The pause between cycles counts from the end of this one.
    if (Timer1Sec.isActive())
        Timer1Sec.start();
}

void PollCycle::readFirmware()
{
    tx_.RxData.reset();
    read(kFirmware.function, kFirmware.start, kFirmware.count);
    if (ok() && online() && received() == 8) {
        const polling::FirmwareInfo info = polling::decodeFirmware(tx_.RxData.bytes());
        view_.setText(QStringLiteral("txtFWver"), -1, info.text);
        FirmwareNumber = info.number;
        FirmwareReadPending = false;
        reading_.firmwareText = info.text;
        reading_.firmwareNumber = info.number;
        emit readingUpdated(polling::Firmware);
    }
    if (connectionGone())
        return;
    // Whatever the read gave: a failed read leaves a single zero byte.
    if (tx_.RxData[0] == 'R')
        ApplyRLayout();
    else
        ApplyFirmwareLayout();
}

namespace {

constexpr const char *kDisplayItemControls[] = {"lblSequency",     "Combo_Display_Ser_sel",
                                                 "lblItem",         "Combo_Display_Item_sel",
                                                 "cmdDisplayItemSet", "cmdDisplayindex"};
constexpr const char *kWholeRatioSetting[] = {"cmdPTRatio1Set", "Combo_PT_Ratio", "cmdCTRatio1Set",
                                              "Combo_CT_Ratio"};
constexpr const char *kWholeRatioShown[] = {"Label2(2)", "Command3(2)", "txt_PTRatio",
                                            "Label2(3)", "Command3(3)", "txt_CTRatio"};
constexpr const char *kFloatRatioShown[] = {"lblPTRatio2", "lblCTRatio2", "txtPTRatio2",
                                            "txtCTRatio2"};

void setAllVisible(PollView &view, std::span<const char *const> names, bool visible)
{
    for (const char *name : names)
        view.setVisible(QLatin1String(name), -1, visible);
}

// The panel and the page buttons (the first step of a layout).
void applyPanel(PollView &view, const polling::PanelChoice &choice)
{
    view.setVisible(QStringLiteral("SSTab2"), 0, choice.displayBase == 0);
    view.setVisible(QStringLiteral("SSTab2"), 1, choice.displayBase == 100);
    if (choice.thdPages) {
        view.setVisible(QStringLiteral("Command9"), 2, *choice.thdPages);
        view.setVisible(QStringLiteral("Command9"), 3, *choice.thdPages);
    }
    if (choice.profilePages) {
        for (int tab = 1; tab <= 3; ++tab)
            view.setTabEnabled(QStringLiteral("SSTab1"), -1, tab, *choice.profilePages);
        for (int button = 2; button <= 4; ++button)
            view.setVisible(QStringLiteral("Command10"), button, *choice.profilePages);
    }
    setAllVisible(view, kDisplayItemControls, choice.displayItemControls);
}

// The setting controls and lists that follow the firmware.
void applySettings(PollView &view, const polling::PanelChoice &choice)
{
    const bool whole = choice.ratios == polling::RatioForm::Whole;
    view.setVisible(QStringLiteral("frmCTPTSetting"), -1, !whole);
    setAllVisible(view, kWholeRatioSetting, whole);
    if (choice.ratios != polling::RatioForm::FloatSetOnly) {
        setAllVisible(view, kWholeRatioShown, whole);
        setAllVisible(view, kFloatRatioShown, !whole);
    }
    QStringList scrollTimes;
    for (int seconds = 3; seconds <= 15; ++seconds)
        scrollTimes << QString::number(seconds);
    if (choice.fixedScrollTime)
        scrollTimes << QStringLiteral("Fixed");
    view.setListItems(QStringLiteral("Combo1"), -1, scrollTimes, 0);
    QStringList intervals{QStringLiteral("1"),  QStringLiteral("5"),  QStringLiteral("10"),
                          QStringLiteral("15"), QStringLiteral("30"), QStringLiteral("60")};
    if (choice.thirtySecondInterval)
        intervals << QStringLiteral("30sec");
    for (const char *group : {"Combo_G1_Setting", "Combo_G2_Setting"})
        view.setListItems(QLatin1String(group), 1, intervals, 3);
}

} // namespace

void PollCycle::ApplyFirmwareLayout() { applyLayout(polling::firmwarePanel(FirmwareNumber), false); }

void PollCycle::ApplyRLayout() { applyLayout(polling::rFirmwarePanel(), true); }

void PollCycle::applyLayout(const polling::PanelChoice &choice, bool rLayout)
{
    DisplayBase = choice.displayBase;
    applyPanel(view_, choice);
    // The load-profile lists are built here, before the interval lists get
    // the entries of this firmware.
    emit layoutApplied(rLayout);
    applySettings(view_, choice);
}

void PollCycle::showValidCounts()
{
    const auto counts = polling::lpValidCounts(tx_.RxData.bytes());
    if (!counts)
        return;
    for (int g = 0; g < polling::kLPGroups; ++g) {
        const unsigned count = (*counts)[std::size_t(g)];
        auto &valid = reading_.lpGroups[std::size_t(g)].validRecords;
        if (valid != count)
            LPNewData[std::size_t(g)] = true;
        valid = count;
        view_.setText(QStringLiteral("txtLPValidIntervalNum"), g, QString::number(count));
    }
    emit readingUpdated(polling::LoadProfile);
}

void PollCycle::take(const std::optional<polling::Samples> &samples, polling::ReadingPart part)
{
    if (!samples)
        return;
    reading_.store(*samples, QDateTime::currentMSecsSinceEpoch());
    view_.apply(polling::sampleTexts(*samples, DisplayBase));
    emit readingUpdated(part);
}

void PollCycle::PollPanel0() { pollPanel(true); }
void PollCycle::PollPanel1() { pollPanel(false); }

void PollCycle::blankCO2()
{
    // A tick whose connection is gone ends without touching the window: the
    // new connection's ticks show what its meter has.
    if (connectionGone())
        return;
    reading_.forget({polling::Co2Emission, polling::Co2Factor});
    view_.apply(polling::blankTexts({polling::Co2Factor, polling::Co2Emission}, DisplayBase));
    view_.setEnabled(QStringLiteral("cmdSetCO2"), -1, false);
    emit readingUpdated(polling::CO2);
}

void PollCycle::pollPanel(bool panel0)
{
    const bool olderFirmware = FirmwareNumber < polling::kFirstFirmwareWithoutHarmonics;
    const auto stopAfterFailure = [&] {
        if (panel0)
            blankCO2();
    };


    // The main block: four reads appended to one buffer.
    tx_.RxData.reset();
    tx_.LastTransOK = true;
    for (const Block &block : kMainBlocks) {
        read(block.function, block.start, block.count);
        if (!ok())
            return stopAfterFailure();
    }
    if (online() && received() == polling::kMainBlockBytes) {
        const auto main = polling::mainBlockValues(tx_.RxData.bytes());
        reading_.store(main->samples, QDateTime::currentMSecsSinceEpoch());
        reading_.identity = main->identity;
        view_.apply(polling::sampleTexts(main->samples, DisplayBase));
        view_.apply(polling::identityTexts(main->identity));
        const auto groups = polling::lpGroupStatus(tx_.RxData.bytes());
        for (int g = 0; g < polling::kLPGroups; ++g) {
            polling::LPGroupStatus &group = reading_.lpGroups[std::size_t(g)];
            const auto valid = group.validRecords; // counted in a block of its own
            group = (*groups)[std::size_t(g)];
            group.validRecords = valid;
        }
        view_.apply(polling::lpStatusTexts(*groups));
        emit readingUpdated(polling::Measurements | polling::Identity | polling::LoadProfile);
        emit mainBlockDecoded();
        if (DisplayItemsDirty) {
            DisplayItemsDirty = false;
            view_.setText(QStringLiteral("txt_Display_Item"), -1,
                          polling::displayItemsText(tx_.RxData.bytes()));
        }
    }

    if (olderFirmware) {
        tx_.RxData.reset();
        read(kValidCounts.function, kValidCounts.start, kValidCounts.count);
        if (!ok())
            return stopAfterFailure();
        if (online())
            showValidCounts();
    }

    tx_.RxData.reset();
    read(kDemand.function, kDemand.start, kDemand.count);
    if (!ok())
        return stopAfterFailure();
    if (online() && received() == 10)
        take(polling::demandValues(tx_.RxData.bytes()), polling::Demand);

    tx_.RxData.reset();
    read(kFrequency.function, kFrequency.start, kFrequency.count);
    if (ok() && online() && (panel0 || received() == 4))
        take(polling::frequencyValues(tx_.RxData.bytes()), polling::FrequencyPart);
    if (!ok())
        return stopAfterFailure();

    tx_.RxData.reset();
    read(kPhaseEnergy.function, kPhaseEnergy.start, kPhaseEnergy.count);
    if (ok() && online() && (panel0 || received() == 60)) {
        if (const auto phases = polling::phaseEnergyValues(tx_.RxData.bytes())) {
            // Beside the phases, the totals of the main block once more.
            std::array<QString, 5> totals;
            for (int i = 0; i < 5; ++i) {
                const auto q = polling::Q(polling::KwhDelivered + i);
                if (const auto total = reading_.value(q))
                    totals[std::size_t(i)] = polling::valueText(q, *total);
            }
            reading_.store(*phases, QDateTime::currentMSecsSinceEpoch());
            view_.apply(polling::phaseEnergyTexts(*phases, DisplayBase, totals));
            emit readingUpdated(polling::PhaseEnergy);
        }
    }
    emit recordListsDue();
    // Messages of earlier attempts go once the cycle got this far; the
    // message of a final failure stays.
    if (ok())
        view_.setText(QStringLiteral("Text6"), -1, QString());
    if (ok()) {
        tx_.RxData.reset();
        read(kRatios.function, kRatios.start, kRatios.count);
        if (ok() && online() && (panel0 || received() == 4))
            take(polling::ratioValues(tx_.RxData.bytes()), polling::Ratios);
    }

    if (panel0) {
        if (olderFirmware) {
            if (ok()) {
                tx_.RxData.reset();
                read(kThd.function, kThd.start, kThd.count);
                if (ok() && online()) {
                    if (const auto thd = polling::thdValues(tx_.RxData.bytes())) {
                        reading_.thd = *thd;
                        take(polling::thdSamples(*thd), polling::ThdPart);
                    }
                }
            }
            for (int k = 0; k < kHarmonicChannels; ++k) {
                if (!ok() || !view_.isChecked(QStringLiteral("optHarmonic"), k))
                    continue;
                tx_.RxData.reset();
                read(kInput, kHarmonicStart + kHarmonicStride * k, kHarmonicCount);
                if (ok() && online()) {
                    const bool stillSelected = view_.isChecked(QStringLiteral("optHarmonic"), k);
                    if (const auto harmonics = polling::harmonicValues(tx_.RxData.bytes())) {
                        reading_.harmonics = *harmonics;
                        emit readingUpdated(polling::Harmonics);
                        // A channel switched while its block was on its way
                        // is stored, not shown.
                        if (stillSelected) {
                            view_.apply(polling::harmonicTexts(*harmonics));
                            if (received() == 128)
                                emit harmonicsShown();
                        }
                    }
                }
            }
        }
        if (!ok())
            return blankCO2();
        if (co2Request_.flag && *co2Request_.flag) {
            *co2Request_.flag = false;
            co2Request_.write();
            if (!ok())
                return blankCO2();
        }

        if (polling::firmwareHasCO2(FirmwareNumber)) {
            view_.setEnabled(QStringLiteral("cmdSetCO2"), -1, true);
            tx_.RxData.reset();
            read(kCO2.function, kCO2.start, kCO2.count);
            if (!ok())
                return;
            if (online())
                take(polling::co2Values(tx_.RxData.bytes()), polling::CO2);
        } else {
            blankCO2();
        }
    } else if (!ok()) {
        return;
    }

    tx_.RxData.reset();
    read(kFloatRatios.function, kFloatRatios.start, kFloatRatios.count);
    if (!ok())
        return;
    if (online() && (panel0 || received() == 8))
        take(polling::floatRatioValues(tx_.RxData.bytes()), polling::Ratios);

    serveRequests();
}

void PollCycle::serveRequests()
{
    for (RequestRow &row : requestRows_) {
        if (!ok())
            return;
        if (!*row.flag)
            continue;
        *row.flag = false;
        row.write();
    }
}
