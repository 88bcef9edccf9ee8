#include "archive/archive_location.h"

#include <QUrl>

namespace archive {

namespace {

std::optional<ArchiveLocation> refuse(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

} // namespace

QString ArchiveLocation::shown() const
{
    if (kind == Kind::SqliteFile)
        return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setHost(host);
    url.setPort(port);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

std::optional<ArchiveLocation> parseArchiveLocation(const QString &text, QString *error)
{
    ArchiveLocation location;
    if (text.startsWith(QLatin1String("sqlite:"))) {
        location.path = text.mid(7);
    } else if (!text.contains(QLatin1String("://"))) {
        location.path = text;
    } else {
        const QUrl url(text, QUrl::StrictMode);
        const QString scheme = url.scheme();
        if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
            return refuse(error, QStringLiteral("an archive is a SQLite file (sqlite:PATH) or a PostgreSQL "
                                                "database (postgresql://USER@HOST[:PORT]/DB), not \"%1\"")
                                     .arg(text));
        if (!url.isValid())
            return refuse(error, QStringLiteral("\"%1\" is no valid address: %2").arg(text, url.errorString()));
        if (!url.password().isEmpty())
            return refuse(error, QStringLiteral("no password in the archive's address: give it in PGPASSWORD "
                                                "or ~/.pgpass"));
        location.kind = ArchiveLocation::Kind::Postgres;
        location.user = url.userName();
        location.host = url.host();
        location.port = url.port(5432);
        location.database = url.path().mid(1);
        if (location.host.isEmpty() || location.database.isEmpty() || location.database.contains(QLatin1Char('/'))
            || url.hasQuery() || url.hasFragment())
            return refuse(error, QStringLiteral("a PostgreSQL archive is written postgresql://USER@HOST[:PORT]/DB, "
                                                "not \"%1\"")
                                     .arg(text));
    }
    if (location.kind == ArchiveLocation::Kind::SqliteFile && location.path.isEmpty())
        return refuse(error, QStringLiteral("the archive's file has no name"));
    return location;
}

} // namespace archive
