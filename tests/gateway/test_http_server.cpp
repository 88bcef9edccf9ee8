// The gateway's HTTP server against peers that misbehave: a thousand idle
// or half-sent connections while /metrics is asked for, a request that never
// completes (or drips in), garbage, and more connections than its limit.

#include "gateway/http_server.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

using gateway::HttpLimits;
using gateway::HttpServer;

namespace {

// A plain blocking client socket connected to the server; -1 when not.
int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendText(int fd, const std::string &text)
{
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
}

struct Received {
    std::string bytes;
    bool closed = false; // the server closed (or reset) the connection
};

// What arrives until the server closes the connection or waitMs pass.
Received readUntilClosed(int fd, int waitMs)
{
    Received got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
            return got;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            got.closed = true;
            return got;
        }
        got.bytes.append(buffer, std::size_t(n));
    }
}

// GET path on a connection of its own, closed by the server after the answer.
Received get(quint16 port, const std::string &path)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return {};
    sendText(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    Received got = readUntilClosed(fd, 10000);
    ::close(fd);
    return got;
}

struct Sockets {
    std::vector<int> fds;
    ~Sockets()
    {
        for (int fd : fds)
            ::close(fd);
    }
};

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

private:
    std::unique_ptr<HttpServer> serve(HttpLimits limits)
    {
        auto server = std::make_unique<HttpServer>(limits);
        server->route("/metrics", [](const gateway::HttpRequest &) {
            return gateway::HttpResponse{200, "text/plain; version=0.0.4", "up 1\n"};
        });
        QString error;
        if (!server->listen(QStringLiteral("127.0.0.1"), 0, &error)) {
            qWarning("%s", qPrintable(error));
            return nullptr;
        }
        return server;
    }
};

void TestHttpServer::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine"); // empty: no answer
    QTest::addColumn<bool>("body");  // "up 1" follows
    QTest::addColumn<bool>("closes"); // even though the request did not ask

    QTest::newRow("metrics") << QByteArray("GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n") << QByteArray("HTTP/1.1 200")
                             << true << false;
    QTest::newRow("query ignored") << QByteArray("GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\n\r\n")
                                   << QByteArray("HTTP/1.1 200") << true << false;
    QTest::newRow("head") << QByteArray("HEAD /metrics HTTP/1.1\r\nHost: a\r\n\r\n") << QByteArray("HTTP/1.1 200")
                          << false << false;
    QTest::newRow("unknown path") << QByteArray("GET /admin HTTP/1.1\r\nHost: a\r\n\r\n")
                                  << QByteArray("HTTP/1.1 404") << false << false;
    QTest::newRow("get with a body") << QByteArray("GET /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc")
                                     << QByteArray("HTTP/1.1 200") << true << false;
    QTest::newRow("post") << QByteArray("POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc")
                          << QByteArray("HTTP/1.1 405") << false << true;
    // Not a request line at all: closed without a word.
    QTest::newRow("one word") << QByteArray("HELLO\r\n\r\n") << QByteArray() << false << true;
    QTest::newRow("two words") << QByteArray("HELLO THERE\r\n\r\n") << QByteArray("HTTP/1.1 400") << false << true;
    QTest::newRow("bad version") << QByteArray("GET /metrics HTTP/7.0\r\n\r\n") << QByteArray("HTTP/1.1 505") << false << true;
    QTest::newRow("json") << QByteArray("{\"a\": 1}\r\n\r\n") << QByteArray("HTTP/1.1 400") << false << true;
    static const char binary[] = "\x16\x03\x01\x02\x00 \x01\xfc\r\n\r\n";
    QTest::newRow("binary") << QByteArray(binary, sizeof binary - 1) << QByteArray("HTTP/1.1 400") << false << true;
    QTest::newRow("bad header") << QByteArray("GET /metrics HTTP/1.1\r\nno colon here\r\n\r\n")
                                << QByteArray("HTTP/1.1 400") << false << true;
    QTest::newRow("header too long") << QByteArray("GET /metrics HTTP/1.1\r\nX: " + QByteArray(40000, 'a') + "\r\n\r\n")
                                     << QByteArray("HTTP/1.1 431") << false << true;
}

