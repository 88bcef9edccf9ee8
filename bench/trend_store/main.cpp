// Feeds the trend's point store a day of polling (three readings a second)
// of 8 quantities, and prints, measured in the same run:
//  - the memory the store counts for its points, against the 50 MiB it
//    may take,
//  - the growth of the process's resident memory over the day,
//  - the time a reading takes to store against the time between readings.
//
//   bench_trend_store [--hours N]   (default 24)

#include "meter/reading.h"
#include "process_usage.h"
#include "trend/point_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cmath>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    double hours = 24;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--hours"));
    if (at >= 0 && at + 1 < args.size())
        hours = args[at + 1].toDouble();

    constexpr qint64 kPollMs = 333;
    const meter::Q chosen[] = {meter::VoltageLnA, meter::VoltageLnB, meter::VoltageLnC,
                                 meter::CurrentA,   meter::CurrentB,   meter::CurrentC,
                                 meter::KwTotal,    meter::Frequency};
    trend::PointStore store;
    store.choose(chosen);
    meter::Reading reading;
    const double rssBefore = testsupport::residentMiB();
    const qint64 readings = qint64(hours * 3600 * 1000) / kPollMs;
    QElapsedTimer took;
    took.start();
    for (qint64 i = 0; i < readings; ++i) {
        for (const meter::Q q : chosen)
            reading.values[std::size_t(q)] = 230 + 5 * std::sin(double(i + q) / 37.0) + double(i % 13) / 10.0;
        reading.receivedAtMs.fill(1'700'000'000'000 + i * kPollMs);
        store.take(reading);
    }
    const double storeMs = double(took.nsecsElapsed()) / 1e6 / double(readings);
    const double mib = double(store.bytes()) / (1024.0 * 1024.0);
    std::printf("%.0f h of polling, %lld readings of 8 quantities: store %.2f MiB, %.3f of the 50 MiB allowed\n",
                hours, readings, mib, mib / 50.0);
    std::printf("resident memory growth %.2f MiB (%.3f of 50 MiB)\n", testsupport::residentMiB() - rssBefore,
                (testsupport::residentMiB() - rssBefore) / 50.0);
    std::printf("storing a reading takes %.2e of the %lld ms between readings\n", storeMs / double(kPollMs),
                kPollMs);
    return 0;
}
