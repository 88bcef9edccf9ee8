// The poll cycle and request queue of a meter session over a scripted RTU
// meter: the blocks each firmware gets, what the typed reading and the
// signals carry, failures part way, the order and outcome of requests
// (written, refused with an exception, unanswered, the link lost), and a
// reconnect while a tick waits.
#include "fake_meter.h"

#include "config/setting_requests.h"
#include "links/link_state.h"
#include "session/meter_access.h"
#include "session/poll_cycle.h"
#include "session/request_queue.h"

#include <QSignalSpy>
#include <QTest>

using fake::Bytes;
using session::MeterRequest;
using session::RequestResult;

namespace {

using Request = std::pair<int, int>;
using Requests = std::vector<Request>;
using Outcome = RequestResult::Outcome;

// A meter session's parts over the scripted meter, wired as MeterSession does.
struct SessionRig {
    struct Host : fake::Host {
        links::LinkState *link = nullptr;
        void takeLinkOffline() override
        {
            ++offlineCalls;
            link->setLinkOnline(false);
        }
    };

    links::LinkState link;
    fake::Clock clock;
    Host host;
    fake::Serial serial{clock};
    modbus::Transactions *txPointer = nullptr;
    fake::Tcp tcp{clock, txPointer};
    modbus::Transactions tx{host, clock, serial, tcp};
    fake::Meter meter;
    session::MeterAccess access{link, tx, 1};
    std::vector<std::pair<session::RequestKind, RequestResult>> results;
    session::RequestQueue requests{[this](const MeterRequest &r, const RequestResult &result) {
        results.emplace_back(r.kind, result);
    }};
    session::PollCycle poll{access, requests, false};

    explicit SessionRig(const char *firmware = "V3705A00")
    {
        txPointer = &tx;
        link.RtuMode = true;
        host.link = &link;
        clock.online = [this] { return link.LinkOnline(); };
        link.setLinkOnline(true);
        serial.responder = [this](const Bytes &request) { return meter.answer(request); };
        meter.setText(meter.input, 0x1018, firmware, 8);
        meter.setFloat(meter.input, 0x1080, 230.0f);
        meter.setFloat(meter.input, 0x1098, 0.5f);
        meter.setFloat(meter.input, 0x107E, 59.996f);
        meter.holding[0x1021] = 1234;
        meter.holding[0x1022] = 150;
        meter.input[0x10C4] = 5;
        meter.input[0x10C5] = 1;
        meter.setFloat(meter.input, 0x044E, 12.5f);
        meter.setFloat(meter.holding, 0x0000, 103.5f);
    }

    void tick() { poll.Timer1Sec_Timer(); }
    double value(meter::Q q) const { return poll.reading().value(q).value_or(-1); }
};

Requests mainBlocks() { return {{3, 0x1000}, {3, 0x1064}, {4, 0x1000}, {4, 0x1080}}; }

Requests concat(std::initializer_list<Requests> parts)
{
    Requests all;
    for (const Requests &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

Q_DECLARE_METATYPE(Requests)
Q_DECLARE_METATYPE(Outcome)

class TestPollCycle : public QObject {
    Q_OBJECT
private slots:
    void blocksFollowTheFirmware_data();
    void blocksFollowTheFirmware();
    void firstTickReadsTheMetersValues();
    void failureInBlockTwoKeepsTheReading();
    void failedFirmwareReadChoosesPanelOneAndRetries();
    void refusedReadIsForgottenAndTheCycleGoesOn_data();
    void refusedReadIsForgottenAndTheCycleGoesOn();
    void refusalOfAReadNoLongerAskedForEnds();
    void requestOutcomes_data();
    void requestOutcomes();
    void requestsAreServedInOrderWithinOneCycle();
    void reconnectWhileATickWaitsEndsThatTick_data();
    void reconnectWhileATickWaitsEndsThatTick();
};

void TestPollCycle::blocksFollowTheFirmware_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("harmonicChannel"); // -1: none
    QTest::addColumn<Requests>("expected");
    QTest::addColumn<int>("displayBase");

    const Requests firmware{{4, 0x1018}};
    const Requests tail{{4, 0x11A1}, {4, 0x107E}, {4, 0x10D4}, {3, 0x1021}};
    QTest::newRow("3705: panel 0, THD, harmonic Vb, CO2")
        << QByteArray("V3705A00") << 1
        << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{4, 0x1400}, {4, 0x1470}, {4, 0x044C}, {3, 0x0000}}})
        << 0;
    QTest::newRow("3000: panel 0 without CO2, no harmonic channel")
        << QByteArray("V3000A00") << -1 << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{4, 0x1400}, {3, 0x0000}}})
        << 0;
    QTest::newRow("5900: no valid counts, THD or harmonics")
        << QByteArray("V5900A00") << 0 << concat({firmware, mainBlocks(), tail, {{3, 0x0000}}}) << 0;
    QTest::newRow("2600: panel 1") << QByteArray("V2600A00") << 0
                                   << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{3, 0x0000}}}) << 100;
    QTest::newRow("R firmware: panel 1 whatever its number")
        << QByteArray("R3705A00") << 0 << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{3, 0x0000}}}) << 100;
}

