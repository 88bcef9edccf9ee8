#include "gateway/lp_summary.h"

#include "archive/archive_store.h"
#include "archive/channel_series.h"
#include "archive/period_coverage.h"
#include "lpdata/channel_codes.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace gateway {

namespace {

// Points a chart of the page's width needs at most (archive::thinSeries).
constexpr int kPlotColumns = 800;

QJsonValue stamp(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))) : QJsonValue();
}

QJsonValue number(std::optional<double> value)
{
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue();
}

QJsonObject statistics(const archive::ChannelStatistics &s)
{
    const bool any = s.values > 0;
    return {{QStringLiteral("values"), double(s.values)},
            {QStringLiteral("minimum"), any ? number(s.minimum) : QJsonValue()},
            {QStringLiteral("minimum_at"), any ? stamp(s.minimumAt) : QJsonValue()},
            {QStringLiteral("maximum"), any ? number(s.maximum) : QJsonValue()},
            {QStringLiteral("maximum_at"), any ? stamp(s.maximumAt) : QJsonValue()},
            {QStringLiteral("average"), any ? number(s.average) : QJsonValue()},
            {QStringLiteral("load_factor"), number(s.loadFactor)},
            {QStringLiteral("sum"), number(s.sum)}};
}

QJsonObject channel(const archive::ChannelSeries &series)
{
    QJsonArray points;
    for (const QPointF &p : series.points)
        points.append(QJsonArray{p.x(), p.y()});
    QJsonArray breaks;
    for (const qsizetype at : series.breaks)
        breaks.append(double(at));
    return {{QStringLiteral("code"), series.code},
            {QStringLiteral("name"), lpdata::LPDataName(series.code)},
            {QStringLiteral("unit"), lpdata::LPChannelUnit(series.code)},
            {QStringLiteral("points"), points},
            {QStringLiteral("breaks"), breaks},
            {QStringLiteral("statistics"), statistics(series.statistics)}};
}

} // namespace

std::optional<archive::PeriodKind> summaryPeriod(const QString &word)
{
    if (word == QLatin1String("day"))
        return archive::PeriodKind::Day;
    if (word == QLatin1String("week"))
        return archive::PeriodKind::Week;
    return std::nullopt;
}

std::optional<QJsonObject> lpSummary(const archive::ArchiveStore &store, const QString &serial, int group,
                                     archive::PeriodKind kind, QString *error)
{
    QJsonObject summary{{QStringLiteral("serial"), serial}, {QStringLiteral("group"), group}};
    const auto meters = store.meters(error);
    if (!meters)
        return std::nullopt;
    const auto held = std::find_if(meters->begin(), meters->end(), [&](const archive::MeterSummary &m) {
        return m.serial == serial && m.group == group;
    });
    if (held == meters->end() || held->records == 0) {
        summary.insert(QStringLiteral("channels"), QJsonArray());
        return summary;
    }
    const auto codes = store.channelCodes(serial, group, error);
    if (!codes)
        return std::nullopt;
    // The day of the newest record, as the viewer opens a meter; the week
    // is the seven days up to that day's end.
    archive::ViewPeriod period = archive::periodHolding(archive::PeriodKind::Day, held->last);
    if (kind == archive::PeriodKind::Week)
        period = {kind, period.end.addDays(-7), period.end};
    std::vector<archive::RecordQuality> quality;
    const auto records = store.records(serial, group, *codes, period.range(), error, &quality);
    if (!records)
        return std::nullopt;

    // Coverage from the group's first record to its last: intervals not
    // recorded yet are not missing ones.
    const archive::PeriodCoverage coverage = archive::periodCoverage(
        *records, quality, std::max(period.start, held->first), std::min(period.end, held->last.addSecs(1)));
    QJsonArray channels;
    for (archive::ChannelSeries &series : archive::channelSeries(*records, *codes, quality)) {
        archive::thinSeries(&series, double(period.start.toMSecsSinceEpoch()), double(period.end.toMSecsSinceEpoch()),
                            kPlotColumns);
        channels.append(channel(series));
    }
    summary.insert(QStringLiteral("period"), QJsonObject{{QStringLiteral("kind"), kind == archive::PeriodKind::Day
                                                                                       ? QStringLiteral("day")
                                                                                       : QStringLiteral("week")},
                                                         {QStringLiteral("start"), stamp(period.start)},
                                                         {QStringLiteral("end"), stamp(period.end)}});
    summary.insert(QStringLiteral("interval_s"), coverage.intervalSeconds);
    summary.insert(QStringLiteral("coverage"), QJsonObject{{QStringLiteral("due"), double(coverage.due)},
                                                           {QStringLiteral("present"), double(coverage.present)},
                                                           {QStringLiteral("missing"), double(coverage.missing)},
                                                           {QStringLiteral("repeated"), double(coverage.repeated)}});
    summary.insert(QStringLiteral("channels"), channels);
    return summary;
}

} // namespace gateway
