#include "page_load.h"

#include "free_port.h"
#include "headless_chromium.h"
#include "http_get.h"
#include "tcp_meters.h"
#include "test_paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString kName = QStringLiteral("page-bench");
constexpr int kRuns = 5;
constexpr int kWaitMs = 30000;

int onlineMeters(quint16 port)
{
    const QJsonArray meters = QJsonDocument::fromJson(testsupport::httpRequest(port, "GET /api/meters").body).array();
    return int(std::count_if(meters.begin(), meters.end(), [](const QJsonValue &m) { return m[u"online"].toBool(); }));
}

// ms from chromium's start at url until shown(page) holds; -1 when it never did.
double untilShown(const QString &chromium, const QString &profile, const QString &url,
                  const std::function<bool(const testsupport::ShownPage &)> &shown)
{
    const quint16 debugging = quint16(testsupport::freePort());
    QProcess browser;
    QNetworkAccessManager network;
    QElapsedTimer took;
    took.start();
    browser.start(chromium, testsupport::headlessChromium(profile)
                                << QStringLiteral("--remote-debugging-port=%1").arg(debugging) << url);
    double ms = -1;
    while (took.elapsed() < kWaitMs) {
        if (shown(testsupport::shownPage(network, debugging, 1000))) {
            ms = double(took.nsecsElapsed()) / 1e6;
            break;
        }
        QTest::qWait(5);
    }
    browser.terminate();
    if (!browser.waitForFinished(5000)) {
        browser.kill();
        browser.waitForFinished(5000);
    }
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

bool pageLoad(int count)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        std::printf("(i) skipped: chromium is not installed (Debian package chromium)\n");
        return true;
    }
    // The meters and serve as (b) has them, with the HTTP server.
    std::vector<std::unique_ptr<testsupport::MeterSim>> sims;
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("meters.txt"));
    if (!startTcpMeters(count, list, &sims))
        return false;
    const quint16 port = quint16(testsupport::freePort());
    QProcess serve;
    serve.setStandardOutputFile(QProcess::nullDevice());
    serve.setStandardErrorFile(dir.filePath(QStringLiteral("serve.log")));
    serve.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
                {"serve", "--meters", list, "--every", "10", "--lp-every", "0", "--name", kName,
                 "--http", QStringLiteral("127.0.0.1:%1").arg(port)});
    if (!serve.waitForStarted())
        return false;
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (!QTest::qWaitFor([&] { return onlineMeters(port) == count; }, 120000)) {
        std::fprintf(stderr, "(i) %d of %d meters online after 2 min\n", onlineMeters(port), count);
        return false;
    }
    const double onlineAfter = double(sinceStart.elapsed()) / 1000.0;

    // The page's title is set after each refresh has filled the tables; with
    // every meter online it is the gateway's name alone.
    const QString page = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    std::vector<double> blank, full;
    for (int run = 0; run < kRuns; ++run) {
        blank.push_back(untilShown(chromium, dir.filePath(QStringLiteral("blank%1").arg(run)), QStringLiteral("about:blank"),
                                   [](const testsupport::ShownPage &p) { return p.url == QLatin1String("about:blank"); }));
        full.push_back(untilShown(chromium, dir.filePath(QStringLiteral("page%1").arg(run)), page,
                                  [](const testsupport::ShownPage &p) { return p.title == kName; }));
    }
    // Once more the page as chromium made it: one row a meter.
    QProcess dump;
    dump.start(chromium, testsupport::headlessChromium(dir.filePath(QStringLiteral("dump")))
                             << "--virtual-time-budget=4000" << "--dump-dom" << page);
    dump.waitForFinished(kWaitMs);
    const long long rows = dump.readAllStandardOutput().count("data-serial=\"");

    const qsizetype slash = testsupport::httpRequest(port, "GET /").body.size();
    const qsizetype api = testsupport::httpRequest(port, "GET /api/meters").body.size();
    qsizetype statics = 0;
    for (const QByteArray file : {"/static/common.js", "/static/gateway.js", "/static/page.css"})
        statics += testsupport::httpRequest(port, "GET " + file).body.size();
    serve.terminate();
    serve.waitForFinished(5000);

    const bool failed = std::count(blank.begin(), blank.end(), -1.0) + std::count(full.begin(), full.end(), -1.0) > 0;
    const double toBlank = median(blank), toPage = median(full);
    QStringList each;
    for (int run = 0; run < kRuns; ++run)
        each << QStringLiteral("%1/%2").arg(full[std::size_t(run)], 0, 'f', 0).arg(blank[std::size_t(run)], 0, 'f', 0);
    std::printf("(i) the page with %d TCP meters (all online after %.1f s): chromium's start until `/` shows them "
                "all, median of %d %.0f ms, until about:blank %.0f ms: %.0f ms beyond the browser's own start "
                "(runs page/blank: %s); %lld rows in the dumped page; `/` %lld bytes, /api/meters %lld bytes, "
                "its scripts and style sheet %lld bytes\n",
                count, onlineAfter, kRuns, toPage, toBlank, toPage - toBlank, qPrintable(each.join(u' ')), rows,
                (long long)slash, (long long)api, (long long)statics);
    return !failed && rows == count;
}
