#include "gateway/page_routes.h"

#include "archive/archive_store.h"
#include "gateway/gateway_status.h"
#include "gateway/http_server.h"
#include "gateway/lp_summary.h"
#include "gateway/meter_view.h"
#include "gateway/page_files.h"
#include "gateway/phasor_svg.h"

#include <QJsonDocument>

#include <memory>
#include <optional>

namespace gateway {

namespace {

constexpr const char *kJson = "application/json; charset=utf-8";

HttpResponse notFound() { return {404, "text/plain; charset=utf-8", "not found\n"}; }

HttpResponse json(const QJsonObject &object)
{
    return {200, kJson, QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString()};
}

HttpResponse file(const PageFiles &files, const std::string &name)
{
    const auto found = files.find(name);
    if (!found)
        return notFound();
    return {200, found->contentType, found->bytes.toStdString()};
}

std::string queryValue(const HttpRequest &request, const char *key)
{
    const auto found = request.query.find(key);
    return found == request.query.end() ? std::string() : found->second;
}

// A meter's serial as a path segment: printable ASCII, no slash, not too long.
std::optional<QString> serialOf(const std::string &segment)
{
    if (segment.empty() || segment.size() > 64)
        return std::nullopt;
    for (const char c : segment)
        if (c <= ' ' || c > '~' || c == '/')
            return std::nullopt;
    return QString::fromLatin1(segment);
}

// "<serial>" and what follows its slash ("" for none).
std::pair<std::string, std::string> splitSerial(const std::string &rest)
{
    const auto slash = rest.find('/');
    if (slash == std::string::npos)
        return {rest, std::string()};
    return {rest.substr(0, slash), rest.substr(slash + 1)};
}

// The archive as the server's thread reads it: opened there at the first
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

HttpResponse summary(PageArchive &archive, const QString &serial, const HttpRequest &request)
{
    const std::string group = queryValue(request, "group");
    const auto period = summaryPeriod(QString::fromStdString(queryValue(request, "period")));
    if ((group != "1" && group != "2" && !group.empty()) || !period)
        return {400, "text/plain; charset=utf-8", "group=1|2&period=day|week\n"};
    QString error;
    const archive::ArchiveStore *store = archive.store(&error);
    std::optional<QJsonObject> found;
    if (store)
        found = lpSummary(*store, serial, group == "2" ? 2 : 1, *period, &error);
    if (!found)
        return {503, "text/plain; charset=utf-8", "archive: " + error.toStdString() + "\n"};
    return json(*found);
}

} // namespace

void registerPageRoutes(HttpServer &server, const GatewayStatus &status, const PageSources &sources)
{
    const auto files = std::make_shared<const PageFiles>(PageFiles::load(sources.chartLibrary));
    const auto languages = std::make_shared<const PageLanguages>(PageLanguages::load(sources.languageFolder));
    const auto archive = std::make_shared<PageArchive>(sources.archive);

    server.route("/", [files](const HttpRequest &) { return file(*files, "index.html"); });
    server.routePrefix("/static/", [files](const HttpRequest &, const std::string &rest) {
        // Only the names the page was built with, and chart.js.
        return file(*files, rest);
    });
    server.routePrefix("/meters/", [files, &status](const HttpRequest &, const std::string &rest) {
        const auto [segment, what] = splitSerial(rest);
        const auto serial = serialOf(segment);
        if (!serial)
            return notFound();
        if (what.empty())
            return file(*files, "meter.html");
        if (what != "phasor.svg")
            return notFound();
        const auto state = status.lastState(*serial);
        if (!state)
            return notFound();
        return HttpResponse{200, "image/svg+xml", phasorSvg(state->reading).toStdString()};
    });
    server.routePrefix("/api/meters/", [languages, archive, &status](const HttpRequest &request, const std::string &rest) {
        const auto [segment, what] = splitSerial(rest);
        const auto serial = serialOf(segment);
        if (!serial)
            return notFound();
        if (what == "view") {
            const auto state = status.lastState(*serial);
            if (!state)
                return notFound();
            const QString lang = QString::fromStdString(queryValue(request, "lang"));
            return json(meterView(*state, languages->file(lang), lang));
        }
        if (what == "lp/summary")
            return summary(*archive, *serial, request);
        return notFound();
    });
}

} // namespace gateway
