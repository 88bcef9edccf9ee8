// (d) of bench_gateway: /metrics of the gateway's HTTP server, with the
// series of 100 meters, asked for 300 times with no other connection and
// then with 1 000 idle ones open (a third of them with half a request
// sent): the latency's median and 99th percentile of both, and their ratio.
#include "http_latency.h"

#include "gateway/http_server.h"
#include "gateway/prometheus_exporter.h"
#include "loopback_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::connectTo;

// One GET /metrics on a new connection, as a scraper without keep-alive
// does: milliseconds to the whole answer; negative when it failed.
double scrape(quint16 port)
{
    const auto start = Clock::now();
    const int fd = connectTo(port);
    if (fd < 0)
        return -1;
    static const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char buffer[65536];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, std::size_t(n));
        }
    }
    ::close(fd);
    if (answer.rfind("HTTP/1.1 200", 0) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    double p50 = 0, p99 = 0;
    bool ok = false;
};

Figures measure(quint16 port, int requests)
{
    std::vector<double> ms;
    for (int i = 0; i < requests; ++i) {
        const double took = scrape(port);
        if (took < 0)
            return {};
        ms.push_back(took);
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))]; };
    return {at(0.5), at(0.99), true};
}

} // namespace

bool metricsLatency(int idleConnections, int requests, int meters)
{
    gateway::MeterMetrics metrics;
    meter::Reading reading;
    reading.firmwareNumber = 3705;
    meter::Samples samples;
    for (int q = 0; q < meter::kQuantityCount; ++q)
        samples.push_back({meter::Q(q), 100.0 + q});
    reading.store(samples, 1'700'000'000'000);
    for (int m = 0; m < meters; ++m) {
        const QString serial = QStringLiteral("M%1").arg(m, 4, 10, QLatin1Char('0'));
        metrics.updateReading(serial, reading, 0);
        metrics.setInfo(serial, {QStringLiteral("3705"), QStringLiteral("rtu=1"), m % 247 + 1});
    }
    gateway::HttpLimits limits;
    limits.requestSeconds = 600; // the idle ones stay for the run
    gateway::HttpServer server(limits);
    metrics.serveOn(server);
    QString error;
    if (!server.listen(QStringLiteral("127.0.0.1"), 0, &error)) {
        std::printf("(d) HTTP server: %s\n", qPrintable(error));
        return false;
    }
    const std::size_t bytes = metrics.text().size();
    const Figures quiet = measure(server.port(), requests);
    std::vector<int> idle;
    for (int i = 0; i < idleConnections; ++i) {
        const int fd = connectTo(server.port());
        if (fd < 0)
            break;
        if (i % 3 == 0)
            ::send(fd, "GET /metrics HTTP/1.1\r\nHost: 12", 31, MSG_NOSIGNAL);
        idle.push_back(fd);
    }
    const Figures busy = measure(server.port(), requests);
    for (int fd : idle)
        ::close(fd);
    if (!quiet.ok || !busy.ok || int(idle.size()) != idleConnections) {
        std::printf("(d) /metrics: not every request was answered (%zu idle connections opened)\n", idle.size());
        return false;
    }
    std::printf("(d) /metrics of %d meters (%zu bytes), %d requests each: p50 %.2f ms, p99 %.2f ms with no other "
                "connection; p50 %.2f ms, p99 %.2f ms with %d idle connections open; p99 ratio %.2f (goal: p99 "
                "under 50 ms)\n",
                meters, bytes, requests, quiet.p50, quiet.p99, busy.p50, busy.p99, idleConnections,
                busy.p99 / quiet.p99);
    return busy.p99 < 50.0;
}
