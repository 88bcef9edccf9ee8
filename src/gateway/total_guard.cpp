#include "gateway/total_guard.h"

#include <cmath>
#include <limits>
#include <utility>

namespace gateway {

namespace {

// How far a value may fall below another and still be the same number, as
// a single-precision float from the meter rounds it.
bool below(double value, double than)
{
    return value < than - std::abs(than) * 4 * double(std::numeric_limits<float>::epsilon());
}

QString number(double value) { return QString::number(value, 'g', 10); }

} // namespace

QString TotalGuard::Event::text() const
{
    const QString &id = meter::quantity(quantity).id;
    if (kind == Kind::Confirmed)
        return QStringLiteral("%1 fell from %2 to %3, the same %4 polls in a row: taken as the meter's reset")
            .arg(id, last ? number(*last) : QStringLiteral("nothing"), number(value))
            .arg(kConfirmingPolls);
    return QStringLiteral("%1 read as %2 (%3): held back until %4 polls in a row confirm it")
        .arg(id, number(value), last ? QStringLiteral("last %1").arg(number(*last)) : QStringLiteral("none yet"))
        .arg(kConfirmingPolls);
}

bool TotalGuard::guards(meter::Q q)
{
    return meter::quantity(q).group == meter::QuantityGroup::Energy || q == meter::Co2Emission;
}

void TotalGuard::expectReset() { resetExpected_ = true; }

std::vector<TotalGuard::Event> TotalGuard::apply(meter::Reading &reading)
{
    std::vector<Event> events;
    meter::Withdrawn held;
    const bool reset = std::exchange(resetExpected_, false);
    for (int i = 0; i < meter::kQuantityCount; ++i) {
        const auto q = meter::Q(i);
        std::optional<double> &value = reading.values[std::size_t(i)];
        if (!guards(q) || !value) // not read this time: nothing to go by
            continue;
        Total &t = totals_[std::size_t(i)];
        const double v = *value;
        const bool plausible = std::isfinite(v) && v >= 0;
        const auto letThrough = [&t, &value](double as) {
            value = as;
            t.last = as;
            t.level.reset();
            t.polls = 0;
            t.holding = false;
        };
        if (plausible && (reset || (t.last ? !below(v, *t.last) && (v > 0 || *t.last == 0) : v > 0))) {
            letThrough(t.last && !reset ? std::max(v, *t.last) : v);
            continue;
        }
        // Held back: a lower level counts the polls that keep to it; what
        // is no number breaks the row.
        if (!plausible) {
            t.level.reset();
            t.polls = 0;
        } else if (t.level && !below(v, *t.level)) {
            t.level = v;
            ++t.polls;
        } else {
            t.level = v;
            t.polls = 1;
        }
        if (t.polls >= kConfirmingPolls) {
            events.push_back({Event::Kind::Confirmed, q, v, t.last});
            letThrough(v);
            continue;
        }
        if (!t.holding)
            events.push_back({Event::Kind::Held, q, v, t.last});
        t.holding = true;
        held.quantities.push_back(q);
    }
    if (!held.quantities.empty())
        reading.withdraw(held);
    return events;
}

} // namespace gateway
