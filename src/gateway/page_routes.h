#pragma once

#include <QString>

namespace gateway {

class GatewayStatus;
class HttpServer;

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
//   /api/meters/<serial>/view?lang=en|zh|ja
//   /api/meters/<serial>/lp/summary?group=1|2&period=day|week
// The pages fetch the gateway's JSON API for the rest. status must outlive
// the server.
void registerPageRoutes(HttpServer &server, const GatewayStatus &status, const PageSources &sources);

} // namespace gateway
