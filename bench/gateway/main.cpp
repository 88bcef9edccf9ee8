// The gateway's costs, measured in one run:
//  (a) four units on one 9600-baud serial line (metersim on a pseudo-terminal,
//      pacing its answers at the rate), polled flat out: each meter's poll
//      time against the wire time of its bytes plus the gaps between frames
//      (goal <= 1.05);
//  (b) 100 simulated meters over TCP polled every 10 s by `ampwright-cli
//      serve`: its CPU share of one core and its resident memory after one
//      minute and at the end (goal < 2 % and flat);
//  (c) lossy lines against a clean one (see lossyLines);
//  (d) /metrics with 1 000 idle connections open against none: p50 and p99
//      (goal: p99 under 50 ms), see http_latency.cpp;
//  (e) a read through serve's Modbus TCP listener against the same read
//      straight to the meter (goal: <= 1 ms more at the median);
//  (f) serve's poll period on a shared 9600-baud line with a master reading
//      another unit flat out, against the setting (goal <= 1.25);
//  (g) 16 such masters: their latencies in turns of one request on the line,
//      see line_sharing.cpp;
//  (i) the page's load in headless chromium with 100 meters, see page_load.cpp.
//
//   bench_gateway [--line-seconds S] [--units U] [--minutes N] [--meters M] [--http-only]
//                 [--requests N] [--master-seconds S] [--sharing-only]
//                 [--page-only]
#include "links/plain_dispatcher.h"
#include "metersim_process.h"
#include "process_usage.h"
#include "test_paths.h"
#include "wire_count.h"
#include "api_latency.h"
#include "http_latency.h"
#include "line_sharing.h"
#include "page_load.h"
#include "tcp_meters.h"

#include "gateway/line_poller.h"
#include "modbus/transactions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool sharedLine(double seconds, int units)
{
    constexpr int kBaud = 9600;
    QStringList numbers;
    for (int unit = 1; unit <= units; ++unit)
        numbers << QString::number(unit);
    const QString unitList = numbers.join(u',');
    QTemporaryDir comDir;
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());
    testsupport::MeterSim sim;
    if (!sim.start({"--no-tcp", "--pty-link", comDir.filePath(QStringLiteral("COM1")), "--baud",
                    QString::number(kBaud), "--unit", unitList, "--noise", "1", "--seed", "1"})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    links::MeterAddress line;
    line.port = 1;
    line.baud = kBaud;
    std::vector<gateway::LinePoller::Meter> meters;
    for (int unit = 1; unit <= units; ++unit) {
        links::MeterAddress a = line;
        a.unit = unit;
        meters.push_back({unit, a});
    }
    // Every second: slower than the line, which so runs flat out.
    gateway::LinePoller poller(line, meters, {1000, 0}, QString(), QString(), nullptr, false);
    testsupport::WireCount wire;
    poller.setTrafficObserver(&wire);
    long long polls = 0, bytesAtFirst = 0, requestsAtFirst = 0;
    QElapsedTimer sinceFirst;
    QObject::connect(&poller, &gateway::LinePoller::meterRead, [&](int, const gateway::MeterState &) {
        if (polls++ == 0) {
            sinceFirst.start();
            bytesAtFirst = wire.bytes;
            requestsAtFirst = wire.requests;
        }
    });
    poller.start();
    pause(int(seconds * 1000));
    const double elapsedMs = double(sinceFirst.nsecsElapsed()) / 1e6;
    const long long measured = polls - 1; // the polls after the first one
    if (measured < 8) {
        std::printf("(a) shared line: only %lld polls answered\n", polls);
        return false;
    }
    const double floorMs = double(wire.bytes - bytesAtFirst) * 10.0 * 1000.0 / kBaud
                           + double(wire.requests - requestsAtFirst) * modbus::Transactions::kGapMs;
    std::printf("(a) %d units on one %d-baud line: %lld polls in %.1f s, %.1f ms a poll, wire time + gaps %.1f ms, "
                "ratio %.3f (goal <= 1.05)\n",
                units, kBaud, measured, elapsedMs / 1000, elapsedMs / double(measured), floorMs / double(measured),
                elapsedMs / floorMs);
    return true;
}