void TestPollCycle::blocksFollowTheFirmware()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, harmonicChannel);
    QFETCH(Requests, expected);
    QFETCH(int, displayBase);
    SessionRig rig(firmware.constData());
    rig.poll.setHarmonicChannel(harmonicChannel < 0 ? std::nullopt : std::optional(harmonicChannel));
    QSignalSpy layouts(&rig.poll, &session::PollCycle::layoutChosen);

    rig.tick();

    QCOMPARE(rig.meter.requests, expected);
    QCOMPARE(rig.poll.displayBase(), displayBase);
    QVERIFY(!rig.poll.firmwareReadPending());
    QCOMPARE(rig.poll.reading().firmwareText, QString::fromLatin1(firmware));
    QCOMPARE(layouts.size(), 1);
    QCOMPARE(layouts.first().first().value<meter::PanelChoice>().displayBase, displayBase);
    QCOMPARE(rig.poll.reading().harmonicChannel, displayBase == 0 && harmonicChannel >= 0 && firmware < "V5900" ? harmonicChannel : -1);

    // The next tick does not read the firmware again.
    rig.meter.requests.clear();
    rig.tick();
    QCOMPARE(rig.meter.requests.front(), Request(3, 0x1000));
}

void TestPollCycle::firstTickReadsTheMetersValues()
{
    SessionRig rig;
    QSignalSpy parts(&rig.poll, &session::PollCycle::readingUpdated);
    QSignalSpy cleared(&rig.poll, &session::PollCycle::statusCleared);
    QSignalSpy co2(&rig.poll, &session::PollCycle::co2Settable);
    rig.tick();
    QCOMPARE(rig.value(meter::VoltageLnA), 230.0);
    QCOMPARE(rig.value(meter::KwA), 0.5);
    QCOMPARE(float(rig.value(meter::Frequency)), 59.996f);
    QCOMPARE(rig.value(meter::PtRatio), 123.4);
    QCOMPARE(rig.value(meter::CtRatio), 150.0);
    QCOMPARE(rig.poll.reading().identity->wiringCode, 5u);
    QCOMPARE(rig.value(meter::Co2Emission), 12.5);
    QCOMPARE(rig.value(meter::PtRatioFloat), 103.5);
    QVERIFY(rig.poll.reading().displayItems.has_value());
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(co2.last().first().toBool(), true);
    unsigned all = 0;
    for (const auto &signal : parts)
        all |= signal.first().toUInt();
    for (unsigned part : {meter::Firmware, meter::Measurements, meter::Identity, meter::LoadProfile,
                          meter::Demand, meter::FrequencyPart, meter::PhaseEnergy, meter::Ratios,
                          meter::ThdPart, meter::CO2, meter::DisplayItems})
        QVERIFY2(all & part, qPrintable(QString::number(part)));
}

