#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QUrl>

// Debian's chromium run headless by the tests and benchmarks, and what it
// shows read through its DevTools HTTP endpoint.
namespace testsupport {

// The flags of a headless run; profileDir: a profile of the run's own, as
// other runs of chromium may go on at the same time.
inline QStringList headlessChromium(const QString &profileDir)
{
    return {"--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--hide-scrollbars",
            "--user-data-dir=" + profileDir};
}

struct ShownPage {
    QString url, title; // both empty: no page (yet), or no answer
};

// The first page of chromium started with --remote-debugging-port=port, from
// its /json/list; waits at most waitMs for the answer.
inline ShownPage shownPage(QNetworkAccessManager &network, quint16 port, int waitMs = 5000)
{
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(port))));
    const bool finished = QTest::qWaitFor([reply] { return reply->isFinished(); }, waitMs);
    const QJsonArray targets = QJsonDocument::fromJson(finished ? reply->readAll() : QByteArray()).array();
    reply->deleteLater();
    for (const QJsonValue &target : targets)
        if (target[u"type"] == QLatin1String("page"))
            return {target[u"url"].toString(), target[u"title"].toString()};
    return {};
}

} // namespace testsupport
