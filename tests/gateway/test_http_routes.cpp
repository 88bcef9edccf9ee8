// What the gateway's HTTP server does before and around its routes: the
// target's checks, prefix routes and the query, basic authentication, and
// the worker that answers slow requests without holding up the others.
#include "gateway/http_credentials.h"
#include "gateway/http_server.h"
#include "http_get.h"

#include <QTest>

#include <future>

using gateway::HttpCredentials;
using gateway::HttpRequest;
using gateway::HttpResponse;
using gateway::HttpServer;
using testsupport::httpRequest;

namespace {

// Password "x" (openssl passwd -6 -salt abc x).
const QString kHash = QStringLiteral("$6$abc$K4v3HcZ8yAmpRfxML6S46NCcqy9r4/KdbQpFvqSWsBf4dgySOEOo1DHJTrmn2BsJK2aNmPN8Tfb826D2o9.z51");

void addRoutes(HttpServer &server)
{
    server.route("/metrics", [](const HttpRequest &) { return HttpResponse{200, "text/plain", "up 1\n"}; });
    server.routePrefix("/api/meters/", [](const HttpRequest &request) {
        std::string body = request.rest;
        for (const auto &[key, value] : request.query)
            body += "|" + key + "=" + value;
        return HttpResponse{200, "text/plain", body};
    });
}

} // namespace

class TestHttpRoutes : public QObject {
    Q_OBJECT
private slots:
    void targets_data();
    void targets();
    void credentials_data();
    void credentials();
    void credentialsFileLines_data();
    void credentialsFileLines();
    void slowWorkWaitsAside();
};

void TestHttpRoutes::targets_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // empty: not checked
    QTest::newRow("exact") << QByteArray("GET /metrics") << 200 << QByteArray("up 1\n");
    QTest::newRow("head") << QByteArray("HEAD /metrics") << 200 << QByteArray();
    QTest::newRow("prefix, rest decoded") << QByteArray("GET /api/meters/AB%20C") << 200 << QByteArray("AB C");
    QTest::newRow("query") << QByteArray("GET /api/meters/m/lp?b=2+3&a=%C3%A9") << 200 << QByteArray("m/lp|a=\xC3\xA9|b=2 3");
    QTest::newRow("prefix alone") << QByteArray("GET /api/meters/") << 404 << QByteArray();
    QTest::newRow("unknown") << QByteArray("GET /nothing") << 404 << QByteArray();
    QTest::newRow("encoded slash dots") << QByteArray("GET /..%2f..") << 400 << QByteArray();
    QTest::newRow("encoded dots") << QByteArray("GET /%2e%2e/") << 400 << QByteArray();
    QTest::newRow("dot dot") << QByteArray("GET /a/../b") << 400 << QByteArray();
    QTest::newRow("dot dot at the end") << QByteArray("GET /api/meters/..") << 400 << QByteArray();
    QTest::newRow("backslash") << QByteArray("GET /a\\b") << 400 << QByteArray();
    QTest::newRow("encoded backslash") << QByteArray("GET /a%5Cb") << 400 << QByteArray();
    QTest::newRow("bad escape") << QByteArray("GET /x%zz") << 400 << QByteArray();
    QTest::newRow("short escape") << QByteArray("GET /x%4") << 400 << QByteArray();
    QTest::newRow("NUL") << QByteArray("GET /x%00") << 400 << QByteArray();
    QTest::newRow("control") << QByteArray("GET /x%1b") << 400 << QByteArray();
    QTest::newRow("no UTF-8") << QByteArray("GET /api/meters/%C3%28") << 400 << QByteArray();
    QTest::newRow("overlong UTF-8") << QByteArray("GET /api/meters/%C0%AF") << 400 << QByteArray();
    QTest::newRow("bad escape in query") << QByteArray("GET /api/meters/m?x=%zz") << 400 << QByteArray();
    QTest::newRow("key twice") << QByteArray("GET /api/meters/m?x=1&x=2") << 400 << QByteArray();
    QTest::newRow("2048 bytes") << "GET /api/meters/" + QByteArray(2048 - 12, 'a') << 200 << QByteArray();
    QTest::newRow("2049 bytes") << "GET /api/meters/" + QByteArray(2049 - 12, 'a') << 414 << QByteArray();
    QTest::newRow("8000 bytes") << "GET /api/meters/" + QByteArray(8000, 'a') << 414 << QByteArray();
}