void TestPollCycle::failureInBlockTwoKeepsTheReading()
{
    SessionRig rig;
    rig.tick(); // firmware known, panel 0
    rig.meter.setFloat(rig.meter.input, 0x1080, 240.0f);
    rig.meter.silent.insert({3, 0x1064});
    rig.requests.add(config::wiringRequest(3));
    QSignalSpy blanked(&rig.poll, &session::PollCycle::co2Blanked);
    QSignalSpy cleared(&rig.poll, &session::PollCycle::statusCleared);

    rig.tick();

    QVERIFY(!rig.link.LinkOnline());
    QCOMPARE(rig.value(meter::VoltageLnA), 230.0); // as read before
    QVERIFY(!rig.poll.reading().value(meter::Co2Emission));
    QCOMPARE(blanked.size(), 1);
    QCOMPARE(cleared.size(), 0); // the failure's message stays
    QVERIFY(rig.requests.pending(session::RequestKind::Wiring));
    QCOMPARE(rig.host.statusTexts.back(), std::string("Communication Error! Retry 3 times!"));
}

void TestPollCycle::failedFirmwareReadChoosesPanelOneAndRetries()
{
    SessionRig rig;
    rig.meter.silent.insert({4, 0x1018});
    rig.tick();
    QCOMPARE(rig.poll.firmwareNumber(), 0);
    QCOMPARE(rig.poll.displayBase(), 100);
    QVERIFY(rig.poll.firmwareReadPending());
    QVERIFY(!rig.link.LinkOnline());
    // Only the firmware was asked for: a tick whose link went down ends there.
    QCOMPARE(rig.meter.requests, (Requests(3, {4, 0x1018})));

    rig.meter.silent.clear();
    rig.meter.requests.clear();
    rig.link.setLinkOnline(true);
    rig.tick();
    QCOMPARE(rig.meter.requests.front(), Request(4, 0x1018));
    QCOMPARE(rig.poll.firmwareNumber(), 3705);
    QCOMPARE(rig.poll.displayBase(), 0);
}

void TestPollCycle::refusedReadIsForgottenAndTheCycleGoesOn_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("forgotten"); // a quantity the read fills
    QTest::addColumn<int>("kept");      // one a later read fills
    QTest::addColumn<int>("displayBase");
    QTest::newRow("block 2 of the main block") << 3 << 0x1064 << 2 << int(meter::VoltageLnA) << int(meter::Frequency) << 0;
    QTest::newRow("block 4 of the main block") << 4 << 0x1080 << 4 << int(meter::KwhDelivered) << int(meter::PtRatio) << 0;
    QTest::newRow("demand") << 4 << 0x11A1 << 2 << int(meter::DemandKw) << int(meter::Frequency) << 0;
    QTest::newRow("CO2") << 4 << 0x044C << 2 << int(meter::Co2Emission) << int(meter::PtRatioFloat) << 0;
    // Refused from the first tick: panel 1, as after a failed read, and the
    // cycle's reads go on.
    QTest::newRow("firmware") << 4 << 0x1018 << 1 << -1 << int(meter::VoltageLnA) << 100;
}

