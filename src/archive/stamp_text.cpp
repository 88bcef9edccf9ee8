#include "archive/stamp_text.h"

#include <QDate>
#include <QTime>

namespace archive {

namespace {

constexpr qsizetype kStampLength = 19; // YYYY-MM-DD HH:MM:SS
constexpr int kFirstYear = 2000;
constexpr int kLastYear = kFirstYear + 255;

// The digits at [from, from + count) as a number; -1 when any is no digit.
int digitsAt(const QString &text, qsizetype from, qsizetype count)
{
    int number = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c - u'0');
    }
    return number;
}

} // namespace

QString stampText(const lpdata::Record &record)
{
    if (!lpdata::hasValidStamp(record))
        return QString();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", record.year + kFirstYear, record.month,
                             record.day, record.hour, record.minute, record.second);
}

bool readStampText(const QString &text, lpdata::Record *record)
{
    if (text.size() != kStampLength || text[4] != u'-' || text[7] != u'-' || text[10] != u' '
        || text[13] != u':' || text[16] != u':')
        return false;
    const int year = digitsAt(text, 0, 4);
    const int fields[] = {digitsAt(text, 5, 2), digitsAt(text, 8, 2), digitsAt(text, 11, 2),
                          digitsAt(text, 14, 2), digitsAt(text, 17, 2)};
    if (year < kFirstYear || year > kLastYear)
        return false;
    for (const int field : fields) {
        if (field < 0)
            return false;
    }
    lpdata::Record stamped;
    stamped.year = std::uint8_t(year - kFirstYear);
    stamped.month = std::uint8_t(fields[0]);
    stamped.day = std::uint8_t(fields[1]);
    stamped.hour = std::uint8_t(fields[2]);
    stamped.minute = std::uint8_t(fields[3]);
    stamped.second = std::uint8_t(fields[4]);
    if (!lpdata::hasValidStamp(stamped))
        return false;
    record->year = stamped.year;
    record->month = stamped.month;
    record->day = stamped.day;
    record->hour = stamped.hour;
    record->minute = stamped.minute;
    record->second = stamped.second;
    return true;
}

QDateTime stampDateTime(const lpdata::Record &record)
{
    return QDateTime(QDate(record.year + kFirstYear, record.month, record.day),
                     QTime(record.hour, record.minute, record.second), Qt::UTC);
}

QString dateTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    return time.date().toString(u"yyyy-MM-dd") + QLatin1Char(' ') + time.time().toString(u"HH:mm:ss");
}

} // namespace archive
