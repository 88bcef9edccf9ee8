#include "gateway/http_server.h"

#include <QHostAddress>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace gateway {

namespace {

// Descriptors kept aside for everything else the gateway opens: its lines,
// the broker, the archive, files.
constexpr rlim_t kOtherFiles = 256;

// The soft limit of open files raised so that `connections` more fit, as far
// as the hard limit allows; how many connections fit then.
unsigned fitOpenFiles(unsigned connections)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return connections;
    const rlim_t wanted = rlim_t(connections) + kOtherFiles;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted)
        return connections;
    return unsigned(std::max<rlim_t>(limit.rlim_cur / 2, limit.rlim_cur > kOtherFiles ? limit.rlim_cur - kOtherFiles : 0));
}

} // namespace

// What the library says while the server starts (why it cannot listen);
// afterwards its complaints about peers are left unsaid.
struct HttpServer::StartLog {
    std::mutex mutex;
    std::string text;
    bool open = true;
};

namespace {

MHD_Result send(MHD_Connection *connection, HttpResponse response)
{
    auto *body = new std::string(std::move(response.body));
    MHD_Response *r = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void *cls) { delete static_cast<std::string *>(cls); }, body);
    if (!r) {
        delete body;
        return MHD_NO;
    }
    // The library leaves the body out of an answer to HEAD.
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.c_str());
    if (response.status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    const MHD_Result queued = MHD_queue_response(connection, response.status, r);
    MHD_destroy_response(r);
    return queued;
}

} // namespace

struct HttpServer::Callbacks {
    static void log(void *cls, const char *format, va_list args)
    {
        auto *log = static_cast<HttpServer::StartLog *>(cls);
        const std::lock_guard lock(log->mutex);
        if (!log->open)
            return;
        char line[512];
        std::vsnprintf(line, sizeof line, format, args);
        log->text = line;
        while (!log->text.empty() && (log->text.back() == '\n' || log->text.back() == ' '))
            log->text.pop_back();
    }

    static MHD_Result accept(void *cls, const sockaddr *, socklen_t)
    {
        // One beyond the limit is closed at once rather than left waiting
        // in the listen queue.
        auto *self = static_cast<HttpServer *>(cls);
        const std::lock_guard lock(self->mutex_);
        return self->pending_.size() < self->limits_.maxConnections ? MHD_YES : MHD_NO;
    }

