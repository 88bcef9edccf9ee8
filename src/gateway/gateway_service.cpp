#include "gateway/gateway_service.h"

#include "archive/archive_location.h"
#include "gateway/api_routes.h"
#include "gateway/gateway_status.h"
#include "gateway/http_credentials.h"
#include "gateway/http_server.h"
#include "gateway/listener_metrics.h"
#include "gateway/meter_list.h"
#include "gateway/meter_publisher.h"
#include "gateway/mqtt_client.h"
#include "gateway/page_files.h"
#include "gateway/page_routes.h"
#include "gateway/prometheus_exporter.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace gateway {

namespace {

// A stop asked by SIGTERM or SIGINT reaches the event loop through a pipe.
int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// "timeout=300", "pause=default": a word of a line's timing.
QString word(const char *key, const std::optional<int> &value)
{
    return QStringLiteral("%1=%2").arg(QLatin1String(key), value ? QString::number(*value) : QStringLiteral("default"));
}

QString timingWords(const links::MeterAddress &a)
{
    return word("timeout", a.answerWaitMs) + u' ' + word("pause", a.gapMs) + u' ' + word("attempts", a.attempts);
}

// The first timing word of a that differs from line's; empty when they agree.
QString timingDisagrees(const links::MeterAddress &a, const links::MeterAddress &line)
{
    if (a.answerWaitMs != line.answerWaitMs)
        return word("timeout", a.answerWaitMs);
    if (a.gapMs != line.gapMs)
        return word("pause", a.gapMs);
    if (a.attempts != line.attempts)
        return word("attempts", a.attempts);
    return {};
}

QString lineKey(const links::MeterAddress &a)
{
    return a.rtu ? QStringLiteral("rtu %1").arg(a.port) : QStringLiteral("tcp %1:%2").arg(a.host.toLower()).arg(a.tcpPort);
}

// The meters and listeners grouped by the line they are on: one serial
// port, or one TCP host and port (a Modbus TCP gateway with an RS-485 line
// behind it). Meters and listeners of one serial port must agree on its rate
// and stop bits, of one line on its timing, and no two meters of a line share
// a unit. Nothing, with the file, line and word in error, when they do not.
std::optional<std::vector<ServedLine>> groupByLine(const ServedFile &served, const QString &file, QString *error)
{
    QMap<QString, std::size_t> byKey;
    std::vector<ServedLine> lines;
    std::vector<int> firstFileLine;
    std::vector<QString> firstWhat; // "the meter" or "the listener" of firstFileLine
    std::vector<std::vector<int>> meterFileLines;
    // The line of address, made at its first mention; nothing when address
    // disagrees with it.
    const auto lineOf = [&](const links::MeterAddress &a, int fileLine, const QString &what) -> ServedLine * {
        auto at = byKey.find(lineKey(a));
        if (at == byKey.end()) {
            at = byKey.insert(lineKey(a), lines.size());
            lines.push_back({a, {}, {}});
            firstFileLine.push_back(fileLine);
            firstWhat.push_back(what);
            meterFileLines.emplace_back();
        }
        ServedLine &line = lines[*at];
        if (a.rtu && (a.baud != line.address.baud || a.stopBits != line.address.stopBits)) {
            *error = QStringLiteral("%1: line %2: \"baud=%3 stop-bits=%4\": serial port %5 runs at baud=%6 "
                                    "stop-bits=%7 for %8 on line %9")
                         .arg(file).arg(fileLine).arg(a.baud).arg(a.stopBits).arg(a.port)
                         .arg(line.address.baud).arg(line.address.stopBits).arg(firstWhat[*at]).arg(firstFileLine[*at]);
            return nullptr;
        }
        if (const QString word = timingDisagrees(a, line.address); !word.isEmpty()) {
            *error = QStringLiteral("%1: line %2: \"%3\": %4 on line %5 is on the same line with %6; "
                                    "meters and listeners of one line need the same timeout, pause and attempts")
                         .arg(file).arg(fileLine).arg(word, firstWhat[*at]).arg(firstFileLine[*at])
                         .arg(timingWords(line.address));
            return nullptr;
        }
        return &line;
    };
    for (std::size_t i = 0; i < served.meters.size(); ++i) {
        const MeterJob &job = served.meters[i];
        ServedLine *line = lineOf(job.address, job.line, QStringLiteral("the meter"));
        if (!line)
            return std::nullopt;
        std::vector<int> &fileLines = meterFileLines[std::size_t(line - lines.data())];
        for (std::size_t k = 0; k < line->meters.size(); ++k)
            if (line->meters[k].address.unit == job.address.unit) {
                *error = QStringLiteral("%1: line %2: \"unit=%3\": the meter on line %4 has that unit on the same line")
                             .arg(file).arg(job.line).arg(job.address.unit).arg(fileLines[k]);
                return std::nullopt;
            }
        line->meters.push_back({int(i), job.address, 0});
        fileLines.push_back(job.line);
    }
    for (const ListenerSettings &listener : served.listeners) {
        ServedLine *line = lineOf(listener.line, listener.fileLine, QStringLiteral("the listener"));
        if (!line)
            return std::nullopt;
        line->listeners.push_back(listener);
    }
    return lines;
}

} // namespace

