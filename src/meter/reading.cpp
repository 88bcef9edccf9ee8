#include "meter/reading.h"

namespace meter {

std::optional<QDateTime> MeterClock::dateTime() const
{
    const auto field = [this](std::size_t i) { return int(fields[i]); };
    const QDate date{field(0) + 2000, field(1), field(2)};
    const QTime time{field(3), field(4), field(5)};
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

void Reading::store(const Samples &samples, qint64 receivedAt)
{
    for (const Sample &s : samples) {
        values[std::size_t(s.quantity)] = s.value;
        receivedAtMs[std::size_t(s.quantity)] = receivedAt;
    }
}

void Reading::forget(std::initializer_list<Q> quantities)
{
    for (const Q q : quantities)
        values[std::size_t(q)].reset();
}

std::vector<Q> quantityRun(Q first, int count)
{
    std::vector<Q> run;
    for (int i = 0; i < count; ++i)
        run.push_back(Q(first + i));
    return run;
}

void Reading::withdraw(const Withdrawn &withdrawn)
{
    for (const Q q : withdrawn.quantities)
        values[std::size_t(q)].reset();
    // Who the meter is stays known (the downloads of this connection name
    // it); its clock of the moment does not.
    if ((withdrawn.parts & Identity) && identity)
        identity->clock.reset();
    if (withdrawn.parts & ValidCounts)
        for (LPGroupStatus &group : lpGroups)
            group.validRecords.reset();
    if (withdrawn.parts & DisplayItems)
        displayItems.reset();
    if (withdrawn.parts & Harmonics)
        harmonicChannel = -1;
    if (withdrawn.parts & Firmware)
        firmwareText.clear();
}

} // namespace meter
