#pragma once

#include "archive/view_period.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace archive {
class ArchiveStore;
}

namespace gateway {

// A meter group's load profile over the day that holds its newest archived
// record, or the seven days up to that day's end, as the archive's viewer shows it:
// each channel's line (thinned for a chart, with its breaks at missing
// intervals) and its statistics, and the period's coverage. Times are the
// meter's own stamps, "yyyy-MM-ddTHH:mm:ss" without a zone; a point's x is
// that stamp in milliseconds as if it were UTC.
// {"serial","group","period":{"kind","start","end"},"interval_s",
//  "coverage":{"due","present","missing","repeated"},
//  "channels":[{"code","name","unit","points":[[x,y]],"breaks":[i],
//               "statistics":{"values","minimum","minimum_at","maximum","maximum_at","average",
//                             "load_factor","sum"}}]}
// A group with nothing archived has no period and no channels. Nothing, with
// the reason in error, when the archive cannot be read.
std::optional<QJsonObject> lpSummary(const archive::ArchiveStore &store, const QString &serial, int group,
                                     archive::PeriodKind kind, QString *error);

// "day" or "week"; nothing for anything else.
std::optional<archive::PeriodKind> summaryPeriod(const QString &word);

} // namespace gateway
