#include "lpdata/date_serial.h"

#include <QDate>
#include <QTime>

namespace lpdata {

double dateSerial(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1 || year > 9999)
        return 0;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return 0;
    constexpr double kSecondsPerDay = 86400;
    return double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 1000 / kSecondsPerDay;
}

double DateToDoubleSub(int yearbuf, int monthbuf, int daybuf, int hourbuf, int minbuf)
{
    // Checked before adding 2000, so that no year field can overflow.
    if (yearbuf < 1 - 2000 || yearbuf > 9999 - 2000)
        return 0;
    return dateSerial(yearbuf + 2000, monthbuf, daybuf, hourbuf, minbuf, 0);
}

int daysInMonth(int twoDigitYear, int month)
{
    switch (month) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12:
        return 31;
    case 2:
        return twoDigitYear % 4 == 0 ? 29 : 28;
    default:
        return 30;
    }
}

} // namespace lpdata
