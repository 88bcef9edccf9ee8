#include "link/event_loop_waits.h"

#include "link/link_state.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>
#include <cmath>

std::int64_t EventLoopWaits::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EventLoopWaits::End EventLoopWaits::waitUntilPast(std::int64_t start, std::int64_t ms,
                                                  bool endWhenOffline,
                                                  const std::function<bool()> *inputEnds)
{
    bool inputArrived = false;
    for (;;) {
        if (endWhenOffline && !link_.LinkOnline())
            return End::Offline;
        if (inputArrived)
            return End::Input;
        const std::int64_t remaining = start + ms + 1 - nowMs();
        if (remaining <= 0)
            return End::Time;

        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QTimer partialCheck;
        partialCheck.setTimerType(Qt::PreciseTimer);
        partialCheck.setInterval(kPartialAnswerCheckMs);
        if (endWhenOffline) {
            QObject::connect(&link_, &LinkState::linkOnlineChanged, &loop, [&loop](bool online) {
                if (!online)
                    loop.quit();
            });
        }
        if (inputEnds) {
            const auto arrived = [&] {
                if (!(*inputEnds)())
                    return;
                inputArrived = true;
                loop.quit();
            };
            QObject::connect(&link_.serial, &SerialLink::inputArrived, &loop, arrived);
            QObject::connect(&link_.tcp, &TcpLink::dataArrival, &loop, arrived);
            // A serial answer that has begun is checked at short intervals
            // until it is complete; before its first byte nothing polls.
            QObject::connect(&link_.serial, &SerialLink::inputArrived, &partialCheck,
                             qOverload<>(&QTimer::start));
            QObject::connect(&partialCheck, &QTimer::timeout, &loop, arrived);
            if (link_.serial.isOpen() && link_.serial.inBufferCount() > 0)
                partialCheck.start();
        }
        timer.start(static_cast<int>(remaining));
        loop.exec();
    }
}

void EventLoopWaits::WaitGapSince(std::int64_t start, int ms) { waitUntilPast(start, ms, true); }

void EventLoopWaits::WaitWhileOnline(int ms) { waitUntilPast(nowMs(), ms, true); }

bool EventLoopWaits::WaitForAnswerWhileOnline(int ms,
                                              const std::function<bool()> &answerComplete)
{
    return waitUntilPast(nowMs(), ms, true, &answerComplete) != End::Input;
}

void EventLoopWaits::subDelay(double seconds)
{
    // "More than" the time, like the other waits: round up to whole milliseconds.
    waitUntilPast(nowMs(), static_cast<std::int64_t>(std::ceil(seconds * 1000.0)) - 1, false);
}
