// The Prometheus exporter, scraped over HTTP as Prometheus would: two meters
// of different firmware with known readings, their counts, a meter gone
// away, an energy reset and totals held back; the text also goes through
// promtool.

#include "gateway/http_server.h"
#include "gateway/prometheus_exporter.h"
#include "metrics_scrape.h"

#include <QDateTime>
#include <QTest>

using gateway::MeterMetrics;
using meter::Q;

namespace {

meter::Reading readingOf(int firmware, std::initializer_list<meter::Sample> values)
{
    meter::Reading reading;
    reading.firmwareNumber = firmware;
    reading.store(meter::Samples(values), 1'700'000'000'000);
    return reading;
}

} // namespace

class TestPrometheusExporter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void series_data();
    void series();
    void lastPollIsTheTimeOfThePoll();
    void promtoolAcceptsTheText();

private:
    MeterMetrics metrics_;
    std::unique_ptr<gateway::HttpServer> http_;
    QString text_;
    double before_ = 0, after_ = 0; // seconds around the polls
};

void TestPrometheusExporter::initTestCase()
{
    QString error;
    http_ = std::make_unique<gateway::HttpServer>();
    metrics_.serveOn(*http_);
    QVERIFY2(http_->listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
    QVERIFY(http_->port() != 0);
    gateway::HttpServer taken;
    QVERIFY(!taken.listen(QStringLiteral("127.0.0.1"), http_->port(), &error));
    QVERIFY2(error.contains(QLatin1String("in use")), qPrintable(error));

    // M1: firmware 3705 reads THD and CO2; M2: firmware 6000 reads neither.
    const std::initializer_list<meter::Sample> common = {
        {Q::VoltageLnA, 230.5}, {Q::CurrentAvg, 5.0},
        {Q::KwTotal, 3.45}, {Q::KvarC, -0.5}, {Q::PfA, 0.866}, {Q::Frequency, 50.0},
        {Q::KwhDelivered, 12345.5}, {Q::KvarhLagging, 2.0}, {Q(Q::PhaseEnergyB + 4), 1.5},
        {Q::Thd, 2.0}, {Q(Q::Thd + 11), 8.5}, {Q::Co2Factor, 0.5}, {Q::Co2Emission, 1.5},
        {Q::PtRatio, 2.5}, {Q::CtRatioFloat, 200.0}};
    before_ = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    metrics_.updateReading("M1", readingOf(3705, common), 0);
    metrics_.setInfo("M1", {"3705 ", "rtu=1", 7});
    meter::Reading m2 = readingOf(6000, common);
    metrics_.updateReading("M2", m2, 0);
    // The meter's energy was reset: its counter starts again.
    m2.store({{Q::KwhDelivered, 10.0}}, 1'700'000'001'000);
    metrics_.updateReading("M2", m2, 0);
    // M3 went offline: its values leave, its up, info and counts stay.
    metrics_.updateReading("M3", readingOf(3705, common), 0);
    metrics_.setInfo("M3", {"3705", "tcp=10.0.0.5:502", 1});
    metrics_.setInfo("M3", {"3706", "tcp=10.0.0.5:502", 1}); // new firmware: one info series
    metrics_.setUp("M3", false);
    // M4's total and a voltage are held back for one poll, lower: they keep
    // their series as they were; the frequency moves on.
    meter::Reading m4 = readingOf(3705, common);
    metrics_.updateReading("M4", m4, 0);
    m4.store({{Q::KwhDelivered, 100.0}, {Q::VoltageLnA, 1.0}, {Q::Frequency, 49.5}}, 1'700'000'001'000);
    gateway::QuantitySet held;
    held.set(std::size_t(Q::KwhDelivered)).set(std::size_t(Q::VoltageLnA));
    metrics_.updateReading("M4", m4, 0, held);
    after_ = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    for (int i = 0; i < 3; ++i)
        metrics_.countRequest("M1");
    metrics_.countFailure("M1", gateway::RequestFailure::Crc);
    metrics_.countFailure("M2", gateway::RequestFailure::Timeout);
    metrics_.countArchivedRecords("M1", 96);
    metrics_.setCycleSeconds("M1", 0.25);
    text_ = testsupport::scrapeMetrics(http_->port());
    QVERIFY2(text_.contains(QLatin1String("ampwright_")), qPrintable(text_));
}

void TestPrometheusExporter::series_data()
{
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("value"); // empty: the series is absent

    const struct {
        const char *series;
        const char *value;
    } rows[] = {
        {R"(ampwright_voltage_ln_volts{meter="M1",phase="a"})", "230.5"},
        {R"(ampwright_voltage_ln_volts{meter="M1",phase="c"})", ""}, // not in the reading
        {R"(ampwright_current_average_amperes{meter="M1"})", "5"},
        {R"(ampwright_active_power_three_phase_watts{meter="M1"})", "3450"},
        {R"(ampwright_reactive_power_vars{meter="M1",phase="c"})", "-500"},
        {R"(ampwright_power_factor_ratio{meter="M1",phase="a"})", "0.866"},
        {R"(ampwright_frequency_hertz{meter="M1"})", "50"},
        {R"(ampwright_active_energy_delivered_three_phase_joules_total{meter="M1"})", "44443800000"},
        {R"(ampwright_active_energy_delivered_three_phase_joules_total{meter="M2"})", "36000000"},
        {R"(ampwright_reactive_energy_lagging_three_phase_var_seconds_total{meter="M1"})", "7200000"},
        {R"(ampwright_apparent_energy_volt_ampere_seconds_total{meter="M1",phase="b"})", "5400000"},
        {R"(ampwright_thd_ratio{channel="6",group="2",meter="M1"})", "0.085"},
        {R"(ampwright_thd_ratio{channel="1",group="1",meter="M2"})", ""}, // firmware 6000 reads no THD
        {R"(ampwright_co2_factor_grams_per_joule{meter="M1"})", "0.000138888889"}, // 0.5 kg/kWh
        {R"(ampwright_co2_emission_grams_total{meter="M1"})", "1500"},
        {R"(ampwright_pt_multiplier{meter="M1"})", "2.5"},
        {R"(ampwright_ct_float_multiplier{meter="M1"})", "200"},
        {R"(ampwright_meter_info{firmware="3705",line="rtu=1",meter="M1",unit="7"})", "1"},
        {R"(ampwright_meter_info{firmware="3705",line="tcp=10.0.0.5:502",meter="M3",unit="1"})", ""},
        {R"(ampwright_meter_info{firmware="3706",line="tcp=10.0.0.5:502",meter="M3",unit="1"})", "1"},
        {R"(ampwright_meter_up{meter="M1"})", "1"},
        {R"(ampwright_meter_up{meter="M3"})", "0"}, // gone away, series kept
        {R"(ampwright_voltage_ln_volts{meter="M3",phase="a"})", ""}, // its values withdrawn
        {R"(ampwright_active_energy_delivered_three_phase_joules_total{meter="M3"})", ""},
        {R"(ampwright_active_energy_delivered_three_phase_joules_total{meter="M4"})", "44443800000"}, // held
        {R"(ampwright_voltage_ln_volts{meter="M4",phase="a"})", "230.5"},                              // held
        {R"(ampwright_frequency_hertz{meter="M4"})", "49.5"},
        {R"(ampwright_requests_total{meter="M1"})", "4"},
        {R"(ampwright_request_failures_total{kind="crc",meter="M1"})", "1"},
        {R"(ampwright_request_failures_total{kind="timeout",meter="M1"})", "0"},
        {R"(ampwright_request_failures_total{kind="timeout",meter="M2"})", "1"},
        {R"(ampwright_lp_records_archived_total{meter="M1"})", "96"},
        {R"(ampwright_poll_cycle_duration_seconds{meter="M1"})", "0.25"},
        {R"(ampwright_poll_cycle_duration_seconds{meter="M2"})", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row.series) << QString::fromLatin1(row.series) << QString::fromLatin1(row.value);
}

void TestPrometheusExporter::series()
{
    QFETCH(QString, series);
    QFETCH(QString, value);
    const QHash<QString, QString> all = testsupport::metricSamples(text_);
    if (value.isEmpty()) {
        QVERIFY2(!all.contains(series), qPrintable(all.value(series)));
        return;
    }
    QVERIFY2(all.contains(series), qPrintable(text_));
    // The reading holds doubles of floats: compare as numbers, to 7 digits.
    QVERIFY2(qAbs(all.value(series).toDouble() - value.toDouble()) <= 1e-7 * qMax(1.0, qAbs(value.toDouble())),
             qPrintable(all.value(series)));
}

void TestPrometheusExporter::lastPollIsTheTimeOfThePoll()
{
    // Kept while the meter is offline.
    const double at = testsupport::metricSamples(text_)
                          .value(R"(ampwright_meter_last_poll_timestamp_seconds{meter="M3"})").toDouble();
    QVERIFY2(at >= before_ - 0.001 && at <= after_ + 0.001, qPrintable(QString::number(at, 'f')));
}

void TestPrometheusExporter::promtoolAcceptsTheText()
{
    const auto complaints = testsupport::promtoolComplaints(text_);
    if (!complaints)
        QSKIP("promtool is not installed (Debian package prometheus; scripts/install-deps.sh brings it)");
    QVERIFY2(complaints->isEmpty(), qPrintable(*complaints));
}

QTEST_GUILESS_MAIN(TestPrometheusExporter)
#include "test_prometheus_exporter.moc"
