#include "gateway/http_server.h"

#include "gateway/http_target.h"

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

// What a header's value may hold: a handler's text never splits the answer.
bool fitsHeader(const std::string &value)
{
    return std::none_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

HttpResponse plain(unsigned status, std::string text) { return {status, "text/plain; charset=utf-8", std::move(text)}; }

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
    for (const auto &[name, value] : response.headers)
        if (fitsHeader(name) && fitsHeader(value))
            MHD_add_response_header(r, name.c_str(), value.c_str());
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

    static MHD_Result request(void *cls, MHD_Connection *connection, const char *, const char *method,
                              const char *, const char *, std::size_t *uploadSize, void **requestState)
    {
        auto *self = static_cast<HttpServer *>(cls);
        const std::string verb = method ? method : "";
        const bool known = verb == MHD_HTTP_METHOD_GET || verb == MHD_HTTP_METHOD_HEAD;
        if (!*requestState) {
            // The headers are in. Another method is answered now, and the
            // connection closed rather than its body read.
            *requestState = self;
            if (!known)
                return send(connection, plain(MHD_HTTP_METHOD_NOT_ALLOWED, "GET or HEAD only\n"));
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            // A body to a GET: read and dropped, within the request's time.
            *uploadSize = 0;
            return MHD_YES;
        }
        // The whole request has arrived: its answer is not bound by the time.
        self->setDeadline(connection, Clock::time_point::max());
        std::optional<HttpResponse> now = self->answer(connection, verb);
        return now ? send(connection, std::move(*now)) : MHD_YES;
    }

    static void *target(void *cls, const char *uri, MHD_Connection *connection)
    {
        // The target as sent: the library's own decoding would hide an
        // encoded "/" or NUL from the checks.
        auto *self = static_cast<HttpServer *>(cls);
        const std::lock_guard lock(self->mutex_);
        const auto found = self->pending_.find(connection);
        if (found != self->pending_.end())
            found->second.target = uri ? std::string(uri, ::strnlen(uri, kLongestTarget + 1)) : std::string();
        return nullptr;
    }

    static void completed(void *cls, MHD_Connection *connection, void **, MHD_RequestTerminationCode)
    {
        // A kept-alive connection has the same time for its next request.
        auto *self = static_cast<HttpServer *>(cls);
        {
            const std::lock_guard lock(self->mutex_);
            if (const auto found = self->pending_.find(connection); found != self->pending_.end()) {
                found->second.target.clear();
                found->second.atWorker = false;
                found->second.ready.reset();
            }
        }
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
        Pending &pending = self->pending_[connection];
        pending.fd = info->connect_fd;
        pending.deadline = Clock::now() + std::chrono::seconds(self->limits_.requestSeconds);
        if (self->watcherIdle_) {
            self->watcherIdle_ = false;
            self->wake_.notify_one();
        }
    }
};

HttpServer::HttpServer(HttpLimits limits) : limits_(limits) {}

HttpServer::~HttpServer()
{
    // The worker ends its job under way; those waiting get 503. Every
    // suspended connection is resumed before the library stops.
    std::deque<Job> left;
    {
        const std::lock_guard lock(mutex_);
        workerEnding_ = true;
    }
    workerWake_.notify_one();
    if (worker_.joinable())
        worker_.join();
    {
        const std::lock_guard lock(mutex_);
        left.swap(jobs_);
    }
    for (Job &job : left)
        finishJob(job.connection, plain(503, "the gateway is ending\n"));
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

void HttpServer::routePrefix(const std::string &prefix, Handler handler) { prefixes_[prefix] = std::move(handler); }

void HttpServer::requireAuthorization(Authorizer authorizer, std::string realm)
{
    authorizer_ = std::move(authorizer);
    realm_ = std::move(realm);
}

const HttpServer::Handler *HttpServer::find(HttpRequest &request) const
{
    if (const auto exact = routes_.find(request.path); exact != routes_.end())
        return &exact->second;
    const Handler *best = nullptr;
    std::size_t bestLength = 0;
    for (const auto &[prefix, route] : prefixes_)
        if (request.path.size() > prefix.size() && request.path.starts_with(prefix) && prefix.size() >= bestLength) {
            best = &route;
            bestLength = prefix.size();
        }
    if (best)
        request.rest = request.path.substr(bestLength);
    return best;
}

namespace {

template <typename Work>
HttpResponse guarded(Work &&work)
{
    try {
        return work();
    } catch (const std::exception &) {
        // What went wrong inside is not the peer's business.
        return plain(500, "internal error\n");
    }
}

} // namespace

std::optional<HttpResponse> HttpServer::answer(MHD_Connection *connection, const std::string &method)
{
    std::string raw;
    {
        const std::lock_guard lock(mutex_);
        const auto found = pending_.find(connection);
        if (found == pending_.end())
            return plain(500, "internal error\n");
        Pending &pending = found->second;
        if (pending.ready) // the worker's answer, after the connection was resumed
            return std::move(*std::exchange(pending.ready, nullptr));
        if (pending.atWorker)
            return std::nullopt;
        raw = pending.target;
    }
    HttpTarget target = parseTarget(raw);
    if (target.status != 0)
        return plain(target.status, target.why + "\n");
    if (authorizer_) {
        // Bounded by the connection's buffer; the authorizer bounds it further.
        const char *given = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        if (!authorizer_(given ? std::string_view(given) : std::string_view())) {
            HttpResponse refused = plain(401, "credentials needed\n");
            refused.headers = {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"" + realm_ + "\""},
                               {MHD_HTTP_HEADER_CACHE_CONTROL, "no-store"}};
            return refused;
        }
    }
    HttpRequest request{method, std::move(target.path), std::move(target.query), {}};
    const Handler *handler = find(request);
    if (!handler)
        return plain(404, "not found\n");
    HttpResponse response = guarded([&] { return (*handler)(request); });
    if (!response.onWorker)
        return response;
    {
        const std::lock_guard lock(mutex_);
        if (jobs_.size() >= limits_.waitingForWorker || workerEnding_) {
            HttpResponse busy = plain(503, "busy: try again shortly\n");
            busy.headers = {{MHD_HTTP_HEADER_RETRY_AFTER, "1"}};
            return busy;
        }
        // Suspended before the worker may resume it.
        MHD_suspend_connection(connection);
        pending_[connection].atWorker = true;
        jobs_.push_back({connection, std::move(response.onWorker)});
    }
    workerWake_.notify_one();
    return std::nullopt;
}

void HttpServer::work()
{
    std::unique_lock lock(mutex_);
    while (true) {
        workerWake_.wait(lock, [this] { return workerEnding_ || !jobs_.empty(); });
        if (workerEnding_)
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        finishJob(job.connection, guarded(job.work));
        lock.lock();
    }
}

void HttpServer::finishJob(MHD_Connection *connection, HttpResponse response)
{
    {
        const std::lock_guard lock(mutex_);
        // A suspended connection stays: the library neither closes nor times it out.
        pending_[connection].ready = std::make_unique<HttpResponse>(std::move(response));
    }
    MHD_resume_connection(connection);
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
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME;
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
        MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::target, this,
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
    worker_ = std::thread([this] { work(); });
    return true;
}

} // namespace gateway
