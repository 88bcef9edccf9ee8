#pragma once

#include "lpdata/records.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A record's time stamp as the archive stores it: "YYYY-MM-DD HH:MM:SS", the
// meter's local time as recorded, with no time zone. Text of fixed width
// sorts as time does, in every database.
namespace archive {

// The stamp of a record; empty for one without a valid date and time.
QString stampText(const lpdata::Record &record);

// The date and time of a stored stamp written into a record's stamp fields;
// false, leaving the record as it was, for text of another form or a date
// a record cannot hold (years 2000 to 2255).
bool readStampText(const QString &text, lpdata::Record *record);

// The meter's clock reading as a date and time held as UTC, so that no time
// zone of the PC shifts it; and back: only a date time's date and time
// fields count (empty text for an invalid one).
QDateTime stampDateTime(const lpdata::Record &record);
QString dateTimeText(const QDateTime &time);

} // namespace archive
