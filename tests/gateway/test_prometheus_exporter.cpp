// The Prometheus exporter, scraped over HTTP as Prometheus would: two meters
// of different firmware with known readings, their counts, a meter gone
// away and an energy reset; the text also goes through promtool.

#include "gateway/prometheus_exporter.h"
#include "metrics_scrape.h"

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
    void promtoolAcceptsTheText();

private:
    std::unique_ptr<MeterMetrics> metrics_;
    QString text_;
};

void TestPrometheusExporter::initTestCase()
{
    QString error;
    metrics_ = MeterMetrics::listen(QStringLiteral("127.0.0.1"), 0, &error);
    QVERIFY2(metrics_, qPrintable(error));
    QVERIFY(metrics_->port() != 0);
    QVERIFY(!MeterMetrics::listen(QStringLiteral("127.0.0.1"), metrics_->port(), &error)); // taken
    QVERIFY2(error.contains(QString::number(metrics_->port())), qPrintable(error));

    // M1: firmware 3705 reads THD and CO2; M2: firmware 6000 reads neither.
    const std::initializer_list<meter::Sample> common = {
        {Q::VoltageLnA, 230.5}, {Q::CurrentAvg, 5.0},
        {Q::KwTotal, 3.45}, {Q::KvarC, -0.5}, {Q::PfA, 0.866}, {Q::Frequency, 50.0},
        {Q::KwhDelivered, 12345.5}, {Q::KvarhLagging, 2.0}, {Q(Q::PhaseEnergyB + 4), 1.5},
        {Q::Thd, 2.0}, {Q(Q::Thd + 11), 8.5}, {Q::Co2Factor, 0.5}};
    metrics_->updateReading("M1", readingOf(3705, common), 0);
    meter::Reading m2 = readingOf(6000, common);
    metrics_->updateReading("M2", m2, 0);
    // The meter's energy was reset: its counter starts again.
    m2.store({{Q::KwhDelivered, 10.0}}, 1'700'000'001'000);
    metrics_->updateReading("M2", m2, 0);
    for (int i = 0; i < 3; ++i)
        metrics_->countRequest("M1");
    metrics_->countFailure("M1", gateway::RequestFailure::Crc);
    metrics_->countFailure("M2", gateway::RequestFailure::Timeout);
    metrics_->countArchivedRecords("M1", 96);
    metrics_->setCycleSeconds("M1", 0.25);
    metrics_->setUp("M2", false);
    text_ = testsupport::scrapeMetrics(metrics_->port());
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
        {R"(ampwright_co2_factor_grams_per_watt_hour{meter="M1"})", "0.5"},
        {R"(ampwright_meter_up{meter="M1"})", "1"},
        {R"(ampwright_meter_up{meter="M2"})", "0"}, // gone away, series kept
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

void TestPrometheusExporter::promtoolAcceptsTheText()
{
    const auto complaints = testsupport::promtoolComplaints(text_);
    if (!complaints)
        QSKIP("promtool is not installed (Debian package prometheus; scripts/install-deps.sh brings it)");
    QVERIFY2(complaints->isEmpty(), qPrintable(*complaints));
}

QTEST_GUILESS_MAIN(TestPrometheusExporter)
#include "test_prometheus_exporter.moc"
