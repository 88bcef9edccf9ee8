#include "gateway/meter_list.h"

#include "links/port_map.h"

#include <QRegularExpression>

#include <algorithm>

namespace gateway {

std::optional<int> parseNumber(const QString &text, int lowest, int highest, const QString &what,
                               QString *error)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok && n >= lowest && n <= highest)
        return n;
    *error = QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                 .arg(what).arg(lowest).arg(highest).arg(text);
    return std::nullopt;
}

bool parseTcp(const QString &text, links::MeterAddress &address, QString *error)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    address.rtu = false;
    address.host = colon < 0 ? text : text.left(colon);
    if (address.host.isEmpty()) {
        *error = QStringLiteral("a TCP meter needs a host, as HOST or HOST:PORT");
        return false;
    }
    if (colon < 0)
        return true;
    const auto port = parseNumber(text.mid(colon + 1), 1, 65535, QStringLiteral("the TCP port"), error);
    address.tcpPort = port.value_or(0);
    return port.has_value();
}

std::optional<QDateTime> parseDate(const QString &text, QString *error)
{
    QString normal = text.trimmed();
    normal.replace(QLatin1Char('T'), QLatin1Char(' '));
    const QDateTime time = QDateTime::fromString(normal, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (time.isValid())
        return time;
    *error = QStringLiteral("\"%1\" is not a date and time as YYYY-MM-DD HH:MM").arg(text);
    return std::nullopt;
}

bool checkRange(const loadprofile::LpRange &range, QString *error)
{
    if ((range.from || range.to) && (range.since || range.until)) {
        *error = QStringLiteral("choose records by number (from, to) or by date (since, until), not both");
        return false;
    }
    if (range.until && !range.since) {
        *error = QStringLiteral("an end date needs a begin date (since)");
        return false;
    }
    if (range.since && range.until && *range.until < *range.since) {
        *error = QStringLiteral("the end date lies before the begin date");
        return false;
    }
    if (range.from && range.to && *range.to < *range.from) {
        *error = QStringLiteral("the last record number is smaller than the first");
        return false;
    }
    return true;
}

namespace {

// Words separated by blanks; a double-quoted part may hold blanks.
QStringList words(const QString &line)
{
    static const QRegularExpression word(QStringLiteral(R"((?:[^\s"]+|"[^"]*")+)"));
    QStringList out;
    for (auto m = word.globalMatch(line); m.hasNext();)
        out << m.next().captured().remove(QLatin1Char('"'));
    return out;
}

} // namespace

bool applyMeterWord(const QString &key, const QString &value, MeterJob &job, bool &placed,
                    QString *error)
{
    if (key == QLatin1String("tcp")) {
        placed = true;
        return parseTcp(value, job.address, error);
    }
    std::optional<int> n;
    std::optional<QDateTime> date;
    if (key == QLatin1String("rtu")) {
        placed = true;
        job.address.rtu = true;
        n = parseNumber(value, links::kFirstPort, links::kLastPort, QStringLiteral("the serial port"),
                        error);
        job.address.port = n.value_or(0);
    } else if (key == QLatin1String("unit")) {
        n = parseNumber(value, 1, 247, QStringLiteral("the unit"), error);
        job.address.unit = n.value_or(0);
    } else if (key == QLatin1String("baud")) {
        n = parseNumber(value, 1200, 115200, QStringLiteral("the baud rate"), error);
        job.address.baud = n.value_or(0);
    } else if (key == QLatin1String("stop-bits")) {
        n = parseNumber(value, 1, 2, QStringLiteral("the stop bits"), error);
        job.address.stopBits = n.value_or(0);
    } else if (key == QLatin1String("timeout")) {
        n = parseNumber(value, kTimeoutMs.first, kTimeoutMs.second, QStringLiteral("timeout (ms)"), error);
        job.address.answerWaitMs = n;
    } else if (key == QLatin1String("pause")) {
        n = parseNumber(value, kPauseMs.first, kPauseMs.second, QStringLiteral("pause (ms)"), error);
        job.address.gapMs = n;
    } else if (key == QLatin1String("attempts")) {
        n = parseNumber(value, kAttempts.first, kAttempts.second, QStringLiteral("attempts"), error);
        job.address.attempts = n;
    } else if (key == QLatin1String("group")) {
        n = parseNumber(value, 1, meter::LpGroup::kCount, QStringLiteral("the group"), error);
        if (n)
            job.range.group = *meter::LpGroup::fromNumber(*n);
    } else if (key == QLatin1String("from") || key == QLatin1String("to")) {
        n = parseNumber(value, 1, 999999, QStringLiteral("a record number"), error);
        (key == QLatin1String("from") ? job.range.from : job.range.to) = n.value_or(0);
    } else if (key == QLatin1String("clock-sync")) {
        n = parseNumber(value, 0, 86400, QStringLiteral("the seconds a clock may be off"), error);
        job.clockSyncS = n;
    } else if (key == QLatin1String("since") || key == QLatin1String("until")) {
        date = parseDate(value, error);
        (key == QLatin1String("since") ? job.range.since : job.range.until) = date;
        return date.has_value();
    } else {
        *error = QStringLiteral("unknown word \"%1\"").arg(key);
        return false;
    }
    return n.has_value();
}

