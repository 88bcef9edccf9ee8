#pragma once

#include "gateway/api_routes.h"

#include <QString>

namespace gateway {

class GatewayStatus;

// Where the page finds what it shows beside the status.
struct PageSources {
    QString languageFolder; // the language files (the program's folder)
    QString archive;        // the archive's location; empty: none
    QString chartLibrary;   // the system's chart.js
};

// The gateway's own page on its HTTP server, before it listens:
//   /                          the gateway, its lines and meters
//   /meters/<serial>           a meter: live values, phasor, load profile
//   /meters/<serial>/phasor.svg
//   /static/<file>             the page's style and scripts, chart.js
// and the meter resources it adds to the API (registerApiRoutes' more):
//   /api/meters/<serial>/view?lang=en|zh|ja          (meter_view.h)
//   /api/meters/<serial>/lp/summary?group=1|2&period=day|week  (lp_summary.h,
//                                                     on the server's worker)
// The pages fetch the gateway's JSON API for the rest. status must outlive
// the server.
MeterResources registerPageRoutes(HttpServer &server, const GatewayStatus &status, const PageSources &sources);

} // namespace gateway
