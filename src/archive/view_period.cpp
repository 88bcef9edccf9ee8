#include "archive/view_period.h"

#include <QSet>

namespace archive {

namespace {

QDateTime midnight(const QDate &date)
{
    return QDateTime(date, QTime(0, 0), Qt::UTC);
}

// The steps the time axis tries, finest first.
enum class Unit { Hour, Day, Month, Year };
struct Step {
    Unit unit;
    int size;
};
constexpr Step kSteps[] = {
    {Unit::Hour, 1},   {Unit::Hour, 2},   {Unit::Hour, 3},   {Unit::Hour, 6},   {Unit::Hour, 12},
    {Unit::Day, 1},    {Unit::Day, 2},    {Unit::Day, 7},    {Unit::Day, 14},   {Unit::Month, 1},
    {Unit::Month, 2},  {Unit::Month, 3},  {Unit::Month, 6},  {Unit::Year, 1},   {Unit::Year, 2},
    {Unit::Year, 5},   {Unit::Year, 10},  {Unit::Year, 50},  {Unit::Year, 100},
};

// The first mark at or after start: whole multiples of the step within the
// day (hours), from start's midnight (days), within the year (months) or
// of the year number.
QDateTime firstMark(Step step, const QDateTime &start)
{
    const QDate date = start.date();
    switch (step.unit) {
    case Unit::Hour: {
        const qint64 stepSecs = 3600LL * step.size;
        const qint64 intoDay = start.time().msecsSinceStartOfDay() / 1000;
        return midnight(date).addSecs((intoDay + stepSecs - 1) / stepSecs * stepSecs);
    }
    case Unit::Day:
        return midnight(date) < start ? midnight(date.addDays(1)) : midnight(date);
    case Unit::Month: {
        QDateTime mark = midnight(QDate(date.year(), date.month(), 1));
        if (mark < start)
            mark = mark.addMonths(1);
        while ((mark.date().month() - 1) % step.size != 0)
            mark = mark.addMonths(1);
        return mark;
    }
    case Unit::Year:
        break;
    }
    QDateTime mark = midnight(QDate(date.year(), 1, 1));
    if (mark < start)
        mark = mark.addYears(1);
    while (mark.date().year() % step.size != 0)
        mark = mark.addYears(1);
    return mark;
}

QDateTime nextMark(Step step, const QDateTime &mark)
{
    switch (step.unit) {
    case Unit::Hour:
        return mark.addSecs(3600LL * step.size);
    case Unit::Day:
        return mark.addDays(step.size);
    case Unit::Month:
        return mark.addMonths(step.size);
    case Unit::Year:
        break;
    }
    return mark.addYears(step.size);
}

QString markLabel(Step step, const QDateTime &mark)
{
    switch (step.unit) {
    case Unit::Hour:
        return mark.time() == QTime(0, 0) ? mark.toString(u"MM-dd") : mark.toString(u"HH:mm");
    case Unit::Day:
        return mark.toString(u"MM-dd");
    case Unit::Month:
        return mark.toString(u"yyyy-MM");
    case Unit::Year:
        break;
    }
    return mark.toString(u"yyyy");
}

} // namespace

TimeRange ViewPeriod::range() const
{
    if (kind == PeriodKind::All)
        return {};
    return {start, end.addSecs(-1)};
}

ViewPeriod periodHolding(PeriodKind kind, const QDateTime &at, const QDateTime &first, const QDateTime &last)
{
    const QDate day = at.date();
    switch (kind) {
    case PeriodKind::Day:
        return {kind, midnight(day), midnight(day.addDays(1))};
    case PeriodKind::Week: {
        const QDate monday = day.addDays(1 - day.dayOfWeek());
        return {kind, midnight(monday), midnight(monday.addDays(7))};
    }
    case PeriodKind::Month: {
        const QDate firstDay(day.year(), day.month(), 1);
        return {kind, midnight(firstDay), midnight(firstDay.addMonths(1))};
    }
    case PeriodKind::All:
        break;
    }
    const QDateTime from = first.isValid() ? first : at;
    const QDateTime to = last.isValid() ? last : from;
    return {kind, from, to.addSecs(1)};
}

ViewPeriod stepped(const ViewPeriod &period, int steps)
{
    switch (period.kind) {
    case PeriodKind::Day:
        return {period.kind, period.start.addDays(steps), period.end.addDays(steps)};
    case PeriodKind::Week:
        return {period.kind, period.start.addDays(7LL * steps), period.end.addDays(7LL * steps)};
    case PeriodKind::Month: {
        const QDateTime start = period.start.addMonths(steps);
        return {period.kind, start, start.addMonths(1)};
    }
    case PeriodKind::All:
        break;
    }
    return period;
}

std::vector<TimeTick> timeTicks(const QDateTime &start, const QDateTime &end, int maxTicks)
{
    if (!start.isValid() || !end.isValid() || end <= start || maxTicks < 1)
        return {};
    for (const Step step : kSteps) {
        std::vector<TimeTick> ticks;
        QSet<QString> labels;
        bool fits = true;
        for (QDateTime mark = firstMark(step, start); fits && mark <= end; mark = nextMark(step, mark)) {
            const QString label = markLabel(step, mark);
            fits = int(ticks.size()) < maxTicks && !labels.contains(label);
            labels.insert(label);
            ticks.push_back({mark.toMSecsSinceEpoch(), label});
        }
        if (fits)
            return ticks;
    }
    return {};
}

} // namespace archive
