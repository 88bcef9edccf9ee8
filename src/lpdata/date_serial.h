#pragma once

// Date serials: days since 30 December 1899, the fraction being the time of
// day. Record time stamps and the date range of a download are compared as
// date serials.
namespace lpdata {

// The date serial of a date and time, seconds included; 0 when they do not
// form a valid date (years 1..9999) and time of day.
double dateSerial(int year, int month, int day, int hour, int minute, int second);

// The date serial of the date selectors' fields: the year as two digits
// (2000 added), minute precision; 0 when the fields form no valid date.
double DateToDoubleSub(int yearbuf, int monthbuf, int daybuf, int hourbuf, int minbuf);

// The number of days the day selector lists for a month: 31 for months 1, 3,
// 5, 7, 8, 10, 12; 28 for February, 29 when the two-digit year is divisible
// by 4; 30 for every other month number, also one outside 1..12.
int daysInMonth(int twoDigitYear, int month);

} // namespace lpdata
