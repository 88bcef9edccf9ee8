#pragma once

#include "links/meter_address.h"
#include "meter/reading.h"
#include "session/meter_access.h"
#include "session/meter_line.h"
#include "session/meter_request.h"
#include "session/poll_cycle.h"
#include "session/request_queue.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace session {

// One meter on its line: the transactions with it, its poll cycle, and the
// queue of settings to write to it. What it reads leaves as the poll cycle's
// signals (poll()), what becomes of each request as requestFinished. The
// window, the command-line tool and the gateway all drive one of these; the
// download of load-profile records runs on it (loadprofile::BlockDownload).
//
// Use it on one thread: its transactions wait in nested event loops. Several
// sessions may live on one thread, or each on a thread of its own.
class MeterSession : public QObject {
    Q_OBJECT
public:
    enum class Pacing {
        Timed,    // Timer1Sec polls while online (the window)
        OnDemand, // a cycle runs when pollOnce is called (the tool, the gateway)
    };

    // A session on a line of its own.
    explicit MeterSession(Pacing pacing, QObject *parent = nullptr);
    // A session on a shared line, as the meter of unit address unit.
    MeterSession(MeterLine &line, int unit, Pacing pacing, QObject *parent = nullptr);
    ~MeterSession() override;

    MeterLine &line() { return *line_; }
    links::LinkState &link() { return line_->link; }
    modbus::Transactions &transactions() { return line_->transactions.transactions(); }
    MeterAccess &meter() { return meter_; }
    PollCycle &poll() { return poll_; }
    const meter::Reading &reading() const { return poll_.reading(); }

    // Hands a setting to the poll cycle, which writes it after its reads.
    void request(MeterRequest request);
    bool requestPending(RequestKind kind) const { return requests_.pending(kind); }

    // For a session of its own line (the tool): opens the line to the
    // meter (MeterLine::open).
    bool open(const links::MeterAddress &address, QString *error);
    // Where the meter is, for its messages (a shared line's sessions are
    // told it; open() sets it).
    void setAddress(const links::MeterAddress &address) { address_ = address; }
    // One poll cycle now (the firmware first, the first time). False when
    // the meter did not answer, with the reason. Reads the meter refused
    // leave their values out of the reading (poll().refusedReads()).
    bool pollOnce(QString *error);
    // Why the meter did not answer: where it is, and the line's last
    // status text.
    QString noAnswer() const;
    const links::MeterAddress &address() const { return address_; }

signals:
    void requestFinished(const session::MeterRequest &request, const session::RequestResult &result);
    // A write moved the meter's address, rate or stop bits and the
    // connection followed it.
    void connectionFollowed(const session::ConnectionChange &change);
    // A text for the status line from the transactions ("CRC Error", ...).
    void statusText(const QString &text);

private:
    void finished(const MeterRequest &request, const RequestResult &result);
    void follow(const ConnectionChange &change);

    std::unique_ptr<MeterLine> ownLine_;
    MeterLine *line_;
    MeterAccess meter_;
    RequestQueue requests_;
    PollCycle poll_;
    links::MeterAddress address_;
    QString lastStatus_;
};

} // namespace session