GatewayService::GatewayService(GatewaySettings settings, bool logTraffic)
    : settings_(std::move(settings)), logTraffic_(logTraffic)
{
}

GatewayService::~GatewayService() = default;

std::optional<GatewayService::SetupError> GatewayService::setUp()
{
    QFile metersFile(settings_.meters);
    if (!metersFile.open(QIODevice::ReadOnly))
        return SetupError{QStringLiteral("cannot read the meters file %1: %2").arg(settings_.meters, metersFile.errorString())};
    QString error;
    MeterJob defaults;
    // The timing of the settings is every line's, unless its meters give their own.
    defaults.address.answerWaitMs = settings_.timeoutMs;
    defaults.address.gapMs = settings_.pauseMs;
    defaults.address.attempts = settings_.attempts;
    auto served = parseServedFile(QString::fromUtf8(metersFile.read(1 << 20)), defaults, &error);
    if (!served)
        return SetupError{QStringLiteral("%1: %2").arg(settings_.meters, error)};
    // Listeners of the settings come after the file's.
    for (const QString &listen : settings_.listen) {
        const auto more = parseServedFile(QStringLiteral("listen=") + listen, defaults, &error);
        if (!more)
            return SetupError{QStringLiteral("listen %1: %2").arg(listen, error.section(QStringLiteral(": "), 1, -1))};
        served->listeners.insert(served->listeners.end(), more->listeners.begin(), more->listeners.end());
    }
    // Over TCP each answer is taken as soon as it is complete, as the tool's
    // other commands take it, unless tcp-pause-ms asks for a fixed pause.
    for (MeterJob &job : served->meters)
        job.address.tcpPauseMs = settings_.tcpPauseMs.value_or(0);
    for (ListenerSettings &listener : served->listeners)
        listener.line.tcpPauseMs = settings_.tcpPauseMs.value_or(0);
    auto lines = groupByLine(*served, settings_.meters, &error);
    if (!lines)
        return SetupError{error};
    meterCount_ = served->meters.size();
    lines_ = std::move(*lines);
    for (ServedLine &line : lines_)
        for (LinePoller::Meter &m : line.meters)
            m.clockSyncS = served->meters[std::size_t(m.index)].clockSyncS.value_or(settings_.clockSyncS.value_or(0));

    archivePath_ = settings_.store;
    QString archiveShown;
    if (!archivePath_.isEmpty()) {
        const auto location = archive::parseArchiveLocation(archivePath_, &error);
        if (!location)
            return SetupError{QStringLiteral("store: ") + error};
        claims_ = location->kind == archive::ArchiveLocation::Kind::Postgres;
        archiveShown = claims_ ? location->shown() : QStringLiteral("sqlite:") + location->shown();
    }
    if (settings_.mqtt) {
        credentials_ = loadMqttCredentials(settings_.mqttCredentials, QProcessEnvironment::systemEnvironment(), &error);
        if (!credentials_)
            return SetupError{error};
    }
    status_ = std::make_unique<GatewayStatus>();
    QString broker;
    if (settings_.mqtt) {
        const MqttSettings mqtt = gatewayMqttSettings(settings_, *credentials_);
        broker = QString::fromLatin1(mqtt.host.contains(u':') ? "[%1]:%2" : "%1:%2").arg(mqtt.host).arg(mqtt.port);
    }
    status_->setGateway(gatewayName(settings_), QCoreApplication::applicationVersion(), broker, archiveShown);
    for (const ServedLine &line : lines_) {
        const int at = status_->addLine(line.address, line.listeners);
        for (const LinePoller::Meter &m : line.meters)
            status_->addMeter(m.index, at, m.address.unit);
    }
    if (const auto address = httpAddress(settings_)) {
        std::shared_ptr<const HttpCredentials> users;
        if (!settings_.httpCredentials.isEmpty()) {
            auto loaded = HttpCredentials::load(settings_.httpCredentials, &error);
            if (!loaded)
                return SetupError{QStringLiteral("http-credentials: ") + error};
            users = std::make_shared<const HttpCredentials>(*loaded);
        }
        metrics_ = std::make_unique<MeterMetrics>();
        http_ = std::make_unique<HttpServer>();
        if (users)
            http_->requireAuthorization([users](std::string_view given) { return users->admits(given); }, "ampwright");
        metrics_->serveOn(*http_);
        registerApiRoutes(*http_, *status_, archivePath_,
                          registerPageRoutes(*http_, *status_,
                                             {QCoreApplication::applicationDirPath(), archivePath_,
                                              QString::fromLatin1(kSystemChartLibrary)}));
        listenerMetrics_ = std::make_unique<ListenerMetrics>(metrics_->registry());
        if (!http_->listen(address->host, quint16(address->port.value_or(0)), &error))
            return SetupError{QStringLiteral("cannot serve HTTP on %1:%2: %3")
                                  .arg(address->host).arg(address->port.value_or(0)).arg(error),
                              false};
        const QString url = QString::fromLatin1(address->host.contains(u':') ? "http://[%1]:%2" : "http://%1:%2")
                                .arg(address->host).arg(http_->port());
        logLine(QStringLiteral("metrics on %1/metrics, the API on %1/api/%2")
                    .arg(url, users ? QStringLiteral(" (basic authentication)") : QString()));
    }
    return std::nullopt;
}

