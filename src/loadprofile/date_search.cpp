#include "loadprofile/date_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace loadprofile {

namespace {

// Nearest whole number, halves to the even one (5.5 gives 6, 4.5 gives 4).
double roundHalfEven(double x)
{
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction != 0.5)
        return fraction < 0.5 ? below : below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

// The middle of a and b (both >= 0), halves to the even one, without overflow.
long long middle(long long a, long long b)
{
    const long long low = std::min(a, b);
    const long long high = std::max(a, b);
    const long long m = std::midpoint(low, high); // rounds down
    return (high - low) % 2 != 0 && m % 2 != 0 ? m + 1 : m;
}

// Each readable probe either ends the search or narrows the bracket, which
// halves a 63-bit range well within this many probes; the cap only guards
// against a time source whose answers change under the search.
constexpr int kMaxReadableProbes = 256;

} // namespace

int recordsPerDay(const QString &intervalText)
{
    const QString text = intervalText.simplified();
    if (text.compare(QLatin1String("30 sec"), Qt::CaseInsensitive) == 0
        || text.compare(QLatin1String("30sec"), Qt::CaseInsensitive) == 0)
        return 2 * 60 * 24;

    bool ok = false;
    const double minutes = roundHalfEven(text.toDouble(&ok));
    if (!ok || !(minutes >= 1 && minutes <= 32767))
        return kFallbackRecordsPerDay;
    return std::max(1, int(roundHalfEven(60 / minutes * 24)));
}

StartRecordSearch findStartRecord(double begin, long long validCount, double newest, int perDay,
                                  const std::function<std::optional<double>(long long record)> &timeOf,
                                  int maxUnreadable)
{
    using Outcome = StartRecordSearch::Outcome;
    if (validCount <= 0)
        return {Outcome::NoRecords, 0};

    long long lo = 0;
    long long hi = validCount;

    // First guess: as many records back from the newest as lie between begin
    // and it; record 1 when that reaches beyond the oldest.
    const double back = newest < begin ? 0 : roundHalfEven((newest - begin) * perDay);
    long long probe = back >= 0 && back < double(hi) ? hi - (long long)back : 1;

    int unreadableInRow = 0;
    for (int readable = 0; readable < kMaxReadableProbes;) {
        const std::optional<double> read = timeOf(probe);
        if (!read)
            return {Outcome::Failed, 0};
        const double t = *read;
        if (t == 0 || !std::isfinite(t)) {
            if (++unreadableInRow > maxUnreadable || probe >= validCount)
                return {Outcome::Unreadable, 0};
            ++probe;
            continue;
        }
        unreadableInRow = 0;
        ++readable;

        if (t == begin)
            return {Outcome::Found, probe};
        if (t > begin) {
            if (probe - lo < 2 || hi - probe < 2)
                return {Outcome::Found, probe};
            hi = probe;
        } else {
            if (begin - t < 0.5 || probe - lo < 2)
                return {Outcome::Found, probe};
            lo = probe;
        }
        probe = std::clamp(middle(lo, hi), 1LL, validCount);
    }
    return {Outcome::Unreadable, 0};
}

} // namespace loadprofile
