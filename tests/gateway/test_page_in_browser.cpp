// The gateway's page in Debian's chromium, headless, against serve polling
// two simulated meters on one pseudo-terminal line into a SQLite archive.
#include "metersim_process.h"
#include "headless_chromium.h"
#include "http_get.h"
#include "svg_vectors.h"
#include "test_paths.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <cmath>

namespace {

constexpr int kWaitMs = 30000;
constexpr double kVoltage = 231.5;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QJsonValue json(const QByteArray &body) { return QJsonDocument::fromJson(body).object(); }

// The text of the element holding `attribute` in a dumped page ("" for none).
QString cellText(const QString &dom, const QString &attribute)
{
    const auto match = QRegularExpression(QRegularExpression::escape(attribute) + QStringLiteral("[^>]*>([^<]*)<")).match(dom);
    return match.captured(1);
}

} // namespace

class TestPageInBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void metersListedWithTheirState();
    void liveValuesAndPhasorAsTheMeterHasThem();
    void loadProfileStatisticsAsArchived();
    void screenshots();
    void silencedMeterGoesOfflineOnTheOpenPage();

private:
    QStringList headless();
    // chromium's output once the page's scripts ran for a few seconds.
    QString browse(const QString &path, const QStringList &more = {"--dump-dom"});
    testsupport::HttpAnswer answer(const QString &path) { return testsupport::httpRequest(port_, "GET " + path.toUtf8()); }
    QByteArray get(const QString &path) { return answer(path).body; }
    QString url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }

    QTemporaryDir dir_;
    QString chromium_;
    testsupport::MeterSim line_; // units 1 and 2
    QStringList serials_;
    QString meterDom_; // a meter's page as the browser made it
    QProcess gateway_;
    quint16 port_ = 0;
    int runs_ = 0;
};

QStringList TestPageInBrowser::headless()
{
    return testsupport::headlessChromium(dir_.filePath(QString::number(++runs_)));
}

QString TestPageInBrowser::browse(const QString &path, const QStringList &more)
{
    QProcess browser;
    browser.start(chromium_, headless() << "--virtual-time-budget=4000" << more << url(path));
    browser.waitForFinished(30000);
    return QString::fromUtf8(browser.readAllStandardOutput());
}

void TestPageInBrowser::initTestCase()
{
    chromium_ = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium_.isEmpty())
        QSKIP("chromium is not installed (Debian package chromium): the page is not tried in a browser");
    QDir().mkpath(dir_.filePath(QStringLiteral("com")));
    QVERIFY2(line_.start({"--no-tcp", "--pty-link", dir_.filePath(QStringLiteral("com/COM1")), "--unit", "1,2",
                          "--voltage", QString::number(kVoltage), "--lp-count", "1=300", "--lp-gap", "1=250:3"}),
             qPrintable(line_.errorString()));
    serials_ = {line_.unitSerials().value(1), line_.unitSerials().value(2)};
    QFile meters(dir_.filePath(QStringLiteral("meters.txt")));
    QVERIFY(meters.open(QIODevice::WriteOnly) && meters.write("rtu=1 unit=1 baud=9600\nrtu=1 unit=2 baud=9600\n") > 0);
    meters.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AMPWRIGHT_COM_DIR"), dir_.filePath(QStringLiteral("com")));
    gateway_.setProcessEnvironment(environment);
    gateway_.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    port_ = freePort();
    gateway_.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
                   {"serve", "--meters", meters.fileName(), "--http", QStringLiteral("127.0.0.1:%1").arg(port_),
                    "--every", "1", "--name", "page-test",
                    "--store", "sqlite:" + dir_.filePath(QStringLiteral("archive.sqlite"))});
    QVERIFY(gateway_.waitForStarted());
    // Both meters read, group 1 of the first archived.
    for (const QString &serial : serials_)
        QTRY_COMPARE_WITH_TIMEOUT(answer("/api/meters/" + serial + "/view").status, 200, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        json(get("/api/meters/" + serials_[0] + "/lp/summary?group=1&period=week"))[u"coverage"][u"present"].toInt() > 0,
        kWaitMs);
}

void TestPageInBrowser::metersListedWithTheirState()
{
    const QString dom = browse(QStringLiteral("/"));
    for (const QString &serial : serials_) {
        QVERIFY2(dom.contains(QStringLiteral("data-serial=\"%1\" data-state=\"online\"").arg(serial)), qPrintable(dom.left(3000)));
        QVERIFY(dom.contains(QStringLiteral("href=\"/meters/%1\"").arg(serial)));
    }
}

