#pragma once

#include "archive/archive_store.h"
#include "gateway/http_server.h"

#include <QDateTime>
#include <QString>

#include <map>
#include <string>
#include <variant>

namespace gateway {

// A request of the archive's records of one meter's group in a range:
// GET /api/meters/<serial>/lp?group=1|2&from=YYYY-MM-DD[THH:MM]&until=...&format=json|csv
struct LpQuery {
    enum class Format { Json, Csv };
    QString serial;
    int group = 1;
    archive::TimeRange range; // both ends set
    Format format = Format::Json;
};

// The longest range a request may ask for.
inline constexpr qint64 kLongestLpRangeDays = 366;

// The query's parameters checked: group 1 (default) or 2; from and until as
// YYYY-MM-DD (from: its start, until: its end) or YYYY-MM-DDTHH:MM; until
// by default now (the meters' local time, as the archive stamps), from one
// day before until; at most kLongestLpRangeDays between them; format json
// (default) or csv. Else 400 with {"error":..., "parameter":...}.
std::variant<LpQuery, HttpResponse> parseLpQuery(const QString &serial,
                                                 const std::map<std::string, std::string> &query,
                                                 const QDateTime &now);

// The records from the archive at archivePath (opened for the request):
// CSV byte for byte as `ampwright-cli archive export` writes the same range
// (a file for each run of the same channels, one after the other), or JSON
// {"serial","group","from","until","records":[{COLUMN: value, ...}]} with
// the CSV's columns (Date, Time, the channels' names, Flags) as keys, the
// channels' values as numbers (null where a record has none). Runs on the
// server's worker: it may take a while.
HttpResponse answerLpQuery(const LpQuery &query, const QString &archivePath);

} // namespace gateway