    static MHD_Result request(void *cls, MHD_Connection *connection, const char *url, const char *method,
                              const char *, const char *, std::size_t *uploadSize, void **requestState)
    {
        auto *self = static_cast<HttpServer *>(cls);
        HttpRequest request{method ? method : "", url ? url : ""};
        const bool known = request.method == MHD_HTTP_METHOD_GET || request.method == MHD_HTTP_METHOD_HEAD;
        if (!*requestState) {
            // The headers are in. Another method is answered now, and the
            // connection closed rather than its body read.
            *requestState = self;
            if (!known)
                return send(connection, {MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8", "GET or HEAD only\n"});
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            // A body to a GET: read and dropped, within the request's time.
            *uploadSize = 0;
            return MHD_YES;
        }
        // The whole request has arrived: its answer is not bound by the time.
        self->setDeadline(connection, Clock::time_point::max());
        return send(connection, self->answer(request));
    }

    static void completed(void *cls, MHD_Connection *connection, void **, MHD_RequestTerminationCode)
    {
        // A kept-alive connection has the same time for its next request.
        auto *self = static_cast<HttpServer *>(cls);
        self->setDeadline(connection, Clock::now() + std::chrono::seconds(self->limits_.requestSeconds));
    }

    static void connection(void *cls, MHD_Connection *connection, void **, MHD_ConnectionNotificationCode what)
    {
        auto *self = static_cast<HttpServer *>(cls);
        const std::lock_guard lock(self->mutex_);
        if (what == MHD_CONNECTION_NOTIFY_CLOSED) {
            // Before the library closes the socket: the watcher never
            // touches a descriptor that may have been given to another.
            self->pending_.erase(connection);
            return;
        }
        const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (!info)
            return;
        self->pending_[connection] = {info->connect_fd,
                                      Clock::now() + std::chrono::seconds(self->limits_.requestSeconds)};
        if (self->watcherIdle_) {
            self->watcherIdle_ = false;
            self->wake_.notify_one();
        }
    }
};

HttpServer::HttpServer(HttpLimits limits) : limits_(limits) {}

HttpServer::~HttpServer()
{
    if (daemon_)
        MHD_stop_daemon(daemon_);
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    if (watcher_.joinable())
        watcher_.join();
}

void HttpServer::route(const std::string &path, Handler handler) { routes_[path] = std::move(handler); }

HttpResponse HttpServer::answer(const HttpRequest &request) const
{
    const auto found = routes_.find(request.path);
    if (found == routes_.end())
        return {404, "text/plain; charset=utf-8", "not found\n"};
    try {
        return found->second(request);
    } catch (const std::exception &) {
        // What went wrong inside is not the peer's business.
        return {500, "text/plain; charset=utf-8", "internal error\n"};
    }
}

void HttpServer::setDeadline(MHD_Connection *connection, Clock::time_point deadline)
{
    const std::lock_guard lock(mutex_);
    const auto found = pending_.find(connection);
    if (found == pending_.end())
        return;
    found->second.deadline = deadline;
    if (deadline != Clock::time_point::max() && watcherIdle_) {
        watcherIdle_ = false;
        wake_.notify_one();
    }
}

void HttpServer::watchDeadlines()
{
    // Deadlines close to each other are served by one wake-up.
    constexpr auto kSlack = std::chrono::milliseconds(100);
    std::unique_lock lock(mutex_);
    while (!ending_) {
        const Clock::time_point now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        for (auto &[connection, pending] : pending_) {
            if (pending.deadline <= now) {
                // The library sees the end of the stream and closes it.
                ::shutdown(pending.fd, SHUT_RDWR);
                pending.deadline = Clock::time_point::max();
            } else {
                next = std::min(next, pending.deadline);
            }
        }
        if (next == Clock::time_point::max()) {
            watcherIdle_ = true;
            wake_.wait(lock, [this] { return ending_ || !watcherIdle_; });
        } else {
            wake_.wait_until(lock, next + kSlack);
        }
    }
}

bool HttpServer::listen(const QString &host, quint16 port, QString *error)
{
    const QHostAddress address(host);
    if (address.isNull()) {
        *error = QStringLiteral("'%1' is not an IP address to listen on").arg(host);
        return false;
    }
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        flags |= MHD_USE_IPv6;
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    }
    limits_.maxConnections = fitOpenFiles(limits_.maxConnections);

    startLog_ = std::make_unique<StartLog>();
    StartLog &log = *startLog_;
    daemon_ = MHD_start_daemon(
        flags, port, &Callbacks::accept, this, &Callbacks::request, this,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr *>(&storage),
        MHD_OPTION_CONNECTION_LIMIT, limits_.maxConnections + 1, // accept() refuses first
        // Also closes a kept-alive connection left idle, and a peer that
        // stops reading its answer.
        MHD_OPTION_CONNECTION_TIMEOUT, limits_.requestSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits_.bytesPerConnection,
        MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::connection, this,
        MHD_OPTION_EXTERNAL_LOGGER, &Callbacks::log, &log,
        MHD_OPTION_END);
    {
        const std::lock_guard lock(log.mutex);
        log.open = false;
    }
    if (!daemon_) {
        *error = log.text.empty() ? QStringLiteral("the HTTP server did not start") : QString::fromLocal8Bit(log.text);
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : port;
    watcher_ = std::thread([this] { watchDeadlines(); });
    return true;
}

} // namespace gateway
