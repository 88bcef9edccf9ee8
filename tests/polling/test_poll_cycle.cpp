#include "fake_meter.h"

#include "link/link_state.h"
#include "polling/poll_cycle.h"

#include <QTest>

using fake::Bytes;

namespace {

using Request = std::pair<int, int>;
using Requests = std::vector<Request>;

// Poll cycle, transactions and a scripted RTU meter, wired as in the window.
struct PollRig {
    struct Host : fake::Host {
        LinkState *link = nullptr;
        PollCycle *poll = nullptr;
        fake::View *view = nullptr;
        bool linkOnline() const override { return link->LinkOnline(); }
        std::uint64_t linkSession() const override { return link->session(); }
        void setStatusText(const std::string &text) override
        {
            fake::Host::setStatusText(text);
            view->setText(QStringLiteral("Text6"), -1, QString::fromStdString(text));
        }
        void takeLinkOffline() override
        {
            ++offlineCalls;
            link->setLinkOnline(false);
            poll->pause();
        }
    };

    LinkState link;
    fake::Clock clock;
    Host host;
    fake::Serial serial{clock};
    modbus::Transactions *txPointer = nullptr;
    fake::Tcp tcp{clock, txPointer};
    modbus::Transactions tx{host, clock, serial, tcp};
    fake::Meter meter;
    fake::View view;
    PollCycle poll{tx, link, view};

    explicit PollRig(const char *firmware = "V3705A00")
    {
        txPointer = &tx;
        link.RtuMode = true;
        link.SlaveAddress = 1;
        link.setLinkOnline(true);
        host.link = &link;
        host.poll = &poll;
        host.view = &view;
        clock.online = [this] { return link.LinkOnline(); };
        serial.responder = [this](const Bytes &request) { return meter.answer(request); };
        poll.requestFirmwareRead();
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

class TestPollCycle : public QObject {
    Q_OBJECT
private slots:
    void blocksFollowTheFirmware_data();
    void blocksFollowTheFirmware();
    void firstTickShowsTheMetersValues();
    void panelOneUsesIndexesFromHundred();
    void failureInBlockTwoChangesNoDisplay();
    void failedFirmwareReadChoosesPanelOneAndRetries();
    void failingWriteLeavesLaterRequestsRaised();
    void requestsAreServedInOrderWithinOneCycle();
    void reconnectWhileATickWaitsEndsThatTick_data();
    void reconnectWhileATickWaitsEndsThatTick();
};

void TestPollCycle::blocksFollowTheFirmware_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("harmonicOption");
    QTest::addColumn<Requests>("expected");
    QTest::addColumn<int>("displayBase");

    const Requests firmware{{4, 0x1018}};
    const Requests tail{{4, 0x11A1}, {4, 0x107E}, {4, 0x10D4}, {3, 0x1021}};
    QTest::newRow("3705: panel 0, THD, harmonic Vb, CO2")
        << QByteArray("V3705A00") << 1
        << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail,
                   {{4, 0x1400}, {4, 0x1470}, {4, 0x044C}, {3, 0x0000}}})
        << 0;
    QTest::newRow("3000: panel 0 without CO2, harmonic none")
        << QByteArray("V3000A00") << 6
        << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{4, 0x1400}, {3, 0x0000}}}) << 0;
    QTest::newRow("5900: no valid counts, THD or harmonics")
        << QByteArray("V5900A00") << 0
        << concat({firmware, mainBlocks(), tail, {{3, 0x0000}}}) << 0;
    QTest::newRow("2600: panel 1") << QByteArray("V2600A00") << 0
                                   << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail,
                                              {{3, 0x0000}}})
                                   << 100;
    QTest::newRow("2604 on panel 0 reads CO2")
        << QByteArray("V2604A00") << 6
        << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail,
                   {{4, 0x1400}, {4, 0x044C}, {3, 0x0000}}})
        << 0;
    QTest::newRow("R firmware: panel 1 whatever its number")
        << QByteArray("R3705A00") << 0
        << concat({firmware, mainBlocks(), {{4, 0x1190}}, tail, {{3, 0x0000}}}) << 100;
}

void TestPollCycle::blocksFollowTheFirmware()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, harmonicOption);
    QFETCH(Requests, expected);
    QFETCH(int, displayBase);
    PollRig rig(firmware.constData());
    rig.view.checked[fake::View::key(QStringLiteral("optHarmonic"), harmonicOption)] = true;

    rig.tick();

    QCOMPARE(rig.meter.requests, expected);
    QCOMPARE(rig.poll.displayBase(), displayBase);
    QVERIFY(!rig.poll.firmwareReadPending());
    QCOMPARE(rig.view.text(QStringLiteral("txtFWver"), -1), QString::fromLatin1(firmware));
    QCOMPARE(rig.view.visible.value(QStringLiteral("SSTab2(0)")), displayBase == 0);
    QCOMPARE(rig.view.visible.value(QStringLiteral("SSTab2(1)")), displayBase == 100);

    // The next tick does not read the firmware again.
    rig.meter.requests.clear();
    rig.tick();
    QCOMPARE(rig.meter.requests.front(), Request(3, 0x1000));
}