void TestHttpRoutes::targets()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    HttpServer server;
    addRoutes(server);
    QString error;
    QVERIFY2(server.listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
    const testsupport::HttpAnswer answer = httpRequest(server.port(), request);
    QCOMPARE(answer.status, status);
    if (!body.isEmpty())
        QCOMPARE(answer.body, body);
    if (request.startsWith("HEAD"))
        QVERIFY(answer.body.isEmpty());
}

void TestHttpRoutes::credentials_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("status");
    const auto basic = testsupport::basicAuthorization;
    QTest::newRow("right") << basic("page", "x") << 200;
    QTest::newRow("right again (remembered)") << basic("page", "x") << 200;
    QTest::newRow("wrong password") << basic("page", "y") << 401;
    QTest::newRow("wrong user") << basic("pag", "x") << 401;
    QTest::newRow("missing") << QByteArray() << 401;
    QTest::newRow("no colon") << "Authorization: Basic " + QByteArray("pagex").toBase64() + "\r\n" << 401;
    QTest::newRow("not base64") << QByteArray("Authorization: Basic ***\r\n") << 401;
    QTest::newRow("other scheme") << "Authorization: Bearer " + QByteArray("page:x").toBase64() + "\r\n" << 401;
    QTest::newRow("oversized") << basic("page", "x" + QByteArray(2000, ' ')) << 401;
}

void TestHttpRoutes::credentials()
{
    QFETCH(QByteArray, header);
    QFETCH(int, status);
    QString error;
    const auto users = HttpCredentials::fromLine(QStringLiteral("page:") + kHash, &error);
    QVERIFY2(users, qPrintable(error));
    HttpServer server;
    addRoutes(server);
    server.requireAuthorization([&](std::string_view given) { return users->admits(given); }, "ampwright");
    QVERIFY2(server.listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
    // The route and an unknown path alike.
    for (const QByteArray &request : {QByteArray("GET /metrics"), QByteArray("GET /nothing")}) {
        const testsupport::HttpAnswer answer = httpRequest(server.port(), request, header);
        QCOMPARE(answer.status, status == 200 && request.endsWith("nothing") ? 404 : status);
        if (status == 401)
            QCOMPARE(answer.header("WWW-Authenticate"), QByteArray("Basic realm=\"ampwright\""));
    }
}

void TestHttpRoutes::credentialsFileLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("taken");
    QTest::newRow("sha-512") << QStringLiteral("page:") + kHash << true;
    QTest::newRow("plain password") << QStringLiteral("page:secret") << false;
    QTest::newRow("md5") << QStringLiteral("page:$1$abc$OGyl6dDvZCDiGmIVbeuCq/") << false;
    QTest::newRow("cut hash") << QStringLiteral("page:") + kHash.left(20) << false;
    QTest::newRow("no user") << QStringLiteral(":") + kHash << false;
    QTest::newRow("no colon") << QStringLiteral("page") << false;
}

void TestHttpRoutes::credentialsFileLines()
{
    QFETCH(QString, line);
    QFETCH(bool, taken);
    QString error;
    QCOMPARE(HttpCredentials::fromLine(line, &error).has_value(), taken);
    QCOMPARE(error.isEmpty(), taken);
}

void TestHttpRoutes::slowWorkWaitsAside()
{
    // One job at a time, one waiting: the third gets 503 at once, and
    // /metrics is answered while the worker is busy.
    gateway::HttpLimits limits;
    limits.waitingForWorker = 1;
    HttpServer server(limits);
    addRoutes(server);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    server.route("/slow", [released](const HttpRequest &) {
        HttpResponse later;
        later.onWorker = [released] {
            released.wait();
            return HttpResponse{200, "text/plain", "slow\n"};
        };
        return later;
    });
    QString error;
    QVERIFY2(server.listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
    auto first = std::async(std::launch::async, [&] { return httpRequest(server.port(), "GET /slow"); });
    QTest::qWait(300);
    auto second = std::async(std::launch::async, [&] { return httpRequest(server.port(), "GET /slow"); });
    QTest::qWait(300);
    const testsupport::HttpAnswer third = httpRequest(server.port(), "GET /slow");
    QCOMPARE(third.status, 503);
    QCOMPARE(httpRequest(server.port(), "GET /metrics").status, 200);
    release.set_value();
    QCOMPARE(first.get().body, QByteArray("slow\n"));
    QCOMPARE(second.get().body, QByteArray("slow\n"));
}

QTEST_GUILESS_MAIN(TestHttpRoutes)
#include "test_http_routes.moc"
