#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

struct MHD_Connection;
struct MHD_Daemon;

namespace gateway {

struct HttpRequest {
    std::string method; // GET or HEAD; a route sees no other
    std::string path;   // without the query
};

struct HttpResponse {
    unsigned status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
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
};

// The gateway's one HTTP server: routes by path, each a handler that returns
// status, content type and body for a GET (or HEAD). One event-driven thread
// (epoll) serves every connection, so idle or slow peers cost a socket and a
// small buffer each and never hold up another client. Unknown paths get 404,
// other methods 405, a request that cannot be parsed 400 and a close.
//
// Handlers run on the server's thread, one at a time: they must be quick.
class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit HttpServer(HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Before listen().
    void route(const std::string &path, Handler handler);

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
    };

    struct Callbacks; // the library's calls into the server
    struct StartLog;
    HttpResponse answer(const HttpRequest &request) const;
    void watchDeadlines();
    void setDeadline(MHD_Connection *connection, Clock::time_point deadline);

    HttpLimits limits_;
    std::map<std::string, Handler> routes_;
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
};

} // namespace gateway