void TestPollCycle::firstTickShowsTheMetersValues()
{
    PollRig rig;
    rig.view.texts[QStringLiteral("Text6")] = QStringLiteral("CRC Error");
    rig.tick();
    const auto t = [&](const char *control, int index) {
        return rig.view.text(QString::fromLatin1(control), index);
    };
    QCOMPARE(t("txt_V_N", 0), QLocale().toString(230.0, 'f', 5));
    QCOMPARE(t("txt_W_Result", 0), QLocale().toString(0.5, 'f', 7));
    QCOMPARE(t("txtFrequency", 0), QLocale().toString(60.0, 'f', 2));
    QCOMPARE(t("txt_PTRatio", -1), QLocale().toString(123.4, 'f', 1));
    QCOMPARE(t("txt_CTRatio", -1), QLocale().toString(150.0, 'f', 1));
    QCOMPARE(t("txt_Wiring", -1), QStringLiteral("3P4W"));
    QCOMPARE(t("txt_Phasor", -1), QStringLiteral("ABC"));
    QCOMPARE(t("txtCO2_out", -1), QLocale().toString(12.5, 'f', 4));
    QCOMPARE(t("txtPTRatio2", -1), QLocale().toString(103.5, 'f', 4));
    QCOMPARE(t("txt_kWh", 20), t("txt_kWh", 0));
    QCOMPARE(t("Text6", -1), QString());
    QVERIFY(rig.view.enabled.value(QStringLiteral("cmdSetCO2")));
}

void TestPollCycle::panelOneUsesIndexesFromHundred()
{
    PollRig rig("V2500A00");
    rig.view.texts[QStringLiteral("txt_V_N(0)")] = QStringLiteral("old");
    rig.tick();
    QCOMPARE(rig.view.text(QStringLiteral("txt_V_N"), 100), QLocale().toString(230.0, 'f', 5));
    QCOMPARE(rig.view.text(QStringLiteral("txt_V_N"), 0), QStringLiteral("old"));
    QCOMPARE(rig.view.text(QStringLiteral("txtFrequency"), 100), QLocale().toString(60.0, 'f', 2));
    QVERIFY(!rig.view.texts.contains(QStringLiteral("txtCO2")));
}

void TestPollCycle::failureInBlockTwoChangesNoDisplay()
{
    PollRig rig;
    rig.tick(); // firmware known, panel 0 shown
    rig.meter.setFloat(rig.meter.input, 0x1080, 240.0f);
    rig.meter.silent.insert({3, 0x1064});
    bool request = true;
    rig.poll.addRequestRow({&request, [] {}});
    const QHash<QString, QString> before = rig.view.texts;

    rig.tick();

    QVERIFY(!rig.link.LinkOnline());
    const QStringList changing{QStringLiteral("txtCO2"), QStringLiteral("txtCO2_out"),
                               QStringLiteral("Text6"), QStringLiteral("txt_Online")};
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!changing.contains(it.key()))
            QCOMPARE(rig.view.texts.value(it.key()), it.value());
    }
    QCOMPARE(rig.view.text(QStringLiteral("txtCO2"), -1), QString());
    QCOMPARE(rig.view.text(QStringLiteral("txtCO2_out"), -1), QString());
    QCOMPARE(rig.view.text(QStringLiteral("Text6"), -1),
             QStringLiteral("Communication Error! Retry 3 times!"));
    QVERIFY(!rig.view.enabled.value(QStringLiteral("cmdSetCO2")));
    QVERIFY(request);
}

void TestPollCycle::failedFirmwareReadChoosesPanelOneAndRetries()
{
    PollRig rig;
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

void TestPollCycle::failingWriteLeavesLaterRequestsRaised()
{
    PollRig rig;
    rig.tick();
    bool first = true;
    bool second = true;
    const auto write = [&rig](int reg) {
        return [&rig, reg] {
            const std::uint16_t v = 7;
            rig.tx.ModbusWriteRegisters(1, reg, 1, std::span(&v, 1), true);
        };
    };
    rig.poll.addRequestRow({&first, write(0x1022)});
    rig.poll.addRequestRow({&second, write(0x1021)});
    rig.meter.silent.insert({16, 0x1022});

    rig.tick();
    QVERIFY(!first);
    QVERIFY(second);
    QCOMPARE(rig.meter.holding[0x1021], std::uint16_t(1234));

    rig.meter.silent.clear();
    rig.link.setLinkOnline(true);
    rig.tick();
    QVERIFY(!second);
    QCOMPARE(rig.meter.holding[0x1021], std::uint16_t(7));
}

void TestPollCycle::requestsAreServedInOrderWithinOneCycle()
{
    PollRig rig;
    rig.tick();
    bool later = false;
    bool earlier = false;
    std::vector<int> order;
    rig.poll.addRequestRow({&earlier, [&] { order.push_back(1); }});
    rig.poll.addRequestRow({&later, [&] { order.push_back(2); }});
    // Raised while the cycle is busy with its reads, last row first.
    rig.clock.after(50, [&] { later = true; });
    rig.clock.after(60, [&] { earlier = true; });
    rig.tick();
    QCOMPARE(order, (std::vector<int>{1, 2}));
    QVERIFY(!earlier && !later);
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
    PollRig rig(firmware.constData());
    if (function != 4 || start != 0x1018)
        rig.tick(); // the firmware is known; the next tick is an ordinary one

    // The user goes offline and straight online again while the block's
    // answer is on its way.
    std::size_t requestsBefore = 0;
    QHash<QString, QString> textsBefore;
    rig.serial.responder = [&](const Bytes &request) {
        if (request[1] == function && (request[2] << 8 | request[3]) == start) {
            rig.clock.after(1, [&] {
                rig.link.setLinkOnline(false);
                rig.link.setLinkOnline(true);
                requestsBefore = rig.meter.requests.size();
                textsBefore = rig.view.texts;
            });
        }
        return rig.meter.answer(request);
    };
    rig.meter.requests.clear();
    rig.tick();

    QVERIFY(requestsBefore > 0);
    QCOMPARE(rig.meter.requests.size(), requestsBefore);
    QCOMPARE(rig.view.texts, textsBefore);
    QVERIFY(!rig.view.enabled.value(QStringLiteral("cmdSetCO2")));
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
