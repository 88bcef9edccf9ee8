#include "api_latency.h"

#include "archive/archive_store.h"
#include "gateway/api_routes.h"
#include "gateway/gateway_status.h"
#include "gateway/http_server.h"
#include "http_get.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kSerial = QStringLiteral("AWBENCHMETER0000");

// A year of group 1 from 2025-01-01 every 15 minutes, eight channels.
bool fillYear(const QString &path, long long *records)
{
    QString error;
    auto store = archive::ArchiveStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "archive: %s\n", qPrintable(error));
        return false;
    }
    const std::vector<int> codes{1, 2, 3, 4, 5, 6, 7, 12};
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    constexpr int kYear = 365 * 96;
    for (int first = 0; first < kYear; first += 2000) {
        std::vector<lpdata::Record> block;
        for (int i = first; i < std::min(first + 2000, kYear); ++i) {
            const QDateTime t = start.addSecs(i * 900LL);
            lpdata::Record r{std::uint8_t(t.date().year() - 2000), std::uint8_t(t.date().month()),
                             std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()),
                             std::uint8_t(t.time().minute()), 0, {}};
            for (std::size_t c = 0; c < codes.size(); ++c)
                r.values.push_back(double(i) * 0.25 + double(c));
            block.push_back(std::move(r));
        }
        if (!store->storeBlock(kSerial, 1, codes, block, &error)) {
            std::fprintf(stderr, "archive: %s\n", qPrintable(error));
            return false;
        }
    }
    *records = kYear;
    return true;
}

// p50 of n requests of target, in ms; its last answer's size in *bytes; -1 when one failed.
double p50(quint16 port, const QByteArray &target, int n, qsizetype *bytes)
{
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer took;
        took.start();
        const testsupport::HttpAnswer answer = testsupport::httpRequest(port, "GET " + target, {}, 120000);
        ms.push_back(double(took.nsecsElapsed()) / 1e6);
        if (answer.status != 200) {
            std::fprintf(stderr, "%s: %d\n", target.constData(), answer.status);
            return -1;
        }
        *bytes = answer.body.size();
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

bool apiLatency(int meters)
{
    QTemporaryDir dir;
    const QString archive = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("archive.sqlite"));
    long long records = 0;
    if (!fillYear(archive, &records))
        return false;
    gateway::GatewayStatus status;
    links::MeterAddress line;
    line.rtu = false;
    line.host = QStringLiteral("127.0.0.1");
    const int at = status.addLine(line, {});
    for (int m = 0; m < meters; ++m) {
        status.addMeter(m, at, m + 1);
        gateway::MeterState state;
        state.serial = m == 0 ? kSerial : QStringLiteral("AWBENCHMETER%1").arg(m, 4, 10, QLatin1Char('0'));
        state.firmware = QStringLiteral("V3705A00");
        status.meterAvailable(m, true);
        status.meterRead(m, state, 0.2, {});
        status.lpRound(m, 1, 4);
    }
    gateway::HttpServer server;
    gateway::registerApiRoutes(server, status, archive);
    QString error;
    if (!server.listen(QStringLiteral("127.0.0.1"), 0, &error)) {
        std::fprintf(stderr, "listen: %s\n", qPrintable(error));
        return false;
    }
    const QByteArray year = "/api/meters/" + kSerial.toLatin1() + "/lp?group=1&from=2025-01-01&until=2025-12-31&format=";
    qsizetype csvBytes = 0, jsonBytes = 0, metersBytes = 0;
    const double csv = p50(server.port(), year + "csv", 5, &csvBytes);
    const double json = p50(server.port(), year + "json", 5, &jsonBytes);
    const double list = p50(server.port(), "/api/meters", 51, &metersBytes);
    std::printf("(e) API: a meter-year of load profile (%lld records, 8 channels) as CSV p50 %.0f ms (%lld KiB), as "
                "JSON p50 %.0f ms (%lld KiB); /api/meters with %d meters p50 %.2f ms (%lld KiB)\n",
                records, csv, (long long)csvBytes / 1024, json, (long long)jsonBytes / 1024, meters, list,
                (long long)metersBytes / 1024);
    return csv >= 0 && json >= 0 && list >= 0;
}
