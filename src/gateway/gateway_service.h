#pragma once

#include "gateway/gateway_config.h"
#include "gateway/line_poller.h"
#include "gateway/mqtt_credentials.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace gateway {

class GatewayStatus;
class HttpServer;
class ListenerMetrics;
class MeterMetrics;

// A line the gateway polls and the meters on it, and the listeners through
// which masters share it.
struct ServedLine {
    links::MeterAddress address;
    std::vector<LinePoller::Meter> meters;
    std::vector<ListenerSettings> listeners;
};

// The gateway: the meters of a meters file grouped by the line they are on
// (one serial port, or one TCP host and port), a LinePoller on a thread of
// its own for each line, the publisher on the broker, the HTTP server with
// its metrics and the archive, and the end: on SIGTERM or SIGINT every line ends the
// request or archive block under way, every meter and the gateway go
// offline on the broker, then run() returns. Log lines go to standard error.
class GatewayService {
public:
    // What keeps the gateway from starting; usage: the settings or the
    // meters file are wrong (not the machine or the network).
    struct SetupError {
        QString text;
        bool usage = true;
    };

    GatewayService(GatewaySettings settings, bool logTraffic);
    ~GatewayService();
    GatewayService(const GatewayService &) = delete;
    GatewayService &operator=(const GatewayService &) = delete;

    // Reads the meters file and the broker's credentials, checks the
    // archive's location and opens the HTTP server (the metrics, the page's
    // API) with its credentials.
    std::optional<SetupError> setUp();
    // Serves until a stop signal; the program's exit code. After setUp().
    int run();

private:
    GatewaySettings settings_;
    bool logTraffic_;
    std::size_t meterCount_ = 0;
    std::vector<ServedLine> lines_;
    QString archivePath_;
    bool claims_ = false;
    std::optional<MqttCredentials> credentials_;
    std::unique_ptr<MeterMetrics> metrics_;
    std::unique_ptr<ListenerMetrics> listenerMetrics_;
    std::unique_ptr<GatewayStatus> status_;
    std::unique_ptr<HttpServer> http_; // ends before the metrics and the status it serves
};

} // namespace gateway