bool manyMeters(int count, double minutes)
{
    std::vector<std::unique_ptr<testsupport::MeterSim>> sims;
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("meters.txt"));
    if (!startTcpMeters(count, list, &sims))
        return false;
    QProcess serve;
    serve.setStandardOutputFile(QProcess::nullDevice());
    serve.setStandardErrorFile(dir.filePath(QStringLiteral("serve.log")));
    serve.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
                {"serve", "--meters", list, "--every", "10", "--lp-every", "0"});
    if (!serve.waitForStarted())
        return false;
    // The first minute connects and reads every meter's firmware; measure after it.
    pause(60'000);
    const double cpuAtMinute = testsupport::processCpuSeconds(serve.processId());
    const double rssAtMinute = testsupport::residentMiBOf(QString::number(serve.processId()));
    QElapsedTimer wall;
    wall.start();
    // Resident memory minute by minute: growth that levels off is warming
    // up, growth that goes on is a leak.
    QStringList perMinute{QString::number(rssAtMinute, 'f', 1)};
    double rss = rssAtMinute;
    for (int minute = 2; minute <= int(minutes); ++minute) {
        pause(60'000);
        rss = testsupport::residentMiBOf(QString::number(serve.processId()));
        perMinute << QString::number(rss, 'f', 1);
    }
    const double cpu = testsupport::processCpuSeconds(serve.processId()) - cpuAtMinute;
    const double seconds = double(wall.elapsed()) / 1000.0;
    serve.terminate();
    serve.waitForFinished(5000);
    QFile log(dir.filePath(QStringLiteral("serve.log")));
    log.open(QIODevice::ReadOnly);
    const QByteArray text = log.readAll();
    const long long online = text.count(": online");
    const long long offline = text.count(": offline");
    std::printf("(b) %d TCP meters every 10 s: %lld went online, %lld offline events; CPU %.2f %% of one core "
                "over %.0f s (goal < 2 %%); resident memory %.1f MiB after 1 min, %.1f MiB after %.0f min "
                "(growth %.2f MiB; by minute %s)\n",
                count, online, offline, 100.0 * cpu / seconds, seconds, rssAtMinute, rss, minutes, rss - rssAtMinute,
                qPrintable(perMinute.join(u' ')));
    return cpu >= 0 && online == count;
}

bool lossyLines(double seconds)
{
    // A clean line, one losing 1 answer in 20, one losing 1 in 4: each a
    // simulated TCP meter of its own, each line on a thread of its own as
    // serve runs them.
    const QStringList faults{{}, QStringLiteral("drop@every=20"), QStringLiteral("drop@every=4")};
    struct Line {
        testsupport::MeterSim sim;
        QThread thread;
        gateway::LinePoller *poller = nullptr;
        long long states = 0;
    };
    Line lines[3];
    for (int i = 0; i < 3; ++i) {
        Line &line = lines[i];
        QStringList args{"--unit", "1", "--noise", "1", "--seed", QString::number(i + 1)};
        if (!faults[i].isEmpty())
            args << "--fault" << faults[i];
        if (!line.sim.start(args)) {
            std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(line.sim.errorString()));
            return false;
        }
        links::MeterAddress a;
        a.rtu = false;
        a.host = line.sim.tcpAddress();
        a.tcpPort = line.sim.tcpPort();
        a.unit = 1;
        a.tcpPauseMs = 0;
        line.poller = new gateway::LinePoller(a, {{i, a}}, {2000, 0}, QString(), QString(), nullptr, false);
        line.poller->moveToThread(&line.thread);
        QObject::connect(&line.thread, &QThread::started, line.poller, &gateway::LinePoller::start);
        QObject::connect(line.poller, &gateway::LinePoller::meterRead, qApp,
                         [&line](int, const gateway::MeterState &) { ++line.states; }, Qt::QueuedConnection);
    }
    for (Line &line : lines)
        line.thread.start();
    pause(int(seconds * 1000));
    for (Line &line : lines)
        line.poller->stop();
    // A stop ends the request under way: within one answer wait.
    pause(modbus::Transactions::kAnswerWaitMs + 500);
    for (Line &line : lines) {
        line.thread.quit();
        line.thread.wait();
        delete line.poller;
    }
    const double clean = double(std::max(1LL, lines[0].states));
    std::printf("(c) lossy lines every 2 s for %.0f s: states published on a line losing 1 answer in 20 / on a "
                "clean line: %lld / %lld = %.3f (goal >= 0.95); losing 1 in 4: %lld / %lld = %.3f (goal > 0)\n",
                seconds, lines[1].states, lines[0].states, double(lines[1].states) / clean, lines[2].states,
                lines[0].states, double(lines[2].states) / clean);
    return lines[0].states > 0;
}

double option(const QStringList &args, const char *name, double fallback)
{
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toDouble() : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    links::preferPlainEventDispatcher(); // as the program does
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QLatin1String("--http-only")))
        return metricsLatency(1000, 300, 100) ? 0 : 1;
    if (args.contains(QLatin1String("--api-only")))
        return apiLatency(100) ? 0 : 1;
    if (args.contains(QLatin1String("--page-only")))
        return pageLoad(int(option(args, "--meters", 100))) ? 0 : 1;
    const int requests = int(option(args, "--requests", 500));
    const double masterSeconds = option(args, "--master-seconds", 60);
    if (args.contains(QLatin1String("--sharing-only"))) {
        bool ok = listenerCost(requests);
        std::fflush(stdout);
        return sharedLinePolls(masterSeconds) && ok ? 0 : 1;
    }
    bool ok = metricsLatency(1000, 300, 100);
    ok = apiLatency(100) && ok;
    ok = listenerCost(requests) && ok;
    std::fflush(stdout);
    ok = sharedLinePolls(masterSeconds) && ok;
    std::fflush(stdout);
    ok = sharedLine(option(args, "--line-seconds", 60), int(option(args, "--units", 4))) && ok;
    std::fflush(stdout);
    if (const double lossy = option(args, "--lossy-seconds", 120); lossy > 0)
        ok = lossyLines(lossy) && ok;
    std::fflush(stdout);
    ok = pageLoad(int(option(args, "--meters", 100))) && ok;
    std::fflush(stdout);
    const double minutes = option(args, "--minutes", 10);
    if (minutes > 1)
        ok = manyMeters(int(option(args, "--meters", 100)), minutes) && ok;
    return ok ? 0 : 1;
}
