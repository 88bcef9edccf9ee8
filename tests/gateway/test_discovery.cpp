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
        QTest::newRow("topic characters") << "a/b+c#d e" << "a_2Fb_2Bc_23d_20e";
        QTest::newRow("underscore escaped too") << "A_20" << "A_5F20"; // not "A 0"'s id
        QTest::newRow("blanks only") << "                " << "unknown";
    }
    void meterIds()
    {
        QFETCH(QString, serial);
        QFETCH(QString, id);
        QCOMPARE(meterId(serial), id);
    }

    void sensorConfig_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("deviceClass"); // "" for none
        QTest::addColumn<QString>("stateClass");
        QTest::addColumn<QString>("unit"); // "" for none
        QTest::addColumn<QString>("valueTemplate");
        QTest::newRow("voltage") << "voltage_ln_a" << "voltage" << "measurement" << "V" << "{{ value_json.voltage_ln_a }}";
        QTest::newRow("active power") << "kw_total" << "power" << "measurement" << "kW" << "{{ value_json.kw_total }}";
        QTest::newRow("reactive power in var")
            << "kvar_b" << "reactive_power" << "measurement" << "var" << "{{ value_json.kvar_b * 1000 }}";
        QTest::newRow("apparent power in VA")
            << "kva_total" << "apparent_power" << "measurement" << "VA" << "{{ value_json.kva_total * 1000 }}";
        QTest::newRow("power factor") << "pf_avg" << "power_factor" << "measurement" << "" << "{{ value_json.pf_avg }}";
        QTest::newRow("energy counter")
            << "kwh_delivered" << "energy" << "total_increasing" << "kWh" << "{{ value_json.kwh_delivered }}";
        QTest::newRow("reactive energy")
            << "kvarh_lagging" << "reactive_energy" << "total_increasing" << "kvarh" << "{{ value_json.kvarh_lagging }}";
        QTest::newRow("angle") << "angle_i_c" << "" << "measurement_angle" << "\u00B0" << "{{ value_json.angle_i_c }}";
        QTest::newRow("CO2 emission") << "co2_emission" << "" << "total_increasing" << "kg" << "{{ value_json.co2_emission }}";
        QTest::newRow("CO2 factor") << "co2_factor" << "" << "measurement" << "kg/kWh" << "{{ value_json.co2_factor }}";
    }
    void sensorConfig()
    {
        QFETCH(QString, quantity);
        const DiscoveryConfig config =
            discoveryConfig(QStringLiteral("homeassistant"), {QStringLiteral(" AB 12   "), QStringLiteral("V3705A00")},
                            *meter::findQuantity(quantity), {QStringLiteral("gw1")});
        QCOMPARE(config.topic, "homeassistant/sensor/ampwright_AB_2012/" + quantity + "/config");
        const QJsonObject json = QJsonDocument::fromJson(config.payload).object();
        QCOMPARE(json.value("unique_id").toString(), "ampwright_AB_2012_" + quantity);
        QCOMPARE(json.value("state_topic").toString(), "ampwright/AB_2012/state");
        // Unavailable once the meter or the gateway says offline (its last will).
        QVERIFY(!json.contains("availability_topic")); // Home Assistant refuses it beside the list
        QCOMPARE(json.value("availability_mode").toString(), "all");
        QCOMPARE(json.value("availability").toArray(),
                 (QJsonArray{QJsonObject{{"topic", "ampwright/AB_2012/availability"}},
                             QJsonObject{{"topic", "ampwright/gateway/gw1/availability"}}}));
        QTEST(json.value("value_template").toString(), "valueTemplate");
        QTEST(json.value("device_class").toString(), "deviceClass"); // absent reads as ""
        QTEST(json.value("state_class").toString(), "stateClass");
        QTEST(json.value("unit_of_measurement").toString(), "unit");
        const QJsonObject device = json.value("device").toObject();
        QCOMPARE(device.value("identifiers").toArray(), QJsonArray{"ampwright_AB_2012"});
        QCOMPARE(device.value("serial_number").toString(), "AB 12");
        QCOMPARE(device.value("sw_version").toString(), "V3705A00");
        QCOMPARE(json.value("origin").toObject().value("name").toString(), "Ampwright");
        QVERIFY(!json.contains("entity_category"));
    }

    // ha-discovery=compat leaves out what releases before 2025 refuse.
    void compatClasses()
    {
        const auto classes = [](const char *quantity) {
            const QJsonObject json = QJsonDocument::fromJson(discoveryConfig(QStringLiteral("ha"), {QStringLiteral("S1"), {}},
                                                                             *meter::findQuantity(QLatin1String(quantity)), {{}, true})
                                                                 .payload).object();
            return json.value("device_class").toString() + u' ' + json.value("state_class").toString();
        };
        QCOMPARE(classes("kvarh_leading_b"), " total_increasing");
        QCOMPARE(classes("angle_v_a"), " measurement");
        QCOMPARE(classes("kwh_received"), "energy total_increasing");
    }

    void diagnosticSensors()
    {
        for (const DiscoveryConfig &c : diagnosticConfigs(QStringLiteral("ha"), {QStringLiteral("S1"), {}}))
            QCOMPARE(QJsonDocument::fromJson(c.payload).object().value("entity_category").toString(), "diagnostic");
    }

    // Configs for the quantities the firmware reads, of those a state holds.
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
        QStringList topics;
        for (const DiscoveryConfig &c : discoveryConfigs(QStringLiteral("ha"), {QStringLiteral("S1"), {}}, firmware, displayBase))
            topics << c.topic;
        QVERIFY(topics.contains("ha/sensor/ampwright_S1/voltage_ln_a/config"));
        QTEST(topics.contains("ha/sensor/ampwright_S1/co2_emission/config"), "co2");
        QVERIFY(!topics.join(u' ').contains("thd_")); // not in a read's state
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
