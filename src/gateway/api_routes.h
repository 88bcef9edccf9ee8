#pragma once

#include "gateway/http_server.h"

#include <QString>

#include <map>

namespace gateway {

class GatewayStatus;
class HttpServer;

// The gateway's read-only API on server, from status (which must outlive
// the server's answers) and the archive at archivePath (empty: none). All
// JSON (application/json; charset=utf-8, Cache-Control: no-store), times as
// ISO 8601 UTC texts, what is not known as null; errors as {"error": ...}:
//   GET /api/gateway           the gateway, its broker and archive
//   GET /api/lines             each line: requests, failures, busy share,
//                              listeners and their masters, its meters
//   GET /api/meters            each meter: online, polls, load profiles
//   GET /api/meters/SERIAL     the meter's last state as published on MQTT
//   GET /api/meters/SERIAL/lp  its load profile from the archive (lp_query.h)
//   GET /api/meters/SERIAL/... more of a meter's resources (the page's), by
//                              what follows the serial ("view", "lp/summary"),
//                              for a served meter; their handlers get the serial
using MeterResource = std::function<HttpResponse(const HttpRequest &, const QString &serial)>;
using MeterResources = std::map<QString, MeterResource>;
void registerApiRoutes(HttpServer &server, const GatewayStatus &status, const QString &archivePath,
                       MeterResources more = {});

} // namespace gateway
