#include "gateway/lp_query.h"

#include "gateway/api_json.h"
#include "gateway/meter_list.h"
#include "lpdata/csv_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace gateway {

namespace {

QString parameter(const std::map<std::string, std::string> &query, const char *key, bool *given)
{
    const auto found = query.find(key);
    *given = found != query.end();
    return *given ? QString::fromStdString(found->second) : QString();
}

// YYYY-MM-DD (the day's start, or with endOfDay its last second) or
// YYYY-MM-DD HH:MM, as the archive's stamps: the fields taken as UTC.
std::optional<QDateTime> parseEnd(const QString &text, bool endOfDay)
{
    static const QRegularExpression dayOnly(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (dayOnly.match(text).hasMatch()) {
        const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid())
            return std::nullopt;
        return QDateTime(day, endOfDay ? QTime(23, 59, 59) : QTime(0, 0), Qt::UTC);
    }
    QString ignored;
    const auto time = parseDate(text, &ignored);
    if (!time)
        return std::nullopt;
    return QDateTime(time->date(), time->time(), Qt::UTC);
}

QString stampText(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); }

// text as a JSON string.
QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// The records of one run as objects keyed by the CSV's columns, written
// straight from the CSV's fields: a year's 35 000 records take no
// QJsonObject each. A channel's field is a number as the CSV writes it, or
// empty (null).
void appendJsonRecords(const archive::ExportRun &run, QByteArray &out)
{
    QList<QByteArray> keys;
    for (const QString &column : (lpdata::csvColumnLine(run.codes) + QStringLiteral(",Flags")).split(u','))
        keys << jsonString(column) + ':';
    for (const QString &row : archive::exportRows(run, true)) {
        const QStringList cells = row.split(u',');
        if (out.size() > 1)
            out += ',';
        out += '{';
        for (qsizetype i = 0; i < keys.size() && i < cells.size(); ++i) {
            if (i > 0)
                out += ',';
            out += keys[i];
            const bool text = i < 2 || i == keys.size() - 1;
            out += text ? jsonString(cells[i]) : cells[i].isEmpty() ? QByteArray("null") : cells[i].toLatin1();
        }
        out += '}';
    }
}

} // namespace

std::variant<LpQuery, HttpResponse> parseLpQuery(const QString &serial, const std::map<std::string, std::string> &query,
                                                 const QDateTime &now)
{
    static const QStringList known{QStringLiteral("group"), QStringLiteral("from"), QStringLiteral("until"),
                                   QStringLiteral("format")};
    for (const auto &[key, value] : query)
        if (!known.contains(QString::fromStdString(key)))
            return jsonError(400, QStringLiteral("unknown parameter"), QString::fromStdString(key).left(64));
    LpQuery lp;
    lp.serial = serial;
    bool given = false;
    if (const QString group = parameter(query, "group", &given); given) {
        if (group != QLatin1String("1") && group != QLatin1String("2"))
            return jsonError(400, QStringLiteral("the group is 1 or 2"), QStringLiteral("group"));
        lp.group = group.toInt();
    }
    if (const QString format = parameter(query, "format", &given); given) {
        if (format != QLatin1String("json") && format != QLatin1String("csv"))
            return jsonError(400, QStringLiteral("the format is json or csv"), QStringLiteral("format"));
        lp.format = format == QLatin1String("csv") ? LpQuery::Format::Csv : LpQuery::Format::Json;
    }
    QDateTime until = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()), Qt::UTC);
    if (const QString text = parameter(query, "until", &given); given) {
        const auto end = parseEnd(text, true);
        if (!end)
            return jsonError(400, QStringLiteral("not a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM"), QStringLiteral("until"));
        until = *end;
    }
    QDateTime from = until.addDays(-1);
    if (const QString text = parameter(query, "from", &given); given) {
        const auto begin = parseEnd(text, false);
        if (!begin)
            return jsonError(400, QStringLiteral("not a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM"), QStringLiteral("from"));
        from = *begin;
    }
    if (until < from)
        return jsonError(400, QStringLiteral("until lies before from"), QStringLiteral("until"));
    if (from.secsTo(until) > kLongestLpRangeDays * 86400)
        return jsonError(400, QStringLiteral("at most %1 days a request").arg(kLongestLpRangeDays), QStringLiteral("until"));
    lp.range = {from, until};
    return lp;
}

HttpResponse answerLpQuery(const LpQuery &query, const QString &archivePath)
{
    if (archivePath.isEmpty())
        return jsonError(404, QStringLiteral("the gateway keeps no archive"));
    QString error;
    const auto store = archive::ArchiveStore::open(archivePath, &error);
    const auto runs = store ? store->exportRuns(query.serial, query.group, query.range, &error) : std::nullopt;
    if (!runs)
        return jsonError(503, QStringLiteral("the archive cannot be read: %1").arg(error));
    if (query.format == LpQuery::Format::Csv) {
        // The same bytes as the export's files, one after the other.
        const QDateTime now = QDateTime::currentDateTime();
        QByteArray text;
        for (const archive::ExportRun &run : *runs)
            text += archive::exportFileText(run, now, true);
        const QString name = archive::exportBaseName(query.serial, now.date(), query.group);
        return {200, "text/csv; charset=utf-8", text.toStdString(),
                {{"Cache-Control", "no-store"},
                 {"Content-Disposition", "attachment; filename=\"" + name.toStdString() + ".csv\""}}};
    }
    QByteArray records = "[";
    for (const archive::ExportRun &run : *runs)
        appendJsonRecords(run, records);
    records += ']';
    QByteArray answer = QJsonDocument(QJsonObject{{QStringLiteral("serial"), query.serial},
                                                  {QStringLiteral("group"), query.group},
                                                  {QStringLiteral("from"), stampText(*query.range.since)},
                                                  {QStringLiteral("until"), stampText(*query.range.until)},
                                                  {QStringLiteral("records"), QJsonArray()}})
                            .toJson(QJsonDocument::Compact);
    // The records in place of the empty array, the keys' order kept.
    answer.replace("\"records\":[]", "\"records\":" + records);
    return jsonResponse(answer);
}

} // namespace gateway
