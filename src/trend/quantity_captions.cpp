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

const char *groupCaptionKey(meter::QuantityGroup group)
{
    using G = meter::QuantityGroup;
    switch (group) {
    case G::Voltage: return "trend_GroupVoltage";
    case G::Current: return "trend_GroupCurrent";
    case G::Power: return "trend_GroupPower";
    case G::PowerFactor: return "trend_GroupPF";
    case G::Angle: return "trend_GroupAngle";
    case G::Frequency: return "trend_GroupFrequency";
    case G::Energy: return "trend_GroupEnergy";
    case G::Demand: return "trend_GroupDemand";
    case G::Ratio:
    case G::CO2:
        break; // settings, not measurements: no group caption
    case G::Thd: return "trend_GroupThd";
    }
    return nullptr;
}

QString groupCaption(meter::QuantityGroup group, const i18n::IniFile &language)
{
    const char *key = groupCaptionKey(group);
    return key ? language.text(QStringLiteral("trendini"), QLatin1String(key)) : QString();
}

} // namespace trend
