#include "cli/archive_commands.h"

#include "archive/archive_location.h"
#include "archive/archive_setting.h"
#include "archive/archive_store.h"
#include "cli/console.h"
#include "gateway/meter_list.h"

#include <QCommandLineParser>

namespace cli {

namespace {

const char kArchiveUsage[] = "archive list | export --serial S --group G [--since ...] [--until ...] [--out DIR]"
                             " | import FILE... [--serial S] [--group G]";

QString timeText(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

int list(archive::ArchiveStore &store)
{
    QString error;
    const auto meters = store.meters(&error);
    if (!meters)
        return fail(error, kFailed);
    out(QStringLiteral("%1  %2  %3  %4  %5\n")
            .arg(QStringLiteral("meter"), -16)
            .arg(QStringLiteral("group"))
            .arg(QStringLiteral("records"), 8)
            .arg(QStringLiteral("first"), -19)
            .arg(QStringLiteral("last")));
    for (const archive::MeterSummary &m : *meters)
        out(QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(m.serial, -16)
                .arg(m.group, 5)
                .arg(m.records, 8)
                .arg(timeText(m.first), -19)
                .arg(timeText(m.last)));
    // The meters the workers of a fleet claimed: who read each one last,
    // when, and what came of it; a lease still running means a worker is at it.
    const auto claims = store.claims(&error);
    if (!claims)
        return fail(error, kFailed);
    if (claims->empty())
        return kOk;
    out(QStringLiteral("\n%1  %2  %3  %4  %5\n")
            .arg(QStringLiteral("claimed meter"), -40)
            .arg(QStringLiteral("worker"), -24)
            .arg(QStringLiteral("records"), 8)
            .arg(QStringLiteral("finished (UTC)"), -19)
            .arg(QStringLiteral("result")));
    for (const archive::MeterClaim &c : *claims)
        out(QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(c.meterKey, -40)
                .arg(c.worker, -24)
                .arg(c.records, 8)
                .arg(c.finishedAt.isValid() ? timeText(c.finishedAt) : QStringLiteral("-"), -19)
                .arg(c.state == archive::MeterClaim::State::Held
                         ? QStringLiteral("reading, lease %1 s left").arg(qRound(c.leaseLeft))
                         : c.finishedAt.isValid() ? c.result : QStringLiteral("left unfinished")));
    return kOk;
}

// --serial and --group, required or not.
bool meterAndGroup(const QCommandLineParser &p, bool required, std::optional<QString> *serial,
                   std::optional<int> *group, QString *error)
{
    if (p.isSet(QStringLiteral("serial")))
        *serial = p.value(QStringLiteral("serial")).trimmed();
    if (p.isSet(QStringLiteral("group"))) {
        const auto g = gateway::parseNumber(p.value(QStringLiteral("group")), 1, 2, QStringLiteral("the group"), error);
        if (!g)
            return false;
        *group = *g;
    }
    if (required && (!*serial || serial->value().isEmpty() || !*group)) {
        *error = QStringLiteral("give the meter and the group: --serial S --group 1|2");
        return false;
    }
    return true;
}

int exportRecords(archive::ArchiveStore &store, const QCommandLineParser &p)
{
    std::optional<QString> serial;
    std::optional<int> group;
    QString error;
    if (!meterAndGroup(p, true, &serial, &group, &error))
        return usage(error);
    archive::TimeRange range;
    for (const auto &[name, end] : {std::pair{"since", &range.since}, std::pair{"until", &range.until}}) {
        if (!p.isSet(QLatin1String(name)))
            continue;
        const auto time = gateway::parseDate(p.value(QLatin1String(name)), &error);
        if (!time)
            return usage(error);
        *end = QDateTime(time->date(), time->time(), Qt::UTC);
    }
    // The archive's own files: the download's columns and the records' flags last.
    const auto paths = store.exportCsv(*serial, *group, range, p.value(QStringLiteral("out")), &error,
                                       QDateTime::currentDateTime(), true);
    if (!paths)
        return fail(error, kFailed);
    if (paths->isEmpty())
        return fail(QStringLiteral("the archive holds no records of meter %1, group %2 in that range")
                        .arg(*serial)
                        .arg(*group),
                    kFailed);
    for (const QString &path : *paths)
        out(path + QLatin1Char('\n'));
    return kOk;
}

int importFiles(archive::ArchiveStore &store, const QCommandLineParser &p)
{
    std::optional<QString> serial;
    std::optional<int> group;
    QString error;
    if (!meterAndGroup(p, false, &serial, &group, &error))
        return usage(error);
    const QStringList files = p.positionalArguments().mid(1);
    if (files.isEmpty())
        return usage(QStringLiteral("name the CSV files to import"));
    int code = kOk;
    for (const QString &file : files) {
        QString matched;
        const auto stored = store.importCsv(file, serial, group, &error, &matched);
        if (!stored) {
            code = fail(error, kFailed);
            continue;
        }
        out(QStringLiteral("%1: %2 added (%3 of them repeat earlier stamps), %4 unchanged%5\n")
                .arg(file)
                .arg(stored->added)
                .arg(stored->repeated)
                .arg(stored->unchanged)
                .arg(matched.isEmpty() ? QString()
                                       : QStringLiteral(" (stored as meter %1, whose serial the file's name ends with)")
                                             .arg(matched)));
    }
    return code;
}

} // namespace

void addStoreOptions(QCommandLineParser &parser)
{
    parser.addOptions({{QStringLiteral("store"),
                        QStringLiteral("The archive: sqlite:PATH (the user's archive) or "
                                       "postgresql://USER@HOST[:PORT]/DB (password from PGPASSWORD or ~/.pgpass)."),
                        QStringLiteral("ARCHIVE")},
                       {QStringLiteral("no-store"), QStringLiteral("Keep no archive of the records.")}});
}

std::optional<QString> chosenArchive(const QCommandLineParser &parser, QString *error)
{
    const bool store = parser.isSet(QStringLiteral("store"));
    if (store && parser.isSet(QStringLiteral("no-store"))) {
        *error = QStringLiteral("give --store or --no-store, not both");
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("no-store")))
        return QString();
    if (!store)
        return archive::chosenArchive();
    const QString value = parser.value(QStringLiteral("store"));
    if (!archive::parseArchiveLocation(value, error))
        return std::nullopt;
    return value;
}

int archiveCommand(const QStringList &args)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addStoreOptions(p);
    p.addOptions({{QStringLiteral("serial"), QStringLiteral("Meter serial number."), QStringLiteral("S")},
                  {QStringLiteral("group"), QStringLiteral("Load-profile group 1 or 2."), QStringLiteral("G")},
                  {QStringLiteral("since"), QStringLiteral("Records from this time."), QStringLiteral("YYYY-MM-DD HH:MM")},
                  {QStringLiteral("until"), QStringLiteral("Records up to this time."), QStringLiteral("YYYY-MM-DD HH:MM")},
                  {QStringLiteral("out"), QStringLiteral("Folder of the CSV files."), QStringLiteral("DIR"),
                   QStringLiteral("LP Data")}});
    if (!p.parse(args))
        return usage(p.errorText());
    const QStringList words = p.positionalArguments();
    const QString command = words.value(0);
    if (command != QLatin1String("list") && command != QLatin1String("export") && command != QLatin1String("import"))
        return usage(QStringLiteral("say what to do: %1").arg(QLatin1String(kArchiveUsage)));
    if (command != QLatin1String("import") && words.size() > 1)
        return usage(QStringLiteral("unexpected \"%1\"").arg(words[1]));
    QString error;
    const auto path = chosenArchive(p, &error);
    if (!path)
        return usage(error);
    if (path->isEmpty())
        return usage(QStringLiteral("--no-store leaves no archive to %1").arg(command));
    QString note;
    auto store = archive::ArchiveStore::open(*path, &error, &note);
    if (!note.isEmpty())
        fail(note, kOk);
    if (!store)
        return fail(error, kFailed);
    if (command == QLatin1String("list"))
        return list(*store);
    if (command == QLatin1String("export"))
        return exportRecords(*store, p);
    return importFiles(*store, p);
}

} // namespace cli
