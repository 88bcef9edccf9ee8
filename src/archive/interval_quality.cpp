#include "archive/interval_quality.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>

namespace archive {

namespace {

constexpr long long kDaySeconds = 86400;
constexpr double kFixedScale = 10000.0;
const QDate kEpoch(2000, 1, 1);

struct FlagWord {
    IntervalFlag flag;
    QLatin1String word;
};
const FlagWord kWords[] = {{kRepeatedStamp, QLatin1String("repeated")},
                           {kOutOfOrder, QLatin1String("out-of-order")},
                           {kOffGrid, QLatin1String("off-grid")}};
const QLatin1String kGapWord("gap=");

} // namespace

long long stampSeconds(const lpdata::Record &record)
{
    const QDate date(2000 + record.year, record.month, record.day);
    return kEpoch.daysTo(date) * kDaySeconds + record.hour * 3600LL + record.minute * 60LL + record.second;
}

double stampMsecs(const lpdata::Record &record)
{
    static const double kEpochMsecs = double(QDateTime(kEpoch, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
    return kEpochMsecs + 1000.0 * double(stampSeconds(record));
}

RecordQuality intervalQuality(std::optional<long long> previous, long long stamp, int intervalSeconds,
                              int occurrence)
{
    RecordQuality quality;
    quality.occurrence = occurrence;
    quality.intervalSeconds = intervalSeconds;
    if (occurrence > 0)
        quality.flags |= kRepeatedStamp;
    if (intervalSeconds > 0 && (stamp % kDaySeconds) % intervalSeconds != 0)
        quality.flags |= kOffGrid;
    if (!previous)
        return quality;
    if (stamp < *previous)
        quality.flags |= kOutOfOrder;
    if (intervalSeconds > 0 && stamp - *previous > intervalSeconds) {
        quality.gapBefore = (stamp - *previous) / intervalSeconds - 1;
        // Off the grid by less than an interval: late, not a missing one.
        if (quality.gapBefore > 0)
            quality.flags |= kGapBefore;
    }
    return quality;
}

int intervalOfStamps(std::span<const long long> seconds)
{
    std::map<long long, int> steps;
    for (std::size_t i = 1; i < seconds.size(); ++i)
        ++steps[seconds[i] - seconds[i - 1]];
    const auto most = std::max_element(steps.begin(), steps.end(),
                                       [](const auto &a, const auto &b) { return a.second < b.second; });
    if (most == steps.end())
        return 0;
    for (const int known : {30, 60, 300, 600, 900, 1800, 3600})
        if (most->first == known)
            return known;
    return 0;
}

QString qualityText(const RecordQuality &quality)
{
    QStringList words;
    for (const FlagWord &word : kWords)
        if (quality.flags & word.flag)
            words << word.word;
    if (quality.flags & kGapBefore)
        words << kGapWord + QString::number(quality.gapBefore);
    return words.join(u' ');
}

std::optional<RecordQuality> parseQualityText(QStringView text)
{
    RecordQuality quality;
    for (const QStringView word : text.split(u' ', Qt::SkipEmptyParts)) {
        unsigned flag = 0;
        for (const FlagWord &known : kWords)
            if (word == known.word)
                flag = known.flag;
        if (!flag && word.startsWith(kGapWord)) {
            bool ok = false;
            const long long gap = word.sliced(kGapWord.size()).toLongLong(&ok);
            if (!ok || gap < 1 || !word.sliced(kGapWord.size()).front().isDigit())
                return std::nullopt;
            quality.gapBefore = gap;
            flag = kGapBefore;
        }
        if (!flag || (quality.flags & flag))
            return std::nullopt;
        quality.flags |= flag;
    }
    return quality;
}

std::optional<double> fixedValue(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // The CSV file's text without its point: exact up to 2^53, and the same
    // number for the same text beyond.
    QString text = lpdata::valueText(value);
    text.remove(text.size() - 5, 1);
    return text.toDouble();
}

double valueOfFixed(double fixed)
{
    return fixed / kFixedScale;
}

int intervalSecondsOf(const QString &intervalText)
{
    const QString text = intervalText.simplified().remove(u' ');
    if (text.compare(QLatin1String("30sec"), Qt::CaseInsensitive) == 0)
        return 30;
    bool ok = false;
    const int minutes = text.toInt(&ok);
    return ok && minutes >= 1 && minutes <= 1440 && 1440 % minutes == 0 ? minutes * 60 : 0;
}

} // namespace archive
