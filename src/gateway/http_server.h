#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

struct MHD_Connection;
struct MHD_Daemon;

namespace gateway {

struct HttpRequest {
    std::string method; // GET or HEAD; a route sees no other
    std::string path;   // without the query, decoded (see http_target.h)
    std::map<std::string, std::string> query; // decoded
    std::string rest;   // of a prefix route: the path after its prefix
};

struct HttpResponse {
    unsigned status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    // More headers: Cache-Control, WWW-Authenticate, Content-Disposition ...
    std::vector<std::pair<std::string, std::string>> headers = {};
    // Work too slow for the server's thread (a query of the archive): when
    // set, the answer is what it returns on the server's worker thread, and
    // the rest of this response is not used.
    std::function<HttpResponse()> onWorker = {};
};

// What a peer can make the server hold or wait for.
struct HttpLimits {
    // Connections open at once; one beyond is closed as soon as it is taken.
    unsigned maxConnections = 2048;
    // A request must arrive whole within this many seconds of the
    // connection's start (or of the previous answer on a kept-alive one);
    // the connection is closed otherwise.
    unsigned requestSeconds = 5;
    // Buffer of one connection: a request line and headers longer than this
    // get 414 or 431.
    std::size_t bytesPerConnection = 16 * 1024;
    // Answers waiting for the worker (HttpResponse::onWorker); one beyond gets 503.
    std::size_t waitingForWorker = 8;
};

// The gateway's one HTTP server: routes by path or by a path's prefix, each a
// handler that returns status, headers and body for a GET (or HEAD: the same
// without its body). One event-driven thread (epoll) serves every
// connection, so idle or slow peers cost a socket and a small buffer each and
// never hold up another client. Before any route, the target is checked
// (parseTarget: 400 or 414) and, when an authorizer is set, the request's
// credentials (401). Unknown paths get 404, other methods 405, a request that
// cannot be parsed 400 and a close.
//
// Handlers run on the server's thread, one at a time: they must be quick.
// What takes longer, a handler hands to the server's one worker thread
// (HttpResponse::onWorker): the connection is suspended meanwhile (the
// library's suspend/resume), so the server's thread never waits for it and
// /metrics is answered as ever; one job runs at a time, at most
// HttpLimits::waitingForWorker wait, one more gets 503 at once.
class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit HttpServer(HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Whether an Authorization header's value (empty: none) lets a request in.
    using Authorizer = std::function<bool(std::string_view authorization)>;

    // Before listen(). An exact path wins over a prefix, a longer prefix over
    // a shorter one.
    void route(const std::string &path, Handler handler);
    // Paths that start with prefix (and are longer); the request's rest is
    // what follows it.
    void routePrefix(const std::string &prefix, Handler handler);
    // Every request then needs credentials it accepts; 401 with a
    // WWW-Authenticate for realm without them. Before listen().
    void requireAuthorization(Authorizer authorizer, std::string realm);

    // Listens on host (an IP address: 127.0.0.1, 0.0.0.0, ::1) and port (0:
    // a free one); false and the reason in *error when it cannot. Raises the
    // process's soft limit of open files toward the hard one so that the
    // connection limit fits; lowers the connection limit when it cannot.
    bool listen(const QString &host, quint16 port, QString *error);
    quint16 port() const { return port_; }
    const HttpLimits &limits() const { return limits_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        int fd = -1;
        Clock::time_point deadline = Clock::time_point::max(); // max: a request is being answered
        std::string target;  // of the request under way, as sent (up to kLongestTarget + 1 bytes)
        bool atWorker = false; // handed to the worker, the connection suspended
        std::unique_ptr<HttpResponse> ready; // the worker's answer
    };
    struct Job {
        MHD_Connection *connection = nullptr;
        std::function<HttpResponse()> work;
    };

    struct Callbacks; // the library's calls into the server
    struct StartLog;
    // The route of request (its rest filled in); nullptr: none.
    const Handler *find(HttpRequest &request) const;
    // Answers or hands to the worker; what to answer now, nothing when the
    // worker has it.
    std::optional<HttpResponse> answer(MHD_Connection *connection, const std::string &method);
    void work();
    void finishJob(MHD_Connection *connection, HttpResponse response);
    void watchDeadlines();
    void setDeadline(MHD_Connection *connection, Clock::time_point deadline);

    HttpLimits limits_;
    std::map<std::string, Handler> routes_;
    std::map<std::string, Handler> prefixes_;
    Authorizer authorizer_;
    std::string realm_;
    std::unique_ptr<StartLog> startLog_;
    MHD_Daemon *daemon_ = nullptr;
    quint16 port_ = 0;

    // Connections waiting for a whole request, closed by watchDeadlines()
    // when it does not come in time.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unordered_map<MHD_Connection *, Pending> pending_;
    bool ending_ = false;
    bool watcherIdle_ = false; // waits with no deadline to wake at
    std::thread watcher_;

    // The worker and its queue, under mutex_.
    std::condition_variable workerWake_;
    std::deque<Job> jobs_;
    bool workerEnding_ = false;
    std::thread worker_;
};

} // namespace gateway