void TestPollCycle::refusedReadIsForgottenAndTheCycleGoesOn()
{
    QFETCH(int, function);
    QFETCH(int, start);
    QFETCH(int, code);
    QFETCH(int, forgotten);
    QFETCH(int, kept);
    QFETCH(int, displayBase);
    SessionRig rig;
    const bool firmware = start == 0x1018;
    if (!firmware)
        rig.tick();
    rig.meter.exceptions[{function, start}] = std::uint8_t(code);
    rig.requests.add(config::wiringRequest(3));
    QSignalSpy withdrawn(&rig.poll, &session::PollCycle::withdrawn);
    QSignalSpy changed(&rig.poll, &session::PollCycle::refusalsChanged);
    QSignalSpy cleared(&rig.poll, &session::PollCycle::statusCleared);
    rig.meter.requests.clear();

    rig.tick();

    // The meter answered: the link stays, the cycle reads on to its end
    // and writes what waits.
    QVERIFY(rig.link.LinkOnline());
    QCOMPARE(rig.host.offlineCalls, 0);
    QCOMPARE(rig.meter.requests.back(), Request(16, 0x1004));
    QCOMPARE(rig.meter.holding[0x1004], std::uint16_t(3));
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(rig.poll.displayBase(), displayBase);
    QVERIFY(rig.poll.reading().value(meter::Q(kept)).has_value());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(rig.poll.refusedReads().size(), std::size_t(1));
    const session::RefusedRead refused = rig.poll.refusedReads().front();
    QCOMPARE(int(refused.function), function);
    QCOMPARE(refused.start, start);
    QCOMPARE(int(refused.code), code);
    QVERIFY(!withdrawn.isEmpty());
    if (forgotten >= 0) {
        const auto fills = withdrawn.first().first().value<meter::Withdrawn>();
        QVERIFY(std::count(fills.quantities.begin(), fills.quantities.end(), meter::Q(forgotten)));
        QVERIFY(!rig.poll.reading().value(meter::Q(forgotten)));
    }
    if (start == 0x1064) {
        // Who the meter is stays known; its clock of the moment does not.
        QVERIFY(rig.poll.reading().identity.has_value());
        QVERIFY(!rig.poll.reading().identity->clock.has_value());
    }

    // Refused again: nothing new to tell. Answered again: the refusal ends.
    rig.tick();
    QCOMPARE(changed.size(), 1);
    rig.meter.exceptions.clear();
    rig.tick();
    QCOMPARE(changed.size(), 2);
    QVERIFY(rig.poll.refusedReads().empty());
    if (forgotten >= 0)
        QVERIFY(rig.poll.reading().value(meter::Q(forgotten)).has_value());
}

void TestPollCycle::refusalOfAReadNoLongerAskedForEnds()
{
    SessionRig rig;
    rig.poll.setHarmonicChannel(1);
    rig.tick();
    rig.meter.exceptions[{4, 0x1470}] = 2;
    rig.tick();
    QCOMPARE(rig.poll.refusedReads().size(), std::size_t(1));
    QCOMPARE(rig.poll.reading().harmonicChannel, -1);
    // Another channel chosen: the refused read is no longer made.
    rig.poll.setHarmonicChannel(2);
    QSignalSpy changed(&rig.poll, &session::PollCycle::refusalsChanged);
    rig.tick();
    QVERIFY(rig.poll.refusedReads().empty());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(rig.poll.reading().harmonicChannel, 2);
}

void TestPollCycle::requestOutcomes_data()
{
    QTest::addColumn<QString>("answer"); // how the meter answers the CT ratio write
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("messageKey");
    QTest::addColumn<bool>("online");     // afterwards
    QTest::addColumn<bool>("laterWritten"); // the wiring request after it, in the same cycle
    QTest::newRow("written") << "write" << Outcome::Done << 0 << "" << true << true;
    QTest::newRow("refused") << "exception" << Outcome::Exception << 3 << "rightdown_RequestRefused" << true << false;
    QTest::newRow("silent") << "silent" << Outcome::NoAnswer << 0 << "rightdown_RequestNoAnswer" << false << false;
    QTest::newRow("link lost on the way") << "offline" << Outcome::LinkGone << 0 << "rightdown_RequestLinkGone" << false
                                          << false;
}

void TestPollCycle::requestOutcomes()
{
    QFETCH(QString, answer);
    QFETCH(Outcome, outcome);
    QFETCH(int, code);
    QFETCH(QString, messageKey);
    QFETCH(bool, online);
    QFETCH(bool, laterWritten);
    SessionRig rig;
    rig.tick();
    rig.meter.holding[0x1004] = 0;
    rig.requests.add(config::wiringRequest(3));
    rig.requests.add(config::ctRatioRequest(200));
    const Request ctWrite{16, 0x1022};
    if (answer == QLatin1String("exception"))
        rig.meter.exceptions[ctWrite] = 3;
    if (answer == QLatin1String("silent"))
        rig.meter.silent.insert(ctWrite);
    if (answer == QLatin1String("offline")) {
        rig.serial.responder = [&](const Bytes &request) -> std::optional<fake::Reply> {
            if (request[1] == 16 && (request[2] << 8 | request[3]) == 0x1022) {
                rig.clock.after(100, [&] { rig.link.setLinkOnline(false); });
                return fake::Reply{};
            }
            return rig.meter.answer(request);
        };
    }
    const std::int64_t before = rig.clock.now;
    rig.tick();

    QVERIFY(!rig.results.empty());
    QCOMPARE(rig.results.front().first, session::RequestKind::CtRatio);
    const RequestResult &result = rig.results.front().second;
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(int(result.exceptionCode), code);
    QCOMPARE(QString::fromLatin1(result.messageKey()), messageKey);
    QCOMPARE(rig.link.LinkOnline(), online);
    QCOMPARE(rig.meter.holding[0x1004] == 3, laterWritten);
    QCOMPARE(rig.requests.pending(session::RequestKind::Wiring), !laterWritten);
    if (outcome == Outcome::Exception) // the refusal ends its transaction at once
        QVERIFY2(rig.clock.now - before < 1000, qPrintable(QString::number(rig.clock.now - before)));
}

