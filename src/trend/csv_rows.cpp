#include "trend/csv_rows.h"

#include "meter/reading.h"
#include "meter/value_format.h"

#include <QStringList>

namespace trend {

QString columnName(meter::Q q)
{
    const meter::Quantity &quantity = meter::quantity(q);
    return quantity.unit.isEmpty() ? quantity.id
                                   : quantity.id + QLatin1String(" (") + quantity.unit + QLatin1Char(')');
}

QString csvHeader(std::span<const meter::Q> quantities)
{
    QStringList fields{QStringLiteral("time")};
    for (const meter::Q q : quantities)
        fields << columnName(q);
    return fields.join(QLatin1Char(','));
}

QString csvRow(const QDateTime &time, std::span<const meter::Q> quantities,
               const meter::Reading &reading)
{
    QString row = time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
    for (const meter::Q q : quantities) {
        row += QLatin1Char(',');
        if (const std::optional<double> value = reading.value(q))
            row += meter::float32Text(*value);
    }
    return row;
}

} // namespace trend
