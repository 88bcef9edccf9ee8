// Home Assistant discovery configs and the topics' safe meter ids.
#include "gateway/discovery_config.h"
#include "gateway/mqtt_topics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace gateway;

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void meterIds_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("id");
        QTest::newRow("padded") << "  12345678ABCD  " << "12345678ABCD";
        QTest::newRow("blank inside") << "AB 12" << "AB_2012";
        QTest::newRow("topic characters") << "a/b+c#d" << "a_2Fb_2Bc_23d";
        QTest::newRow("underscore is escaped too") << "A_20" << "A_5F20"; // so "A 0" and "A_20" differ
        QTest::newRow("meter's unknown byte") << "12?4" << "12_3F4";
        QTest::newRow("blanks only") << "                " << "unknown";
    }
    void meterIds()
    {
        QFETCH(QString, serial);
        QFETCH(QString, id);
        QCOMPARE(meterId(serial), id);
        QVERIFY(isTopicWord(meterId(serial)));
    }

    void sensorConfig_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("deviceClass"); // "" for none
        QTest::addColumn<QString>("stateClass");
        QTest::addColumn<QString>("unit");        // "" for none
        QTest::addColumn<QString>("valueTemplate");
        QTest::newRow("voltage") << "voltage_ln_a" << "voltage" << "measurement" << "V" << "{{ value_json.voltage_ln_a }}";
        QTest::newRow("current") << "current_avg" << "current" << "measurement" << "A" << "{{ value_json.current_avg }}";
        QTest::newRow("active power") << "kw_total" << "power" << "measurement" << "kW" << "{{ value_json.kw_total }}";
        QTest::newRow("reactive power in var") << "kvar_b" << "reactive_power" << "measurement" << "var"
                                               << "{{ value_json.kvar_b * 1000 }}";
        QTest::newRow("apparent power in VA") << "kva_total" << "apparent_power" << "measurement" << "VA"
                                              << "{{ value_json.kva_total * 1000 }}";
        QTest::newRow("power factor") << "pf_avg" << "power_factor" << "measurement" << "" << "{{ value_json.pf_avg }}";
        QTest::newRow("frequency") << "frequency" << "frequency" << "measurement" << "Hz" << "{{ value_json.frequency }}";
        QTest::newRow("energy counter") << "kwh_delivered" << "energy" << "total_increasing" << "kWh"
                                        << "{{ value_json.kwh_delivered }}";
        QTest::newRow("reactive energy") << "kvarh_lagging" << "" << "total_increasing" << "kvarh"
                                         << "{{ value_json.kvarh_lagging }}";
        QTest::newRow("angle") << "angle_i_c" << "" << "measurement" << "\u00B0" << "{{ value_json.angle_i_c }}";
        QTest::newRow("ratio") << "ct_ratio" << "" << "measurement" << "" << "{{ value_json.ct_ratio }}";
    }
    void sensorConfig()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, deviceClass);
        QFETCH(QString, stateClass);
        QFETCH(QString, unit);
        QFETCH(QString, valueTemplate);
        const DiscoveryConfig config = discoveryConfig(QStringLiteral("homeassistant"),
                                                       {QStringLiteral(" AB 12   "), QStringLiteral("V3705A00")},
                                                       *polling::findQuantity(quantity));
        QCOMPARE(config.topic, "homeassistant/sensor/ampwright_AB_2012/" + quantity + "/config");
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(config.payload, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.value("unique_id").toString(), "ampwright_AB_2012_" + quantity);
        QCOMPARE(json.value("state_topic").toString(), "ampwright/AB_2012/state");
        QCOMPARE(json.value("availability_topic").toString(), "ampwright/AB_2012/availability");
        QCOMPARE(json.value("value_template").toString(), valueTemplate);
        QCOMPARE(json.value("device_class").toString(), deviceClass);
        QCOMPARE(json.contains("device_class"), !deviceClass.isEmpty());
        QCOMPARE(json.value("state_class").toString(), stateClass);
        QCOMPARE(json.value("unit_of_measurement").toString(), unit);
        QCOMPARE(json.contains("unit_of_measurement"), !unit.isEmpty());
        QVERIFY(!json.value("name").toString().isEmpty());
        const QJsonObject device = json.value("device").toObject();
        QCOMPARE(device.value("identifiers").toArray(), QJsonArray{"ampwright_AB_2012"});
        QCOMPARE(device.value("serial_number").toString(), "AB 12");
        QCOMPARE(device.value("sw_version").toString(), "V3705A00");
        QVERIFY(!device.contains("manufacturer"));
    }

    // A meter gets configs for the quantities its firmware reads, only of
    // those its state holds.
    void configsFollowTheFirmware_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("displayBase");
        QTest::addColumn<bool>("co2");
        QTest::newRow("CO2 firmware, panel 0") << 2604 << 0 << true;
        QTest::newRow("CO2 firmware, panel 1") << 2604 << 100 << false;
        QTest::newRow("firmware without CO2") << 2500 << 0 << false;
    }
    void configsFollowTheFirmware()
    {
        QFETCH(int, firmware);
        QFETCH(int, displayBase);
        QFETCH(bool, co2);
        const auto configs = discoveryConfigs(QStringLiteral("ha"), {QStringLiteral("S1"), {}}, firmware, displayBase);
        QStringList topics;
        for (const DiscoveryConfig &c : configs)
            topics << c.topic;
        QVERIFY(topics.contains("ha/sensor/ampwright_S1/voltage_ln_a/config"));
        QCOMPARE(topics.contains("ha/sensor/ampwright_S1/co2_emission/config"), co2);
        QVERIFY(!topics.join(u' ').contains("thd_")); // not in a read's state
        QCOMPARE(topics.removeDuplicates(), 0);

        const auto picked = discoveryConfigs(QStringLiteral("ha"), {QStringLiteral("S1"), {}}, firmware, displayBase,
                                             {QStringLiteral("co2_factor"), QStringLiteral("frequency")});
        QCOMPARE(int(picked.size()), co2 ? 2 : 1);
        QCOMPARE(picked.back().topic, "ha/sensor/ampwright_S1/frequency/config");
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