void TestPollCycle::requestsAreServedInOrderWithinOneCycle()
{
    SessionRig rig;
    rig.tick();
    // Asked for while the cycle is busy with its reads, the later kind first.
    rig.clock.after(50, [&] { rig.requests.add(config::wiringRequest(2)); });
    rig.clock.after(60, [&] { rig.requests.add(config::ctRatioRequest(5)); });
    rig.clock.after(70, [&] { rig.requests.add(config::ctRatioRequest(7)); }); // replaces the waiting one
    rig.meter.requests.clear();
    rig.tick();
    Requests writes;
    for (const Request &r : rig.meter.requests)
        if (r.first == 16)
            writes.push_back(r);
    QCOMPARE(writes, (Requests{{16, 0x1022}, {16, 0x1004}}));
    QCOMPARE(rig.meter.holding[0x1022], std::uint16_t(7));
    QVERIFY(rig.requests.empty());
}

void TestPollCycle::reconnectWhileATickWaitsEndsThatTick_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("start");
    // Blocks that the new connection's first tick would read differently.
    QTest::newRow("2600, firmware read") << QByteArray("V2600A00") << 4 << 0x1018;
    QTest::newRow("2600, main block") << QByteArray("V2600A00") << 3 << 0x1064;
    QTest::newRow("5900, demand") << QByteArray("V5900A00") << 4 << 0x11A1;
    QTest::newRow("3705, THD") << QByteArray("V3705A00") << 4 << 0x1400;
}

void TestPollCycle::reconnectWhileATickWaitsEndsThatTick()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, function);
    QFETCH(int, start);
    SessionRig rig(firmware.constData());
    if (function != 4 || start != 0x1018)
        rig.tick(); // the firmware is known; the next tick is an ordinary one

    // The user goes offline and straight online again while the block's
    // answer is on its way.
    std::size_t requestsBefore = 0;
    QSignalSpy updates(&rig.poll, &session::PollCycle::readingUpdated);
    qsizetype updatesBefore = -1;
    rig.serial.responder = [&](const Bytes &request) {
        if (request[1] == function && (request[2] << 8 | request[3]) == start) {
            rig.clock.after(1, [&] {
                rig.link.setLinkOnline(false);
                rig.link.setLinkOnline(true);
                requestsBefore = rig.meter.requests.size();
                updatesBefore = updates.size();
            });
        }
        return rig.meter.answer(request);
    };
    rig.meter.requests.clear();
    rig.tick();

    QVERIFY(requestsBefore > 0);
    QCOMPARE(rig.meter.requests.size(), requestsBefore);
    QCOMPARE(updates.size(), updatesBefore); // nothing more told of the old connection
    QVERIFY(rig.link.LinkOnline());
    QVERIFY(rig.poll.firmwareReadPending());
    QCOMPARE(rig.host.offlineCalls, 0);

    // The new connection begins with a fresh firmware read.
    rig.meter.requests.clear();
    rig.tick();
    QCOMPARE(rig.meter.requests.front(), Request(4, 0x1018));
}

QTEST_GUILESS_MAIN(TestPollCycle)
#include "test_poll_cycle.moc"
