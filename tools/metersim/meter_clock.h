#pragma once

#include <QDateTime>

#include <array>
#include <optional>

namespace metersim {

// The meter's clock: the PC's local wall-clock time plus an offset that a
// clock write sets, so it keeps ticking after being set.
class MeterClock {
public:
    static constexpr int kFields = 7; // year-2000, month, day, hour, minute, second, weekday

    QDateTime now() const;
    // Field i of the clock registers; weekday 0 = Sunday.
    quint16 field(int index) const;
    // Replaces the given fields (std::nullopt keeps the current value; the
    // weekday follows from the date and is ignored). Returns false, changing
    // nothing, when the result is not a real date and time.
    bool setFields(const std::array<std::optional<quint16>, kFields> &fields);

private:
    static QDateTime wallClock();
    qint64 offsetMs_ = 0;
};

} // namespace metersim
