// (e), (f) and (g) of bench_gateway: masters on a line that `ampwright-cli
// serve` shares through a Modbus TCP listener.
//
// Each master is a small Modbus TCP client on the event loop: it sends a read
// of holding registers 0x1000 on, and the next one as soon as the answer is
// whole (or a set time after it), and keeps each request's time from its
// write to its whole answer.
#include "line_sharing.h"

#include "metersim_process.h"
#include "metrics_scrape.h"
#include "test_paths.h"

#include "modbus/transactions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr quint16 kFirstRegister = 0x1000;

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds or timeoutMs pass; done() then.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        waitMs(5);
    return done();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The p-th quantile (0..1) of values, the nearest rank.
double quantile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::max(1.0, std::ceil(p * double(values.size()))));
    return values[std::min(rank, values.size()) - 1];
}

class Master : public QObject {
public:
    // count registers of unit at host:port; spacingMs after each answer
    // before the next request; limit: answers wanted (0: until stop()).
    Master(const QString &host, quint16 port, int unit, int count, int spacingMs = 0, int limit = 0)
        : host_(host), port_(port), unit_(unit), count_(count), spacingMs_(spacingMs), limit_(limit)
    {
        clock_.start();
        connect(&socket_, &QTcpSocket::connected, this, &Master::send);
        connect(&socket_, &QTcpSocket::readyRead, this, &Master::read);
        connect(&socket_, &QTcpSocket::errorOccurred, this, [this] { broken_ = broken_ || !stopped_; });
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }

    void start() { socket_.connectToHost(host_, port_); }
    // Sends no more and leaves: the listener takes masters up to a limit.
    void stop()
    {
        stopped_ = true;
        socket_.disconnectFromHost();
    }
    bool done() const { return broken_ || (limit_ > 0 && int(ms.size()) + exceptions >= limit_); }
    bool broken() const { return broken_; }

    std::vector<double> ms; // each answered request's time, write to whole answer
    int exceptions = 0;

private:
    void send()
    {
        if (stopped_ || done())
            return;
        ++transaction_;
        const char frame[] = {char(transaction_ >> 8), char(transaction_ & 0xFF), 0, 0, 0, 6, char(unit_), 3,
                              char(kFirstRegister >> 8), char(kFirstRegister & 0xFF), char(count_ >> 8),
                              char(count_ & 0xFF)};
        sentNs_ = clock_.nsecsElapsed();
        socket_.write(frame, sizeof frame);
    }

    void read()
    {
        buffer_ += socket_.readAll();
        while (buffer_.size() >= 6) {
            const int length = (quint8(buffer_[4]) << 8 | quint8(buffer_[5])) + 6;
            if (buffer_.size() < length)
                return;
            const QByteArray frame = buffer_.left(length);
            buffer_.remove(0, length);
            const bool mine = (quint8(frame[0]) << 8 | quint8(frame[1])) == transaction_;
            if (!mine || frame.size() < 8 || (quint8(frame[7]) & 0x80))
                ++exceptions;
            else
                ms.push_back(double(clock_.nsecsElapsed() - sentNs_) / 1e6);
            if (spacingMs_ > 0)
                QTimer::singleShot(spacingMs_, this, &Master::send);
            else
                send();
        }
    }

    QTcpSocket socket_;
    QString host_;
    quint16 port_;
    int unit_, count_, spacingMs_, limit_;
    QElapsedTimer clock_;
    qint64 sentNs_ = 0;
    quint16 transaction_ = 0;
    QByteArray buffer_;
    bool stopped_ = false, broken_ = false;
};

// `ampwright-cli serve` as a child, its standard error kept.
class Serve {
public:
    ~Serve()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished(10000);
        }
    }

    bool start(const QString &meters, const QStringList &options, const QString &comDir, const QString &ready)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!comDir.isEmpty())
            environment.insert(QStringLiteral("AMPWRIGHT_COM_DIR"), comDir);
        process_.setProcessEnvironment(environment);
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { log_ += QString::fromLocal8Bit(process_.readAllStandardError()); });
        process_.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
                       QStringList{"serve", "--meters", meters} + options);
        if (process_.waitForStarted() && waitFor([&] { return log_.contains(ready); }, 20000))
            return true;
        std::fprintf(stderr, "serve did not get ready (\"%s\"):\n%s\n", qPrintable(ready), qPrintable(log_));
        return false;
    }

