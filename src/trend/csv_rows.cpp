#include "trend/csv_rows.h"

#include "polling/reading.h"
#include "polling/value_format.h"

#include <QStringList>

namespace trend {

QString columnName(polling::Q q)
{
    const polling::Quantity &quantity = polling::quantity(q);
    return quantity.unit.isEmpty() ? quantity.id
                                   : quantity.id + QLatin1String(" (") + quantity.unit + QLatin1Char(')');
}

QString csvHeader(std::span<const polling::Q> quantities)
{
    QStringList fields{QStringLiteral("time")};
    for (const polling::Q q : quantities)
        fields << columnName(q);
    return fields.join(QLatin1Char(','));
}

QString csvRow(const QDateTime &time, std::span<const polling::Q> quantities,
               const polling::Reading &reading)
{
    QString row = time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
    for (const polling::Q q : quantities) {
        row += QLatin1Char(',');
        if (const std::optional<double> value = reading.value(q))
            row += polling::float32Text(*value);
    }
    return row;
}

} // namespace trend
