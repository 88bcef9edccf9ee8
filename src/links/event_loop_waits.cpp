#include "links/event_loop_waits.h"

#include "links/link_state.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

namespace links {

std::int64_t EventLoopWaits::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// The timer interval up to `until`. A timer may end a little before its time
// on the millisecond clock; the waits then run their loop once more.
int remainingMs(std::int64_t until, std::int64_t now)
{
    return static_cast<int>(std::min<std::int64_t>(until - now, 24 * 3600 * 1000));
}

} // namespace

void EventLoopWaits::waitUntilPast(std::int64_t start, std::int64_t ms, bool endWhenOffline)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (endWhenOffline) {
        QObject::connect(&link_, &LinkState::linkOnlineChanged, &loop, [&loop](bool online) {
            if (!online)
                loop.quit();
        });
    }
    for (;;) {
        if (endWhenOffline && !link_.LinkOnline())
            return;
        const std::int64_t now = nowMs();
        if (now > start + ms)
            return;
        timer.start(remainingMs(start + ms + 1, now));
        loop.exec();
    }
}

bool EventLoopWaits::WaitForAnswer(std::int64_t deadline, const std::function<bool()> &settled)
{
    bool isSettled = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&link_, &LinkState::linkOnlineChanged, &loop, [&loop](bool online) {
        if (!online)
            loop.quit();
    });
    const auto look = [&] {
        if (!settled())
            return;
        isSettled = true;
        loop.quit();
    };
    // The serial link announces input once the expected count is in (see
    // SerialLink::expectInput); the socket's count reaches the transactions
    // (TransactionLink) before this looks at it.
    QObject::connect(&link_.serial, &SerialLink::inputArrived, &loop, look);
    QObject::connect(&link_.serial, &SerialLink::portLost, &loop, look);
    QObject::connect(&link_.tcp, &TcpLink::dataArrival, &loop, look);
    QObject::connect(&link_.tcp, &TcpLink::disconnected, &loop, look);
    QObject::connect(this, &EventLoopWaits::linkReleased, &loop, look);
    for (;;) {
        if (!link_.LinkOnline())
            return false;
        // The caller looked at settled() just before it asked to wait.
        if (isSettled)
            return true;
        const std::int64_t now = nowMs();
        if (now >= deadline)
            return true;
        timer.start(remainingMs(deadline, now));
        loop.exec();
    }
}

void EventLoopWaits::WaitGapSince(std::int64_t start, int ms) { waitUntilPast(start, ms, true); }

void EventLoopWaits::WaitWhileOnline(int ms) { waitUntilPast(nowMs(), ms, true); }

void EventLoopWaits::subDelay(double seconds)
{
    // "More than" the time, like the other waits: round up to whole milliseconds.
    waitUntilPast(nowMs(), static_cast<std::int64_t>(std::ceil(seconds * 1000.0)) - 1, false);
}

} // namespace links