void TestHttpServer::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(bool, body);
    QFETCH(bool, closes);
    HttpLimits limits;
    limits.requestSeconds = 2;
    const auto server = serve(limits);
    QVERIFY(server);
    const int fd = connectTo(server->port());
    QVERIFY(fd >= 0);
    sendText(fd, request.toStdString());
    // A kept-alive connection stays open until the server's idle time ends.
    const Received got = readUntilClosed(fd, closes ? 10000 : 1000);
    ::close(fd);
    if (statusLine.isEmpty())
        QVERIFY2(got.bytes.empty(), got.bytes.c_str());
    else
        QVERIFY2(QByteArray::fromStdString(got.bytes).startsWith(statusLine), got.bytes.c_str());
    QCOMPARE(QByteArray::fromStdString(got.bytes).endsWith("\r\n\r\nup 1\n"), body);
    if (closes)
        QVERIFY2(got.closed, "the connection stays open");
    else
        QVERIFY2(!got.closed, "closed though kept alive");
}

void TestHttpServer::metricsWhileAThousandConnectionsIdle()
{
    HttpLimits limits;
    limits.requestSeconds = 60; // they stay for the whole test
    const auto server = serve(limits);
    QVERIFY(server);
    Sockets idle;
    for (int i = 0; i < 1000; ++i) {
        const int fd = connectTo(server->port());
        QVERIFY2(fd >= 0, qPrintable(QStringLiteral("connection %1: %2").arg(i).arg(qt_error_string())));
        idle.fds.push_back(fd);
        // A third sends half a request, as a stuck proxy does.
        if (i % 3 == 0)
            QVERIFY(sendText(fd, "GET /metrics HTTP/1.1\r\nHost: 127."));
    }
    for (int i = 0; i < 5; ++i) {
        const Received got = get(server->port(), "/metrics");
        QVERIFY2(got.bytes.rfind("HTTP/1.1 200", 0) == 0, got.bytes.c_str());
        QVERIFY(got.closed);
    }
}

void TestHttpServer::slowRequestIsClosed_data()
{
    QTest::addColumn<int>("dripMs"); // a byte every dripMs; 0: half a request, then silence
    QTest::newRow("half a request") << 0;
    QTest::newRow("drips in") << 200;
}

void TestHttpServer::slowRequestIsClosed()
{
    QFETCH(int, dripMs);
    HttpLimits limits;
    limits.requestSeconds = 1;
    const auto server = serve(limits);
    QVERIFY(server);
    const int fd = connectTo(server->port());
    QVERIFY(fd >= 0);
    Received got;
    if (dripMs == 0) {
        QVERIFY(sendText(fd, "GET /metrics HTTP/1.1\r\nHost:"));
        got = readUntilClosed(fd, 6000);
    } else {
        // Each byte comes well within the idle time; the whole never does.
        const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(100, 'a');
        for (std::size_t i = 0; i < request.size() && !got.closed; ++i) {
            if (!sendText(fd, request.substr(i, 1)))
                break;
            got = readUntilClosed(fd, dripMs);
        }
    }
    ::close(fd);
    QVERIFY2(got.closed, "still open");
    QVERIFY2(got.bytes.empty(), got.bytes.c_str());
    // The server goes on answering.
    QVERIFY(get(server->port(), "/metrics").bytes.rfind("HTTP/1.1 200", 0) == 0);
}

void TestHttpServer::connectionsBeyondTheLimitAreRefused()
{
    HttpLimits limits;
    limits.maxConnections = 8;
    limits.requestSeconds = 60;
    const auto server = serve(limits);
    QVERIFY(server);
    Sockets idle;
    for (int i = 0; i < 8; ++i) {
        idle.fds.push_back(connectTo(server->port()));
        QVERIFY(idle.fds.back() >= 0);
    }
    // Until one of them ends, a ninth is closed without an answer.
    const Received refused = get(server->port(), "/metrics");
    QVERIFY2(refused.bytes.empty(), refused.bytes.c_str());
    QVERIFY(refused.closed);
    ::close(idle.fds.back());
    idle.fds.pop_back();
    QTRY_VERIFY_WITH_TIMEOUT(get(server->port(), "/metrics").bytes.rfind("HTTP/1.1 200", 0) == 0, 5000);
}

QTEST_GUILESS_MAIN(TestHttpServer)
#include "test_http_server.moc"
