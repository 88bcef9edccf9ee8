#include "meter_clock.h"

namespace metersim {

QDateTime MeterClock::wallClock()
{
    // Local time, carried as UTC so that adding an offset never meets a
    // daylight-saving gap.
    const QDateTime local = QDateTime::currentDateTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

QDateTime MeterClock::now() const
{
    return wallClock().addMSecs(offsetMs_);
}

quint16 MeterClock::field(int index) const
{
    const QDateTime t = now();
    switch (index) {
    case 0: return static_cast<quint16>(qBound(0, t.date().year() - 2000, 255));
    case 1: return static_cast<quint16>(t.date().month());
    case 2: return static_cast<quint16>(t.date().day());
    case 3: return static_cast<quint16>(t.time().hour());
    case 4: return static_cast<quint16>(t.time().minute());
    case 5: return static_cast<quint16>(t.time().second());
    case 6: return static_cast<quint16>(t.date().dayOfWeek() % 7);
    default: return 0;
    }
}

bool MeterClock::setFields(const std::array<std::optional<quint16>, kFields> &fields)
{
    const QDateTime wall = wallClock();
    const QDateTime current = wall.addMSecs(offsetMs_);
    const auto pick = [&fields](int index, int currentValue) {
        return fields[index] ? int(*fields[index]) : currentValue;
    };
    const int year = pick(0, current.date().year() - 2000);
    if (year < 0 || year > 99)
        return false;
    const QDate date(2000 + year, pick(1, current.date().month()), pick(2, current.date().day()));
    const QTime time(pick(3, current.time().hour()), pick(4, current.time().minute()),
                     pick(5, current.time().second()));
    if (!date.isValid() || !time.isValid())
        return false;
    offsetMs_ = wall.msecsTo(QDateTime(date, time, Qt::UTC));
    return true;
}

} // namespace metersim