private:
    QProcess process_;
    QString log_;
};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return file.fileName();
}

// One master's requests, the first ones (connecting, warming up) left out.
struct Timing {
    double median = 0, p99 = 0;
};

bool timeMaster(const QString &host, quint16 port, int requests, int spacingMs, Timing *timing)
{
    constexpr int kWarmUp = 20;
    Master master(host, port, 1, 4, spacingMs, requests + kWarmUp);
    master.start();
    if (!waitFor([&] { return master.done(); }, 120000) || master.broken() || master.exceptions > 0) {
        std::printf("(e) a master on port %u: %zu answers, %d exceptions%s\n", port, master.ms.size(),
                    master.exceptions, master.broken() ? ", connection broken" : "");
        return false;
    }
    const std::vector<double> measured(master.ms.begin() + kWarmUp, master.ms.end());
    *timing = {quantile(measured, 0.5), quantile(measured, 0.99)};
    return true;
}

// The distinct last-poll times of meter that /metrics gave while the event
// loop ran for ms, polled four times a second.
std::vector<double> pollTimes(quint16 metricsPort, const QString &meter, int ms)
{
    const QString series = QStringLiteral("ampwright_meter_last_poll_timestamp_seconds{meter=\"%1\"}").arg(meter);
    std::vector<double> times;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        const double t = testsupport::metricSamples(testsupport::scrapeMetrics(metricsPort)).value(series).toDouble();
        if (t > 0 && (times.empty() || t != times.back()))
            times.push_back(t);
        waitMs(250);
    }
    return times;
}

// "mean 2.004 s (ratio 1.002), longest 2.010 s (1.005) over N periods".
QString periodText(const std::vector<double> &times, double everyS, double *meanRatio)
{
    if (times.size() < 3) {
        *meanRatio = 0;
        return QStringLiteral("too few polls (%1)").arg(times.size());
    }
    // The first period may have begun before the phase.
    double longest = 0;
    for (std::size_t i = 2; i < times.size(); ++i)
        longest = std::max(longest, times[i] - times[i - 1]);
    const double mean = (times.back() - times[1]) / double(times.size() - 2);
    *meanRatio = mean / everyS;
    return QStringLiteral("mean %1 s (ratio %2), longest %3 s (%4) over %5 periods")
        .arg(mean, 0, 'f', 3)
        .arg(mean / everyS, 0, 'f', 3)
        .arg(longest, 0, 'f', 3)
        .arg(longest / everyS, 0, 'f', 3)
        .arg(times.size() - 2);
}

} // namespace

