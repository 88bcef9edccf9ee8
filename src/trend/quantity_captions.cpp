#include "trend/quantity_captions.h"

#include "i18n/ini_file.h"

namespace trend {

QString quantityCaption(meter::Q quantity, const i18n::IniFile &language)
{
    const meter::Quantity &q = meter::quantity(quantity);
    const QString kind = language.text(QLatin1String(q.captionSection), QLatin1String(q.captionKey));
    QString part;
    if (q.partKey)
        part = language.text(QLatin1String(q.partSection), QLatin1String(q.partKey));
    else if (q.partNumber >= 0)
        part = QString::number(q.partNumber);
    else
        return kind;
    QString join = language.text(QStringLiteral("trendini"), QStringLiteral("trend_QuantityCaption"));
    // A file without the joining text still tells the quantities apart.
    if (!join.contains(QLatin1String("%1")) || !join.contains(QLatin1String("%2")))
        join = QStringLiteral("%1 %2");
    return join.arg(kind, part);
}

} // namespace trend
