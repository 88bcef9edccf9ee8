#include "gateway/page_routes.h"

#include "archive/archive_store.h"
#include "gateway/api_json.h"
#include "gateway/gateway_status.h"
#include "gateway/lp_summary.h"
#include "gateway/meter_view.h"
#include "gateway/page_files.h"
#include "gateway/phasor_svg.h"

#include <QJsonDocument>

#include <memory>
#include <optional>

namespace gateway {

namespace {

HttpResponse notFound() { return {404, "text/plain; charset=utf-8", "not found\n"}; }

HttpResponse json(const QJsonObject &object) { return jsonResponse(QJsonDocument(object).toJson(QJsonDocument::Compact)); }

HttpResponse file(const PageFiles &files, const std::string &name)
{
    const auto found = files.find(name);
    if (!found)
        return notFound();
    return {200, found->contentType, found->bytes.toStdString()};
}

QString queryValue(const HttpRequest &request, const char *key)
{
    const auto found = request.query.find(key);
    return found == request.query.end() ? QString() : QString::fromStdString(found->second);
}

// The archive as the server's worker reads it: opened there at the first
// request that needs it, and kept.
class PageArchive {
public:
    explicit PageArchive(QString location) : location_(std::move(location)) {}

    const archive::ArchiveStore *store(QString *error)
    {
        if (location_.isEmpty()) {
            *error = QStringLiteral("the gateway keeps no archive");
            return nullptr;
        }
        if (!store_)
            store_ = archive::ArchiveStore::open(location_, error);
        return store_ ? &*store_ : nullptr;
    }

private:
    QString location_;
    std::optional<archive::ArchiveStore> store_;
};

HttpResponse summary(const std::shared_ptr<PageArchive> &archive, const HttpRequest &request, const QString &serial)
{
    const QString group = queryValue(request, "group");
    if (!group.isEmpty() && group != QLatin1String("1") && group != QLatin1String("2"))
        return jsonError(400, QStringLiteral("group is 1 or 2"), QStringLiteral("group"));
    const auto period = summaryPeriod(queryValue(request, "period"));
    if (!period)
        return jsonError(400, QStringLiteral("period is day or week"), QStringLiteral("period"));
    HttpResponse later;
    later.onWorker = [archive, serial, group = group == QLatin1String("2") ? 2 : 1, kind = *period] {
        QString error;
        const archive::ArchiveStore *store = archive->store(&error);
        std::optional<QJsonObject> found;
        if (store)
            found = lpSummary(*store, serial, group, kind, &error);
        return found ? json(*found) : jsonError(503, QStringLiteral("archive: ") + error);
    };
    return later;
}

} // namespace

MeterResources registerPageRoutes(HttpServer &server, const GatewayStatus &status, const PageSources &sources)
{
    const auto files = std::make_shared<const PageFiles>(PageFiles::load(sources.chartLibrary));
    const auto languages = std::make_shared<const PageLanguages>(PageLanguages::load(sources.languageFolder));
    const auto archive = std::make_shared<PageArchive>(sources.archive);

    server.route("/", [files](const HttpRequest &) { return file(*files, "index.html"); });
    // Only the names the page was built with, and chart.js.
    server.routePrefix("/static/", [files](const HttpRequest &request) { return file(*files, request.rest); });
    server.routePrefix("/meters/", [files, &status](const HttpRequest &request) {
        const auto slash = request.rest.find('/');
        const QString serial = QString::fromStdString(request.rest.substr(0, slash));
        if (!status.knows(serial))
            return notFound();
        if (slash == std::string::npos)
            return file(*files, "meter.html");
        if (request.rest.substr(slash) != "/phasor.svg")
            return notFound();
        const auto state = status.lastState(serial);
        if (!state)
            return notFound();
        return HttpResponse{200, "image/svg+xml", phasorSvg(state->reading).toStdString()};
    });

    MeterResources resources;
    resources[QStringLiteral("view")] = [languages, &status](const HttpRequest &request, const QString &serial) {
        const auto state = status.lastState(serial);
        if (!state)
            return jsonError(404, QStringLiteral("no reading of meter %1 yet").arg(serial));
        const QString lang = queryValue(request, "lang");
        return json(meterView(*state, languages->file(lang), lang));
    };
    resources[QStringLiteral("lp/summary")] = [archive](const HttpRequest &request, const QString &serial) {
        return summary(archive, request, serial);
    };
    return resources;
}

} // namespace gateway