int GatewayService::run()
{
    const GatewaySettings &settings = settings_;
    MeterMetrics *const metrics = metrics_.get();
#ifndef _WIN32
    if (::pipe(stopPipe) != 0) {
        logLine(QStringLiteral("cannot set up the stop signal"));
        return 1;
    }
    ::fcntl(stopPipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(stopPipe[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
#endif

    const QString name = gatewayName(settings);
    std::unique_ptr<MqttClient> mqtt;
    if (settings.mqtt) {
        mqtt = std::make_unique<MqttClient>(gatewayMqttSettings(settings, *credentials_));
        QObject::connect(mqtt.get(), &MqttClient::logLine, logLine);
    }
    MeterPublisher publisher(mqtt.get(), discoveryPrefix(settings), name,
                             settings.haDiscovery == QLatin1String("compat"));
    if (mqtt) {
        QObject::connect(mqtt.get(), &MqttClient::connected, [&] {
            status_->setBrokerConnected(true);
            publisher.connected();
        });
        QObject::connect(mqtt.get(), &MqttClient::disconnected, [&] { status_->setBrokerConnected(false); });
        mqtt->start();
    }

    const ServeTimes times{qint64(settings.everyS.value_or(10)) * 1000,
                           qint64(settings.lpEveryMin.value_or(15)) * 60000};
    struct Running {
        std::unique_ptr<QThread> thread;
        LinePoller *poller = nullptr;
        bool stopped = false;
    };
    std::vector<Running> running;
    int stoppedLines = 0;
    bool stopping = false;
    int exitCode = 0;
    QTimer stopLimit;
    stopLimit.setSingleShot(true);
    const auto finish = [&] {
        // Every line has ended its last poll or archive block (or the limit
        // came): offline goes out, then the program ends.
        stopLimit.stop();
        if (!mqtt || !mqtt->isConnected()) {
            QCoreApplication::exit(exitCode);
            return;
        }
        QObject::connect(mqtt.get(), &MqttClient::finished, [&](bool) { QCoreApplication::exit(exitCode); });
        mqtt->finish(publisher.lastMessages(), 400);
    };
    const auto stopAll = [&] {
        if (stopping)
            return;
        stopping = true;
        logLine(QStringLiteral("stopping"));
        for (Running &r : running)
            r.poller->stop();
        QObject::connect(&stopLimit, &QTimer::timeout, [&] {
            logLine(QStringLiteral("a line did not end its request in time; ending anyway"));
            finish();
        });
        stopLimit.start(1500);
    };
#ifndef _WIN32
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        char byte;
        [[maybe_unused]] const auto got = ::read(stopPipe[0], &byte, 1);
        stopAll();
    });
#endif

    for (const ServedLine &line : lines_) {
        Running r;
        r.thread = std::make_unique<QThread>();
        r.poller = new LinePoller(line.address, line.meters, times, archivePath_, claims_ ? name : QString(),
                                  metrics, logTraffic_);
        r.poller->setListeners(line.listeners, listenerMetrics_.get());
        r.poller->setStatus(status_.get(), int(running.size()));
        r.poller->moveToThread(r.thread.get());
        QObject::connect(r.thread.get(), &QThread::finished, r.poller, &QObject::deleteLater);
        QObject::connect(r.poller, &LinePoller::logLine, qApp, logLine, Qt::QueuedConnection);
        QObject::connect(r.poller, &LinePoller::meterRead, qApp,
                         [&](int meter, const MeterState &state) { publisher.meterRead(meter, state); },
                         Qt::QueuedConnection);
        QObject::connect(r.poller, &LinePoller::meterAvailable, qApp,
                         [&](int meter, bool online) { publisher.meterAvailable(meter, online); }, Qt::QueuedConnection);
        // A listener that cannot listen ends the gateway: its masters would
        // find nothing there.
        QObject::connect(r.poller, &LinePoller::listenersReady, qApp, [&](const QString &error) {
            if (error.isEmpty())
                return;
            logLine(error);
            exitCode = 1;
            stopAll();
        }, Qt::QueuedConnection);
        const std::size_t at = running.size();
        QObject::connect(r.poller, &LinePoller::stopped, qApp, [&, at] {
            if (std::exchange(running[at].stopped, true))
                return;
            if (++stoppedLines == int(running.size()))
                finish();
        }, Qt::QueuedConnection);
        QObject::connect(r.thread.get(), &QThread::started, r.poller, &LinePoller::start);
        running.push_back(std::move(r));
    }
    std::size_t listeners = 0;
    for (const ServedLine &line : lines_)
        listeners += line.listeners.size();
    logLine(QStringLiteral("serving %1 meters on %2 lines%3%4%5%6")
                .arg(meterCount_)
                .arg(lines_.size())
                .arg(listeners ? QStringLiteral(", %1 shared with masters").arg(listeners) : QString())
                .arg(settings.mqtt ? QStringLiteral(", MQTT broker %1").arg(settings.mqtt->host) : QString())
                .arg(archivePath_.isEmpty() ? QString() : QStringLiteral(", archive %1").arg(archivePath_))
                .arg(times.lpEveryMs > 0 ? QStringLiteral(", load profiles every %1 min").arg(times.lpEveryMs / 60000)
                                         : QString()));
    for (Running &r : running)
        r.thread->start();

    const int result = QCoreApplication::exec();
    for (Running &r : running) {
        r.thread->quit();
        if (!r.thread->wait(1000)) {
            // A line still inside a request: the process ends around it.
            logLine(QStringLiteral("ended"));
            std::fflush(nullptr);
            std::_Exit(result);
        }
    }
    logLine(QStringLiteral("ended"));
    return result;
}

} // namespace gateway
