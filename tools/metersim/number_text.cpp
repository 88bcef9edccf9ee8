#include "number_text.h"

namespace metersim {

std::optional<qint64> parseNumber(const QString &text, qint64 min, qint64 max)
{
    bool ok = false;
    qint64 value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toLongLong(&ok, 16);
    else
        value = text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace metersim
