#include "polling/poll_cycle.h"

#include "link/link_state.h"
#include "modbus/transactions.h"
#include "polling/display_items.h"
#include "polling/firmware_layout.h"
#include "polling/lp_status.h"
#include "polling/measurement_decoders.h"
#include "polling/poll_view.h"

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
        const QString count = QString::number((*counts)[std::size_t(g)]);
        if (view_.text(QStringLiteral("txtLPValidIntervalNum"), g) != count)
            LPNewData[std::size_t(g)] = true;
        view_.setText(QStringLiteral("txtLPValidIntervalNum"), g, count);
    }
}

void PollCycle::PollPanel0() { pollPanel(true); }
void PollCycle::PollPanel1() { pollPanel(false); }

void PollCycle::blankCO2()
{
    // A tick whose connection is gone ends without touching the window: the
    // new connection's ticks show what its meter has.
    if (connectionGone())
        return;
    view_.setText(QStringLiteral("txtCO2"), -1, QString());
    view_.setText(QStringLiteral("txtCO2_out"), -1, QString());
    view_.setEnabled(QStringLiteral("cmdSetCO2"), -1, false);
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
        view_.apply(polling::DecodeMainBlock(tx_.RxData.bytes(), DisplayBase));
        view_.apply(polling::DecodeLPStatus(tx_.RxData.bytes()));
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
        view_.apply(polling::decodeDemand(tx_.RxData.bytes()));

    tx_.RxData.reset();
    read(kFrequency.function, kFrequency.start, kFrequency.count);
    if (ok() && online() && (panel0 || received() == 4))
        view_.apply(polling::decodeFrequency(tx_.RxData.bytes(), DisplayBase));
    if (!ok())
        return stopAfterFailure();

    tx_.RxData.reset();
    read(kPhaseEnergy.function, kPhaseEnergy.start, kPhaseEnergy.count);
    if (ok() && online() && (panel0 || received() == 60)) {
        std::array<QString, 5> totals;
        for (int i = 0; i < 5; ++i)
            totals[std::size_t(i)] = view_.text(QStringLiteral("txt_kWh"), DisplayBase + i);
        view_.apply(polling::DecodePhaseEnergy(tx_.RxData.bytes(), DisplayBase, totals));
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
            view_.apply(polling::decodeRatios(tx_.RxData.bytes()));
    }

    if (panel0) {
        if (olderFirmware) {
            if (ok()) {
                tx_.RxData.reset();
                read(kThd.function, kThd.start, kThd.count);
                if (ok() && online())
                    view_.apply(polling::DecodeTHD(tx_.RxData.bytes(), thdTable));
            }
            for (int k = 0; k < kHarmonicChannels; ++k) {
                if (!ok() || !view_.isChecked(QStringLiteral("optHarmonic"), k))
                    continue;
                tx_.RxData.reset();
                read(kInput, kHarmonicStart + kHarmonicStride * k, kHarmonicCount);
                if (ok() && online()) {
                    const bool stillSelected = view_.isChecked(QStringLiteral("optHarmonic"), k);
                    view_.apply(polling::DecodeHarmonic(tx_.RxData.bytes(), stillSelected,
                                                        harmonicTable));
                    if (stillSelected && received() == 128)
                        emit harmonicsShown();
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
                view_.apply(polling::DecodeCO2(tx_.RxData.bytes()));
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
        view_.apply(polling::decodeFloatRatios(tx_.RxData.bytes()));

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
