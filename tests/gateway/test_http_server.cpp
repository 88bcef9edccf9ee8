// The gateway's HTTP server against peers that misbehave: a thousand idle
// or half-sent connections while /metrics is asked for, a request that never
// completes (or drips in), garbage, and more connections than its limit.

#include "gateway/http_server.h"
#include "loopback_socket.h"
#include "metrics_scrape.h"

#include <QTest>

#include <sys/socket.h>
#include <poll.h>
#include <unistd.h>

using gateway::HttpLimits;
using gateway::HttpServer;
using testsupport::connectTo;
using testsupport::scrapeMetrics; // the body, empty without an answer

namespace {

bool sendText(int fd, const QByteArray &text)
{
    return ::send(fd, text.data(), std::size_t(text.size()), MSG_NOSIGNAL) == text.size();
}

struct Received {
    QByteArray bytes;
    bool closed = false; // by the server
};

// What arrives until the server closes the connection, or waitMs of silence.
Received readUntilClosed(int fd, int waitMs)
{
    Received got;
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    while (::poll(&p, 1, waitMs) > 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {got.bytes, true};
        got.bytes.append(buffer, n);
    }
    return got;
}

std::unique_ptr<HttpServer> serve(unsigned requestSeconds, unsigned maxConnections = 2048)
{
    auto server = std::make_unique<HttpServer>(HttpLimits{maxConnections, requestSeconds});
    server->route("/metrics", [](const gateway::HttpRequest &) {
        return gateway::HttpResponse{200, "text/plain", "up 1\n"};
    });
    QString error;
    return server->listen(QStringLiteral("127.0.0.1"), 0, &error) ? std::move(server) : nullptr;
}

} // namespace

class TestHttpServer : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void metricsWhileAThousandConnectionsIdle();
    void slowRequestIsClosed_data();
    void slowRequestIsClosed();
    void connectionsBeyondTheLimitAreRefused();
};

void TestHttpServer::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine"); // empty: none
    QTest::addColumn<bool>("closes");            // though the request did not ask

    const QByteArray host = " HTTP/1.1\r\nHost: a\r\n";
    QTest::newRow("metrics") << "GET /metrics" + host + "\r\n" << QByteArray("HTTP/1.1 200 OK") << false;
    QTest::newRow("unknown path") << "GET /admin" + host + "\r\n" << QByteArray("HTTP/1.1 404") << false;
    QTest::newRow("get with a body") << "GET /metrics" + host + "Content-Length: 3\r\n\r\nabc"
                                     << QByteArray("HTTP/1.1 200 OK") << false;
    QTest::newRow("post") << "POST /metrics" + host + "Content-Length: 3\r\n\r\nabc" << QByteArray("HTTP/1.1 405")
                          << true;
    QTest::newRow("one word") << QByteArray("HELLO\r\n\r\n") << QByteArray() << true;
    QTest::newRow("two words") << QByteArray("HELLO THERE\r\n\r\n") << QByteArray("HTTP/1.1 400") << true;
    QTest::newRow("binary") << QByteArray::fromHex("160301020020fc0d0a0d0a") << QByteArray("HTTP/1.1 400") << true;
    QTest::newRow("bad header") << "GET /metrics" + host + "no colon\r\n\r\n" << QByteArray("HTTP/1.1 400") << true;
    QTest::newRow("header too long") << "GET /metrics" + host + "X: " + QByteArray(40000, 'a') + "\r\n\r\n"
                                     << QByteArray("HTTP/1.1 431") << true;
}

void TestHttpServer::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(bool, closes);
    const auto server = serve(3);
    QVERIFY(server);
    const int fd = connectTo(server->port());
    QVERIFY(sendText(fd, request));
    const Received got = readUntilClosed(fd, closes ? 10000 : 1000);
    ::close(fd);
    QVERIFY2(got.bytes.startsWith(statusLine) && (!statusLine.isEmpty() || got.bytes.isEmpty()), got.bytes);
    QCOMPARE(got.bytes.endsWith("\r\n\r\nup 1\n"), statusLine.endsWith("200 OK") && request.startsWith("GET"));
    QCOMPARE(got.closed, closes);
}

void TestHttpServer::metricsWhileAThousandConnectionsIdle()
{
    const auto server = serve(60); // they stay for the whole test
    QVERIFY(server);
    std::vector<int> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.push_back(connectTo(server->port()));
        QVERIFY2(idle.back() >= 0, qPrintable(QStringLiteral("connection %1: %2").arg(i).arg(qt_error_string())));
        // A third sends half a request, as a stuck proxy does.
        if (i % 3 == 0)
            QVERIFY(sendText(idle.back(), "GET /metrics HTTP/1.1\r\nHost: 127."));
    }
    for (int i = 0; i < 5; ++i)
        QVERIFY(scrapeMetrics(server->port()) == "up 1\n");
    for (int fd : idle)
        ::close(fd);
}

void TestHttpServer::slowRequestIsClosed_data()
{
    QTest::addColumn<int>("dripMs"); // a byte every dripMs; 0: all but the end, then silence
    QTest::newRow("half a request") << 0;
    QTest::newRow("drips in") << 200;
}

void TestHttpServer::slowRequestIsClosed()
{
    QFETCH(int, dripMs);
    const auto server = serve(1);
    QVERIFY(server);
    const int fd = connectTo(server->port());
    // Each byte well within the idle time, or half at once; the whole request never.
    const QByteArray request = "GET /metrics HTTP/1.1\r\nHost: a\r\nX-Slow: " + QByteArray(100, 'a');
    const qsizetype step = dripMs ? 1 : request.size();
    Received got;
    for (qsizetype i = 0; i < request.size() && !got.closed && sendText(fd, request.mid(i, step)); i += step)
        got = readUntilClosed(fd, dripMs ? dripMs : 6000);
    ::close(fd);
    QVERIFY2(got.closed && got.bytes.isEmpty(), got.bytes);
    QVERIFY(scrapeMetrics(server->port()) == "up 1\n");
}

void TestHttpServer::connectionsBeyondTheLimitAreRefused()
{
    const auto server = serve(60, 8);
    QVERIFY(server);
    std::vector<int> idle;
    for (int i = 0; i < 8; ++i)
        idle.push_back(connectTo(server->port()));
    // Until one of them ends, a ninth is closed without an answer.
    QCOMPARE(scrapeMetrics(server->port()), QString());
    ::close(idle.back());
    idle.pop_back();
    QTRY_VERIFY_WITH_TIMEOUT(scrapeMetrics(server->port()) == "up 1\n", 5000);
    for (int fd : idle)
        ::close(fd);
}

QTEST_GUILESS_MAIN(TestHttpServer)
#include "test_http_server.moc"
