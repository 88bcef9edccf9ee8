#include "gateway/api_routes.h"
#include "gateway/gateway_status.h"
#include "gateway/http_server.h"
#include "gateway/meter_view.h"
#include "gateway/page_routes.h"
#include "gateway/phasor_svg.h"
#include "http_get.h"
#include "svg_vectors.h"
#include "test_paths.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

// The views the gateway's page is built of: the phasor picture, a meter's
// captioned values, and which paths the page's routes answer.
class TestPageViews : public QObject {
    Q_OBJECT
private slots:
    void phasorVectorsAtTheMetersAngles_data();
    void phasorVectorsAtTheMetersAngles();
    void valuesCaptionedInTheLanguage_data();
    void valuesCaptionedInTheLanguage();
    void routesServeOnlyThePage_data();
    void routesServeOnlyThePage();
};

using Magnitudes = std::array<double, 6>; // Va Vb Vc Ia Ib Ic, then angles in the same order

void TestPageViews::phasorVectorsAtTheMetersAngles_data()
{
    QTest::addColumn<Magnitudes>("magnitudes");
    QTest::addColumn<Magnitudes>("angles");
    QTest::addColumn<Magnitudes>("shownAngles"); // as the control normalises them
    QTest::newRow("balanced, lagging currents") << Magnitudes{230, 230, 230, 5, 5, 5}
                                                << Magnitudes{0, 240, 120, -30, 210, 90}
                                                << Magnitudes{0, 240, 120, 330, 210, 90};
    QTest::newRow("unequal, beyond a turn") << Magnitudes{230, 115, 460, 2, 4, 1}
                                            << Magnitudes{370, -90, 725, 0.5, 180, 359}
                                            << Magnitudes{10, 270, 5, 0.5, 180, 359};
}

void TestPageViews::phasorVectorsAtTheMetersAngles()
{
    QFETCH(Magnitudes, magnitudes);
    QFETCH(Magnitudes, angles);
    QFETCH(Magnitudes, shownAngles);
    const meter::Q q[12] = {meter::VoltageLnA, meter::VoltageLnB, meter::VoltageLnC, meter::CurrentA,
                            meter::CurrentB,   meter::CurrentC,   meter::AngleVA,    meter::AngleVB,
                            meter::AngleVC,    meter::AngleIA,    meter::AngleIB,    meter::AngleIC};
    meter::Reading reading;
    for (std::size_t i = 0; i < 6; ++i) {
        reading.values[std::size_t(q[i])] = magnitudes[i];
        reading.values[std::size_t(q[i + 6])] = angles[i];
    }
    const QString svg = QString::fromUtf8(gateway::phasorSvg(reading));
    const double radius = QRegularExpression(QStringLiteral("class=\"reference\"[^>]* r=\"([0-9.]+)\""))
                              .match(svg).captured(1).toDouble();
    QVERIFY(radius > 0);
    const QMap<QString, QPointF> ends = svgVectors(svg);
    QCOMPARE(ends.keys(), QStringList({"Ia", "Ib", "Ic", "Va", "Vb", "Vc"}));
    for (std::size_t i = 0; i < 6; ++i) {
        const QString name = QLatin1String(i < 3 ? "V" : "I") + QChar(char16_t(u'a' + i % 3));
        QVERIFY2(std::fabs(svgAngle(ends[name]) - shownAngles[i]) < 0.05, qPrintable(name));
        // The smallest of a kind reaches the reference circle.
        const std::size_t first = i < 3 ? 0 : 3;
        const double reference = std::min({magnitudes[first], magnitudes[first + 1], magnitudes[first + 2]});
        QVERIFY2(std::fabs(std::hypot(ends[name].x(), ends[name].y()) - radius * magnitudes[i] / reference) < 0.2,
                 qPrintable(name));
        QVERIFY2(svg.contains(QStringLiteral(">%1</text>").arg(name)), "vector without its label");
    }
}

