#pragma once

#include "gateway/http_server.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QString>

// What every answer of the gateway's API shares.
namespace gateway {

// status with body as application/json, never cached.
HttpResponse jsonResponse(QByteArray body, unsigned status = 200);
// {"error": text} (and "parameter": parameter when given) with status.
HttpResponse jsonError(unsigned status, const QString &text, const QString &parameter = {});
// "2026-12-09T15:04:05Z"; null for an invalid time.
QJsonValue isoTime(const QDateTime &time);

} // namespace gateway