bool listenerCost(int requests)
{
    testsupport::MeterSim sim;
    if (!sim.start({"--unit", "1"})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    QTemporaryDir dir;
    const quint16 listenPort = freePort();
    const QString meters = writeFile(dir, QStringLiteral("meters.txt"),
                                     QStringLiteral("listen=127.0.0.1:%1 tcp=%2:%3\n")
                                         .arg(listenPort).arg(sim.tcpAddress()).arg(sim.tcpPort()));
    Serve serve;
    if (!serve.start(meters, {}, QString(), QStringLiteral("masters share line")))
        return false;
    bool ok = true;
    // Back to back, the line's gap after each answer lies in every request
    // through the gateway; spaced beyond it, what is left is the gateway's own.
    for (const int spacingMs : {0, 2 * modbus::Transactions::kGapMs}) {
        Timing direct, through;
        if (!timeMaster(sim.tcpAddress(), sim.tcpPort(), requests, spacingMs, &direct)
            || !timeMaster(QStringLiteral("127.0.0.1"), listenPort, requests, spacingMs, &through)) {
            ok = false;
            continue;
        }
        std::printf("(e) %d reads of 4 registers, %s: straight to the meter p50 %.3f ms, p99 %.3f ms; through the "
                    "listener p50 %.3f ms, p99 %.3f ms; the gateway's part p50 %.3f ms, p99 %.3f ms%s\n",
                    requests, spacingMs ? qPrintable(QStringLiteral("%1 ms apart").arg(spacingMs)) : "back to back",
                    direct.median, direct.p99, through.median, through.p99, through.median - direct.median,
                    through.p99 - direct.p99,
                    spacingMs ? " (goal <= 1 ms at p50)"
                              : qPrintable(QStringLiteral(" (of which the line's gap of %1 ms after each answer)")
                                               .arg(modbus::Transactions::kGapMs)));
    }
    return ok;
}

bool sharedLinePolls(double masterSeconds)
{
    constexpr int kBaud = 9600;
    constexpr int kEveryS = 2;
    constexpr int kCount = 20; // registers a master reads
    constexpr int kMasters = 16;
    QTemporaryDir dir;
    testsupport::MeterSim sim;
    if (!sim.start({"--no-tcp", "--pty-link", dir.filePath(QStringLiteral("COM1")), "--baud", QString::number(kBaud),
                    "--unit", "1,2"})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    const quint16 listenPort = freePort();
    const quint16 metricsPort = freePort();
    const QString meters = writeFile(dir, QStringLiteral("meters.txt"),
                                     QStringLiteral("rtu=1 unit=1 baud=%1\nlisten=127.0.0.1:%2 rtu=1 baud=%1\n")
                                         .arg(kBaud).arg(listenPort));
    Serve serve;
    if (!serve.start(meters,
                     {"--every", QString::number(kEveryS), "--lp-every", "0", "--metrics",
                      QStringLiteral("127.0.0.1:%1").arg(metricsPort)},
                     dir.path(), QStringLiteral("): online")))
        return false;
    const QString meter = sim.unitSerials().value(1);
    const int phaseMs = int(masterSeconds * 1000);

    double alone = 0, withOne = 0, withMany = 0;
    const QString aloneText = periodText(pollTimes(metricsPort, meter, phaseMs / 2), kEveryS, &alone);

    Master one(QStringLiteral("127.0.0.1"), listenPort, 2, kCount);
    one.start();
    const QString oneText = periodText(pollTimes(metricsPort, meter, phaseMs), kEveryS, &withOne);
    one.stop();
    waitFor([&] { return false; }, 500); // its last answer

    std::vector<std::unique_ptr<Master>> many;
    for (int m = 0; m < kMasters; ++m) {
        many.push_back(std::make_unique<Master>(QStringLiteral("127.0.0.1"), listenPort, 2, kCount));
        many.back()->start();
    }
    const QString manyText = periodText(pollTimes(metricsPort, meter, phaseMs / 2), kEveryS, &withMany);
    for (auto &m : many)
        m->stop();
    waitFor([&] { return false; }, 1000);

    std::printf("(f) serve's polls of unit 1 every %d s on a %d-baud line: alone %s; with a master reading %d "
                "registers of unit 2 flat out (%zu reads in %.0f s, p50 %.1f ms) %s (goal <= 1.25); with %d masters "
                "%s\n",
                kEveryS, kBaud, qPrintable(aloneText), kCount, one.ms.size(), masterSeconds,
                quantile(one.ms, 0.5), qPrintable(oneText), kMasters, qPrintable(manyText));

    // One request's turn on the line: its bytes on the wire and the gap after
    // the answer before the next request.
    const double turnMs = double(8 + 5 + 2 * kCount) * 10.0 * 1000.0 / kBaud + modbus::Transactions::kGapMs;
    std::vector<double> all;
    std::size_t fewest = SIZE_MAX, most = 0;
    int exceptions = 0, broken = 0;
    for (const auto &m : many) {
        all.insert(all.end(), m->ms.begin(), m->ms.end());
        fewest = std::min(fewest, m->ms.size());
        most = std::max(most, m->ms.size());
        exceptions += m->exceptions;
        broken += m->broken() ? 1 : 0;
    }
    std::printf("(g) %d masters reading unit 2 flat out for %.0f s while serve polls unit 1: %zu answers (%zu to %zu "
                "a master), %d exceptions, %d connections broken; a request's turn %.1f ms (wire + gap); latency "
                "p50 %.0f ms = %.1f turns, p99 %.0f ms = %.1f turns, max %.0f ms = %.1f turns\n",
                kMasters, masterSeconds / 2, all.size(), fewest, most, exceptions, broken, turnMs,
                quantile(all, 0.5), quantile(all, 0.5) / turnMs, quantile(all, 0.99), quantile(all, 0.99) / turnMs,
                quantile(all, 1.0), quantile(all, 1.0) / turnMs);
    return fewest > 0 && broken == 0 && !one.ms.empty();
}