void TestPageViews::valuesCaptionedInTheLanguage_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("shownLang");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("caption");
    QTest::newRow("English") << "en" << "en" << "Voltage" << "Voltage L-N (V), Phase A";
    QTest::newRow("Japanese") << "ja" << "ja" << "電圧" << "相電圧 (V)・A相";
    QTest::newRow("Chinese") << "zh" << "zh" << "電壓" << "相電壓 (V),A 相";
    QTest::newRow("unknown code: English") << "<x>" << "en" << "Voltage" << "Voltage L-N (V), Phase A";
}

void TestPageViews::valuesCaptionedInTheLanguage()
{
    QFETCH(QString, lang);
    QFETCH(QString, shownLang);
    QFETCH(QString, group);
    QFETCH(QString, caption);
    gateway::MeterState state;
    state.serial = QStringLiteral("AW1");
    state.firmwareNumber = 500; // no THD
    state.reading.values[meter::VoltageLnA] = 230.125;
    const auto languages = gateway::PageLanguages::load(testsupport::binDir());
    const QJsonObject view = gateway::meterView(state, languages.file(lang), lang);
    QCOMPARE(view[u"lang"].toString(), shownLang);
    const QJsonArray groups = view[u"groups"].toArray();
    QCOMPARE(groups.size(), 8); // voltages .. demand
    QCOMPARE(groups[0][u"caption"].toString(), group);
    const QJsonObject first = groups[0][u"values"][0].toObject();
    QCOMPARE(first[u"id"].toString(), QStringLiteral("voltage_ln_a"));
    QCOMPARE(first[u"caption"].toString(), caption);
    QCOMPARE(first[u"value"].toString(), QStringLiteral("230.12500"));
    QCOMPARE(groups[0][u"values"][1][u"value"].toString(), QString()); // not read
    QCOMPARE(groups[4][u"values"][0][u"unit"].toString(), QStringLiteral("\u00B0"));
}

void TestPageViews::routesServeOnlyThePage_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("holds");
    QTest::newRow("overview") << QByteArray("/") << 200 << QByteArray("/static/gateway.js");
    QTest::newRow("a meter's page") << QByteArray("/meters/AW1") << 200 << QByteArray("/static/meter.js");
    QTest::newRow("style") << QByteArray("/static/page.css") << 200 << QByteArray("tabular-nums");
    QTest::newRow("a folder of the page") << QByteArray("/static/page/index.html") << 404 << QByteArray();
    QTest::newRow("phasor") << QByteArray("/meters/AW1/phasor.svg") << 200 << QByteArray("<svg");
    QTest::newRow("phasor of no meter") << QByteArray("/meters/AW2/phasor.svg") << 404 << QByteArray();
    QTest::newRow("view, markup in the language") << QByteArray("/api/meters/AW1/view?lang=%3Cscript%3E") << 200
                                                  << QByteArray("\"lang\":\"en\"");
    QTest::newRow("view of no meter") << QByteArray("/api/meters/AW2/view") << 404 << QByteArray();
    QTest::newRow("page of no meter") << QByteArray("/meters/AW2") << 404 << QByteArray();
    QTest::newRow("summary, bad period") << QByteArray("/api/meters/AW1/lp/summary?period=year") << 400 << QByteArray();
    QTest::newRow("summary, no archive") << QByteArray("/api/meters/AW1/lp/summary?period=day") << 503 << QByteArray();
}

void TestPageViews::routesServeOnlyThePage()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, holds);
    static gateway::GatewayStatus meters;
    static gateway::HttpServer server;
    if (!server.port()) {
        meters.addMeter(0, meters.addLine(links::MeterAddress{}, {}), 1);
        gateway::MeterState state;
        state.serial = QStringLiteral("AW1");
        meters.meterRead(0, state, 0.1, {});
        gateway::registerApiRoutes(server, meters, QString(),
                                   gateway::registerPageRoutes(server, meters, {testsupport::binDir(), QString(), QString()}));
        QString error;
        QVERIFY2(server.listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
    }
    const testsupport::HttpAnswer answer = testsupport::httpRequest(server.port(), "GET " + target);
    QCOMPARE(answer.status, status);
    QVERIFY2(answer.body.contains(holds), answer.body.left(300).constData());
}

QTEST_GUILESS_MAIN(TestPageViews)
#include "test_page_views.moc"
