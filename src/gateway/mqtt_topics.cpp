#include "gateway/mqtt_topics.h"

#include <algorithm>

namespace gateway {

namespace {

const QString kRoot = QStringLiteral("ampwright/");

bool isKeptAsIs(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
}

QString hexDigits(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

} // namespace

QString meterId(const QString &serial)
{
    const QString trimmed = serial.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("unknown");
    QString id;
    for (const QChar c : trimmed) {
        if (isKeptAsIs(c))
            id += c;
        else if (c.unicode() < 0x80)
            id += QLatin1Char('_') + hexDigits(c.unicode(), 2);
        else // not from a meter, whose text is ASCII; "__" never stands for an ASCII character
            id += QLatin1String("__") + hexDigits(c.unicode(), 4);
    }
    return id;
}

QString stateTopic(const QString &serial) { return kRoot + meterId(serial) + QLatin1String("/state"); }

QString availabilityTopic(const QString &serial) { return kRoot + meterId(serial) + QLatin1String("/availability"); }

QString gatewayAvailabilityTopic(const QString &gatewayName)
{
    return kRoot + QLatin1String("gateway/") + gatewayName + QLatin1String("/availability");
}

bool isTopicWord(const QString &text)
{
    if (text.isEmpty() || text.size() > 64)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return isKeptAsIs(c) || c == u'_' || c == u'.'; });
}

} // namespace gateway