void TestPageInBrowser::liveValuesAndPhasorAsTheMeterHasThem()
{
    meterDom_ = browse("/meters/" + serials_[0]);
    QCOMPARE(cellText(meterDom_, QStringLiteral("class=\"value\" data-id=\"voltage_ln_a\"")).toDouble(), kVoltage);

    // metersim: voltages at 0, 240 and 120 degrees, currents lagging them by 30.
    const QMap<QString, double> angles{{"Va", 0}, {"Vb", 240}, {"Vc", 120}, {"Ia", 330}, {"Ib", 210}, {"Ic", 90}};
    const QMap<QString, QPointF> ends = svgVectors(QString::fromUtf8(get("/meters/" + serials_[0] + "/phasor.svg")));
    QCOMPARE(ends.keys(), angles.keys());
    for (const QString &name : angles.keys())
        QVERIFY2(std::fabs(std::remainder(svgAngle(ends[name]) - angles[name], 360.0)) < 0.1, qPrintable(name));
}

void TestPageInBrowser::loadProfileStatisticsAsArchived()
{
    // The week's first channel as the page shows it ...
    const qsizetype week = meterDom_.indexOf(QLatin1String("id=\"lp-week\""));
    QVERIFY2(week > 0, qPrintable(meterDom_.right(3000)));
    const QString weekBox = meterDom_.mid(week);
    // ... and the archive's records of the days it names, as the archive exports them.
    const QJsonValue period = json(get("/api/meters/" + serials_[0] + "/lp/summary?group=1&period=week"))[u"period"];
    const QDateTime end = QDateTime::fromString(period[u"end"].toString(), Qt::ISODate);
    const QByteArray csv = get(QStringLiteral("/api/meters/%1/lp?group=1&from=%2&until=%3&format=csv")
                                   .arg(serials_[0], period[u"start"].toString().left(10),
                                        end.addSecs(-1).toString(u"yyyy-MM-dd")));
    double minimum = INFINITY, maximum = -INFINITY, sum = 0;
    int rows = 0;
    for (const QByteArray &row : csv.split('\n')) {
        const QList<QByteArray> fields = row.trimmed().split(',');
        if (fields.size() < 3 || !fields[0].contains('/'))
            continue; // the export's date line and header
        const double value = fields[2].toDouble();
        minimum = std::min(minimum, value), maximum = std::max(maximum, value), sum += value, ++rows;
    }
    QVERIFY(rows > 96); // more than a day
    QCOMPARE(cellText(weekBox, QStringLiteral("data-stat=\"minimum\"")).toDouble(), minimum);
    QCOMPARE(cellText(weekBox, QStringLiteral("data-stat=\"maximum\"")).toDouble(), maximum);
    QVERIFY(std::fabs(cellText(weekBox, QStringLiteral("data-stat=\"average\"")).toDouble() - sum / rows) < 1e-4);
    // metersim's gap of three intervals.
    QVERIFY2(weekBox.contains(QLatin1String("data-missing=\"3\"")), qPrintable(weekBox.left(1500)));
}

void TestPageInBrowser::screenshots()
{
    const QDir shots(testsupport::buildDir());
    shots.mkpath(QStringLiteral("screenshots"));
    // Tall enough for the whole page. chromium's window is never narrower than 500 px: the 400 px
    // picture is the left of a 500 px page, whose tables stack as a phone's do (below 600 px).
    const struct { QString path, name; int height[2]; /* at 1280 and 400 px wide */ } pages[] = {{"/", "gateway_page", {900, 1300}}, {"/meters/" + serials_[0], "gateway_meter_page", {3000, 5000}}};
    for (const auto &page : pages)
        for (const int width : {1280, 400}) {
            const QString file = shots.filePath(QStringLiteral("screenshots/%1_%2.png").arg(page.name).arg(width));
            QFile::remove(file);
            browse(page.path, {QStringLiteral("--window-size=%1,%2").arg(width).arg(page.height[width == 400]),
                               "--screenshot=" + file});
            QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
        }
}

void TestPageInBrowser::silencedMeterGoesOfflineOnTheOpenPage()
{
    // The overview open in a browser; its title tells of meters offline.
    const quint16 debugging = freePort();
    QProcess browser;
    browser.start(chromium_, headless() << QStringLiteral("--remote-debugging-port=%1").arg(debugging) << url("/"));
    QNetworkAccessManager network;
    const auto title = [&] { return testsupport::shownPage(network, debugging).title; };
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("page-test"), kWaitMs);
    QVERIFY(line_.sendCommand(QStringLiteral("unit=2 drop@all")));
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("1 offline · page-test"), kWaitMs);
}

QTEST_GUILESS_MAIN(TestPageInBrowser)
#include "test_page_in_browser.moc"
