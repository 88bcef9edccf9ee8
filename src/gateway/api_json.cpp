#include "gateway/api_json.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace gateway {

HttpResponse jsonResponse(QByteArray body, unsigned status)
{
    return {status, "application/json; charset=utf-8", body.toStdString(), {{"Cache-Control", "no-store"}}};
}

HttpResponse jsonError(unsigned status, const QString &text, const QString &parameter)
{
    QJsonObject error{{QStringLiteral("error"), text}};
    if (!parameter.isEmpty())
        error.insert(QStringLiteral("parameter"), parameter);
    return jsonResponse(QJsonDocument(error).toJson(QJsonDocument::Compact), status);
}

QJsonValue isoTime(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
}

} // namespace gateway
