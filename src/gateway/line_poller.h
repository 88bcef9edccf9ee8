#pragma once

#include "gateway/listener_settings.h"
#include "gateway/meter_publisher.h"
#include "gateway/meter_schedule.h"
#include "links/meter_address.h"
#include "meter/lp_group.h"
#include "modbus/traffic.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace archive {
class DownloadArchiver;
}
namespace links {
class StderrTraffic;
}
namespace session {
class MeterLine;
class MeterSession;
}

namespace gateway {

class GatewayStatus;
class ListenerMetrics;
class MeterMetrics;
class SharedLine;

// How the gateway serves its meters.
struct ServeTimes {
    qint64 everyMs = 10000;       // between polls of a meter
    qint64 lpEveryMs = 15 * 60000; // between load-profile rounds; 0: never
};

// One line of the gateway (a serial port, or a TCP host and port) with the
// meters on it, polled around the clock on the thread the poller lives on:
// one request at a time, the meters in turn as their schedule makes them
// due (MeterSchedule), each meter's load-profile groups downloaded
// "new only" into the archive every lpEveryMs between its polls. A line
// that cannot be opened, or whose connection drops, is opened again after
// 1 s, 2 s ... up to a minute.
//
// Make it, move it to its thread, then start() there (queued). stop() may be
// called from any thread: the poll or archive block under way ends, then
// stopped() comes.
class LinePoller : public QObject {
    Q_OBJECT
public:
    struct Meter {
        int index = 0;       // the caller's number for it (its place in the meters file)
        links::MeterAddress address;
        int clockSyncS = 0; // how far its clock may be off before it is set; 0: never
    };
    static constexpr qint64 kMasterPointerQuietMs = 30000;

    // The archive: empty for none. claimsWorker: with a PostgreSQL archive,
    // the gateway's name, under which each meter's round is claimed in the
    // fleet's table (empty: no claims).
    LinePoller(links::MeterAddress line, std::vector<Meter> meters, ServeTimes times, QString archivePath,
               QString claimsWorker, MeterMetrics *metrics, bool log);
    // Before start(): the line's listeners, and their metrics (nullptr: none).
    void setListeners(std::vector<ListenerSettings> listeners, ListenerMetrics *metrics);
    // After listenersReady: the port each listener listens on, in their order.
    std::vector<quint16> listenerPorts() const;
    ~LinePoller() override;

    void start();
    void stop();
    // Before start(): the page's status to feed (nullptr: none), and the
    // line's number in it.
    void setStatus(GatewayStatus *status, int line)
    {
        status_ = status;
        statusLine_ = line;
    }
    // Before start(): an observer of the line's traffic (a benchmark's
    // count of bytes on the wire); --log's lines take its place.
    void setTrafficObserver(modbus::TrafficObserver *observer) { observer_ = observer; }

signals:
    void meterRead(int meter, const MeterState &state);
    void meterAvailable(int meter, bool online);
    void logLine(const QString &line);
    // Once start() has opened the listeners: empty, or why one could not listen.
    void listenersReady(const QString &error);
    void stopped();

private:
    struct Served;
    void step();
    void later(qint64 ms);
    bool openLine();
    void poll(Served &meter);
    void downloadNewRecords(Served &meter);
    void downloadGroup(Served &meter, meter::LpGroup group, archive::DownloadArchiver &archiver);
    void tell(Served &meter, bool online, const QString &why);
    // The masters' requests that wait, when the line is free for them.
    void serveMasters();
    // A master moved the meter's record pointer within kMasterPointerQuietMs:
    // how long ago.
    std::optional<qint64> masterAtPointer(const Served &meter) const;
    QString name(const Served &meter) const;

    links::MeterAddress lineAddress_;
    std::vector<Meter> meters_;
    ServeTimes times_;
    QString archivePath_;
    QString claimsWorker_;
    MeterMetrics *metrics_;
    bool log_;
    modbus::TrafficObserver *observer_ = nullptr;
    GatewayStatus *status_ = nullptr;
    int statusLine_ = 0;

    std::vector<ListenerSettings> listenerSettings_;
    ListenerMetrics *listenerMetrics_ = nullptr;
    std::vector<quint16> listenerPorts_;

    std::unique_ptr<links::StderrTraffic> traffic_;
    std::unique_ptr<session::MeterLine> line_;
    std::unique_ptr<SharedLine> shared_;
    std::vector<std::unique_ptr<Served>> served_;
    std::optional<MeterSchedule> schedule_;
    QElapsedTimer clock_;
    QTimer next_;
    qint64 reopenAt_ = 0;
    qint64 reopenDelayMs_ = 1000;
    QString lineError_;
    std::atomic_bool stopping_ = false;
    bool inStep_ = false;
};

} // namespace gateway
