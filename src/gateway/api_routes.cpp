#include "gateway/api_routes.h"

#include "gateway/api_json.h"
#include "gateway/gateway_status.h"
#include "gateway/http_server.h"
#include "gateway/lp_query.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <variant>

namespace gateway {

namespace {

QJsonValue textOrNull(const QString &text) { return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text); }

QByteArray compact(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }
QByteArray compact(const QJsonArray &array) { return QJsonDocument(array).toJson(QJsonDocument::Compact); }

QJsonObject gatewayJson(const GatewayStatus::Gateway &g)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return {{QStringLiteral("name"), g.name},
            {QStringLiteral("version"), g.version},
            {QStringLiteral("started"), isoTime(g.started)},
            {QStringLiteral("uptime_s"), double(g.started.secsTo(now))},
            {QStringLiteral("broker"),
             QJsonObject{{QStringLiteral("host"), textOrNull(g.broker)},
                         {QStringLiteral("connected"), g.brokerConnected}}},
            {QStringLiteral("archive"),
             QJsonObject{{QStringLiteral("location"), textOrNull(g.archive)},
                         {QStringLiteral("last_error"), textOrNull(g.archiveError)}}}};
}

QJsonArray linesJson(const std::vector<GatewayStatus::Line> &lines)
{
    QJsonArray out;
    for (const GatewayStatus::Line &line : lines) {
        QJsonObject failures;
        for (int kind = 0; kind < kRequestFailureKinds; ++kind)
            failures.insert(QLatin1String(failureKindLabel(RequestFailure(kind))), double(line.failures[std::size_t(kind)]));
        QJsonArray listeners;
        for (const GatewayStatus::Listener &listener : line.listeners)
            listeners.append(QJsonObject{{QStringLiteral("listen"), listener.listen},
                                         {QStringLiteral("writes"), listener.writes},
                                         {QStringLiteral("masters"), QJsonArray::fromStringList(listener.masters)}});
        out.append(QJsonObject{{QStringLiteral("line"), line.line},
                               {QStringLiteral("where"), line.where},
                               {QStringLiteral("open"), line.open},
                               {QStringLiteral("requests_per_min"), line.requestsPerMin},
                               {QStringLiteral("failures"), failures},
                               {QStringLiteral("busy_share"), line.busyShare},
                               {QStringLiteral("listeners"), listeners},
                               {QStringLiteral("meters"), QJsonArray::fromStringList(line.meters)}});
    }
    return out;
}

QJsonArray metersJson(const std::vector<GatewayStatus::Meter> &meters)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray out;
    for (const GatewayStatus::Meter &m : meters) {
        QJsonValue lp = QJsonValue::Null;
        if (m.lp)
            lp = QJsonObject{{QStringLiteral("at"), isoTime(m.lp->at)},
                             {QStringLiteral("group"), m.lp->group},
                             {QStringLiteral("records"), double(m.lp->records)}};
        out.append(QJsonObject{
            {QStringLiteral("serial"), textOrNull(m.serial)},
            {QStringLiteral("line"), m.line},
            {QStringLiteral("unit"), m.unit},
            {QStringLiteral("online"), m.online},
            {QStringLiteral("since"), isoTime(m.since)},
            {QStringLiteral("last_poll"), isoTime(m.lastPoll)},
            {QStringLiteral("last_poll_age_s"),
             m.lastPoll.isValid() ? QJsonValue(double(m.lastPoll.msecsTo(now)) / 1000.0) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("poll_s"), m.lastPoll.isValid() ? QJsonValue(m.pollS) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("clock_offset_s"),
             m.clockOffsetS ? QJsonValue(double(*m.clockOffsetS)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("lp"), lp},
            {QStringLiteral("held"), QJsonArray::fromStringList(m.held)},
            {QStringLiteral("firmware"), textOrNull(m.firmware)}});
    }
    return out;
}

} // namespace

void registerApiRoutes(HttpServer &server, const GatewayStatus &status, const QString &archivePath,
                       MeterResources more)
{
    server.route("/api/gateway", [&status](const HttpRequest &) { return jsonResponse(compact(gatewayJson(status.gateway()))); });
    server.route("/api/lines", [&status](const HttpRequest &) { return jsonResponse(compact(linesJson(status.lines()))); });
    server.route("/api/meters", [&status](const HttpRequest &) { return jsonResponse(compact(metersJson(status.meters()))); });
    server.routePrefix("/api/meters/", [&status, archivePath, more = std::move(more)](const HttpRequest &request) -> HttpResponse {
        // SERIAL or SERIAL/lp, or one of the more
        const QString rest = QString::fromStdString(request.rest);
        const QStringList parts = rest.split(u'/');
        const QString serial = parts.front();
        if (const auto other = more.find(rest.mid(serial.size() + 1)); parts.size() > 1 && other != more.end()) {
            if (!status.knows(serial))
                return jsonError(404, QStringLiteral("no meter %1").arg(serial.left(64)));
            return other->second(request, serial);
        }
        if (parts.size() > 2 || (parts.size() == 2 && parts[1] != QLatin1String("lp")))
            return jsonError(404, QStringLiteral("no such resource"));
        if (!status.knows(serial))
            return jsonError(404, QStringLiteral("no meter %1").arg(serial.left(64)));
        if (parts.size() == 1) {
            const auto state = status.lastState(serial);
            if (!state)
                return jsonError(404, QStringLiteral("no reading of meter %1 yet").arg(serial));
            return jsonResponse(meterStateJson(*state));
        }
        auto query = parseLpQuery(serial, request.query, QDateTime::currentDateTime());
        if (auto *refused = std::get_if<HttpResponse>(&query))
            return std::move(*refused);
        HttpResponse later;
        later.onWorker = [lp = std::get<LpQuery>(query), archivePath] { return answerLpQuery(lp, archivePath); };
        return later;
    });
}

} // namespace gateway