namespace {

bool isLineWord(const QString &key)
{
    static const QStringList line = {QStringLiteral("rtu"),     QStringLiteral("tcp"),   QStringLiteral("baud"),
                                     QStringLiteral("stop-bits"), QStringLiteral("timeout"), QStringLiteral("pause"),
                                     QStringLiteral("attempts")};
    return line.contains(key);
}

// One line of the file: a meter, or with listeners a listener's line.
bool parseLine(const QString &line, const MeterJob &defaults, bool listeners, ServedFile &file, QString *why)
{
    MeterJob job = defaults;
    ListenerSettings listener;
    bool placed = false;
    const QStringList all = words(line);
    const bool listens = listeners && std::any_of(all.begin(), all.end(), [](const QString &w) {
        return w.startsWith(QLatin1String("listen="));
    });
    for (const QString &word : all) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            *why = QStringLiteral("\"%1\" is not key=value").arg(word);
            return false;
        }
        const QString key = word.left(equals);
        const QString value = word.mid(equals + 1);
        if (listens) {
            if (const auto applied = applyListenerWord(key, value, listener, why)) {
                if (!*applied)
                    return false;
                continue;
            }
            if (!isLineWord(key)) {
                *why = QStringLiteral("\"%1\" is no word of a listener's line").arg(key);
                return false;
            }
        }
        if (!applyMeterWord(key, value, job, placed, why))
            return false;
    }
    if (!placed) {
        *why = listens ? QStringLiteral("no line to share: give rtu=N or tcp=HOST[:PORT]")
                       : QStringLiteral("no meter: give tcp=HOST[:PORT] or rtu=N");
        return false;
    }
    if (listens) {
        listener.line = job.address;
        file.listeners.push_back(listener);
        return true;
    }
    if (!checkRange(job.range, why))
        return false;
    file.meters.push_back(job);
    return true;
}

std::optional<ServedFile> parseLines(const QString &text, const MeterJob &defaults, bool listeners, QString *error)
{
    ServedFile file;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const std::size_t meters = file.meters.size();
        QString why;
        if (!parseLine(line, defaults, listeners, file, &why)) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return std::nullopt;
        }
        if (file.meters.size() > meters)
            file.meters.back().line = int(i + 1);
        else
            file.listeners.back().fileLine = int(i + 1);
    }
    if (file.meters.empty() && file.listeners.empty()) {
        *error = QStringLiteral("the meters file lists no meter");
        return std::nullopt;
    }
    return file;
}

} // namespace

std::optional<std::vector<MeterJob>> parseMeterList(const QString &text, const MeterJob &defaults, QString *error)
{
    auto file = parseLines(text, defaults, false, error);
    if (!file)
        return std::nullopt;
    return std::move(file->meters);
}

std::optional<ServedFile> parseServedFile(const QString &text, const MeterJob &defaults, QString *error)
{
    return parseLines(text, defaults, true, error);
}

} // namespace gateway
