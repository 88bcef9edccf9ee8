#pragma once

#include "gateway/listener_settings.h"
#include "gateway/meter_publisher.h"
#include "gateway/prometheus_exporter.h"
#include "links/meter_address.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace gateway {

// What the gateway's page shows, as one snapshot: the gateway, its lines
// and its meters. The service sets up the lines and meters and feeds the
// broker's and the archive's state from the main thread; the pollers feed
// the rest from their lines' threads (one short locked update a poll or a
// transaction); the HTTP server's threads read. Every method is thread-safe.
//
// Times are UTC. Meters are told apart by the service's index (their place
// in the meters file), as LinePoller and MeterPublisher name them.
class GatewayStatus {
public:
    struct Gateway {
        QString name;
        QString version;
        QDateTime started;
        QString broker;        // "HOST:PORT"; empty: none
        bool brokerConnected = false;
        QString archive;       // "sqlite:PATH", "postgresql://USER@HOST:PORT/DB"; empty: none
        QString archiveError;  // of the last round that failed; empty: none
    };
    struct Listener {
        QString listen; // "0.0.0.0:502"
        QString writes; // refuse, lp, allow
        QStringList masters; // "10.0.0.7:51234"
    };
    struct Line {
        QString line;  // "rtu=1", "tcp=HOST:PORT"
        QString where; // "serial port 1 (/dev/ttyUSB0)"
        bool open = false;
        int requestsPerMin = 0;  // over the last 60 s
        std::array<quint64, kRequestFailureKinds> failures{}; // by RequestFailure
        double busyShare = 0;    // of the last 60 s, 0 to 1
        std::vector<Listener> listeners;
        QStringList meters; // serials, once known
    };
    struct LpRound {
        QDateTime at;
        int group = 1;
        long long records = 0; // added to the archive
    };
    struct Meter {
        QString serial; // empty until it answered
        QString line;
        int unit = 0;
        bool online = false;
        QDateTime since;    // online or offline since; invalid: not yet told
        QDateTime lastPoll; // invalid: never read
        double pollS = 0;   // the last poll's duration
        std::optional<qint64> clockOffsetS;
        std::optional<LpRound> lp;
        QStringList held; // ids of totals the total guard held back in the last poll
        QString firmware;
    };

    GatewayStatus();

    // Set up by the service, before the pollers start.
    void setGateway(const QString &name, const QString &version, const QString &broker, const QString &archive);
    // The line's number.
    int addLine(const links::MeterAddress &line, const std::vector<ListenerSettings> &listeners);
    void addMeter(int meter, int line, int unit);

    // The main thread's.
    void setBrokerConnected(bool connected);

    // The pollers'.
    void setLineOpen(int line, bool open);
    // One transaction's attempts on the line and its failed ones.
    void countRequests(int line, int attempts, const std::vector<RequestFailure> &failures);
    // The line was in use from start to end (steady clock).
    void addBusy(int line, std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end);
    void setMasters(int line, int listener, const QStringList &masters);
    void meterRead(int meter, const MeterState &state, double pollS, const QStringList &held);
    void meterAvailable(int meter, bool online);
    void lpRound(int meter, int group, long long records);
    void setArchiveError(const QString &error);

    // Snapshots, for any thread.
    Gateway gateway() const;
    std::vector<Line> lines() const;
    std::vector<Meter> meters() const;
    // Whether a meter of that serial is served.
    bool knows(const QString &serial) const;
    // The meter's last state as published (MeterPublisher): its typed
    // reading, firmware and diagnostics; nothing before its first answer or
    // for a serial not served.
    std::optional<MeterState> lastState(const QString &serial) const;

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kWindowS = 60;
    // One second of a line's last minute.
    struct Second {
        qint64 at = -1; // seconds since start_; -1: unused
        int requests = 0;
        qint64 busyMs = 0;
    };
    struct LineEntry {
        Line line;
        std::array<Second, kWindowS> seconds{};
    };
    struct MeterEntry {
        Meter meter;
        int line = 0;
        std::optional<MeterState> state;
    };
    Second &second(LineEntry &line, qint64 at);
    qint64 secondsNow() const;
    const MeterEntry *bySerial(const QString &serial) const;

    mutable std::mutex mutex_;
    Clock::time_point start_;
    Gateway gateway_;
    std::vector<LineEntry> lines_;
    std::map<int, MeterEntry> meters_;
};

} // namespace gateway
