#include "gateway/page_files.h"

#include <QDir>
#include <QFile>

namespace gateway {

namespace {

std::string contentTypeOf(const QString &name)
{
    if (name.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (name.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return "application/octet-stream";
}

QByteArray readAll(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

PageFiles PageFiles::load(const QString &chartLibrary)
{
    PageFiles page;
    const QDir resources(QStringLiteral(":/gateway/page"));
    for (const QString &name : resources.entryList(QDir::Files)) {
        bool ok = false;
        const QByteArray bytes = readAll(resources.filePath(name), &ok);
        if (ok)
            page.files_[name.toStdString()] = {contentTypeOf(name), bytes};
    }
    bool ok = false;
    const QByteArray chart = readAll(chartLibrary, &ok);
    if (ok)
        page.files_["chart.js"] = {contentTypeOf(QStringLiteral("chart.js")), chart};
    return page;
}

std::optional<PageFile> PageFiles::find(const std::string &name) const
{
    const auto found = files_.find(name);
    return found == files_.end() ? std::nullopt : std::optional(found->second);
}

} // namespace gateway
