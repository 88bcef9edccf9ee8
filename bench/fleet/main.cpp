// Fleet downloads into one PostgreSQL archive: simulated meters on Modbus
// TCP at loopback addresses 127.0.0.x, each holding the same count of
// 8-channel records, read by ampwright-cli workers into a server this
// benchmark starts. Prints, measured in one run:
//  - one meter alone over TCP: records per second, and as a ratio to the
//    5 records a second of the window's fixed pauses,
//  - one worker, then three workers at once (each into a new database):
//    records per second in total, processor time per worker, and whether
//    the archive holds every record exactly once,
//  - the three workers' speed as a ratio to the one worker's.
//
//   bench_fleet [--meters N] [--records N] [--jobs N]   (defaults 30, 2000, 4)

#include "metersim_process.h"
#include "postgres_server.h"
#include "test_paths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr double kWindowPacedRecordsPerSecond = 5.0;

QString cli() { return QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")); }

struct Worker {
    QString name;
    std::unique_ptr<QProcess> process;
    double cpuSeconds = -1;
    long long records = 0;
};

// Starts the workers at once and waits for all; false when one fails.
bool runWorkers(std::vector<Worker> &workers, const QStringList &arguments, double *seconds)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), QString::fromLatin1(testsupport::PostgresServer::password()));
    QElapsedTimer took;
    took.start();
    for (Worker &w : workers) {
        w.process = std::make_unique<QProcess>();
        w.process->setProcessEnvironment(environment);
        w.process->start(cli(), arguments + QStringList{QStringLiteral("--worker"), w.name});
    }
    bool ok = true;
    for (Worker &w : workers) {
        w.process->waitForFinished(-1);
        const QString out = QString::fromLocal8Bit(w.process->readAllStandardOutput());
        const auto summary = QRegularExpression(QStringLiteral("worker .*: \\d+ meters read, (\\d+) records .* processor ([0-9.]+) s"))
                                 .match(out);
        if (w.process->exitCode() != 0 || !summary.hasMatch()) {
            std::fprintf(stderr, "worker %s failed:\n%s%s\n", qPrintable(w.name), qPrintable(out),
                         qPrintable(QString::fromLocal8Bit(w.process->readAllStandardError())));
            ok = false;
            continue;
        }
        w.records = summary.captured(1).toLongLong();
        w.cpuSeconds = summary.captured(2).toDouble();
    }
    *seconds = took.elapsed() / 1000.0;
    return ok;
}

// "every record once" when the archive holds each meter's records exactly
// once, else what it holds.
QString onceCheck(const testsupport::PostgresServer &server, const QString &database, int meters, int records)
{
    QString verdict;
    {
        QSqlDatabase db = server.connect(QStringLiteral("check"), database);
        QSqlQuery query(db);
        if (!db.isOpen()
            || !query.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT series_id), "
                                          "(SELECT COUNT(*) FROM lp_values), "
                                          "(SELECT COUNT(*) FROM (SELECT series_id FROM lp_records GROUP BY series_id "
                                          "HAVING COUNT(DISTINCT recorded_at) <> %1) AS short) FROM lp_records")
                               .arg(records))
            || !query.next()) {
            verdict = QStringLiteral("cannot check: ") + (db.isOpen() ? query.lastError().text() : db.lastError().text());
        } else {
            const long long rows = query.value(0).toLongLong();
            const long long expected = (long long)meters * records;
            verdict = rows == expected && query.value(1).toInt() == meters
                              && query.value(2).toLongLong() == expected * 8 && query.value(3).toInt() == 0
                          ? QStringLiteral("every record once")
                          : QStringLiteral("WRONG: %1 records of %2 meters, %3 values, %4 meters incomplete")
                                .arg(rows).arg(query.value(1).toInt()).arg(query.value(2).toLongLong()).arg(query.value(3).toInt());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return verdict;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("meters"), QStringLiteral("Simulated meters."), QStringLiteral("N"), QStringLiteral("30")},
                       {QStringLiteral("records"), QStringLiteral("Records per meter."), QStringLiteral("N"), QStringLiteral("2000")},
                       {QStringLiteral("jobs"), QStringLiteral("Meters a worker reads at a time."), QStringLiteral("N"),
                        QStringLiteral("4")}});
    parser.process(app);
    const int meterCount = std::clamp(parser.value(QStringLiteral("meters")).toInt(), 1, 250);
    const int records = std::clamp(parser.value(QStringLiteral("records")).toInt(), 1, 65535);
    const QString jobs = QString::number(std::clamp(parser.value(QStringLiteral("jobs")).toInt(), 1, 64));

    testsupport::PostgresServer server;
    if (!server.start() || !server.createDatabase(QStringLiteral("one")) || !server.createDatabase(QStringLiteral("three"))) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("meters.txt")));
    if (!list.open(QIODevice::WriteOnly))
        return 1;
    std::vector<std::unique_ptr<testsupport::MeterSim>> meters;
    for (int m = 0; m < meterCount; ++m) {
        const QString address = QStringLiteral("127.0.0.%1:1502").arg(m + 11);
        meters.push_back(std::make_unique<testsupport::MeterSim>());
        if (!meters.back()->start({QStringLiteral("--tcp"), address, QStringLiteral("--serial"),
                                   QStringLiteral("BENCHFLEET%1").arg(m, 6, 10, QLatin1Char('0')),
                                   QStringLiteral("--lp-count"), QStringLiteral("1=%1").arg(records)})) {
            std::fprintf(stderr, "meter %d: %s\n", m, qPrintable(meters.back()->errorString()));
            return 1;
        }
        list.write(QStringLiteral("tcp=%1 group=1\n").arg(address).toLatin1());
    }
    list.close();
    std::printf("%d simulated meters on Modbus TCP, %d records of 8 channels each, %s meters at a time per worker\n",
                meterCount, records, qPrintable(jobs));

    // One meter alone, into no archive: the link's own speed.
    {
        QElapsedTimer took;
        took.start();
        QProcess one;
        one.start(cli(), {QStringLiteral("lp"), QStringLiteral("--tcp"), QStringLiteral("127.0.0.11:1502"), QStringLiteral("--group"),
                          QStringLiteral("1"), QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--to"),
                          QString::number(records), QStringLiteral("--no-store"), QStringLiteral("--out"), dir.filePath(QStringLiteral("one"))});
        one.waitForFinished(-1);
        const double rate = records / (took.elapsed() / 1000.0);
        std::printf("one meter alone:   %7.1f records/s (%.0f times the window's pace of %.0f records/s)%s\n", rate,
                    rate / kWindowPacedRecordsPerSecond, kWindowPacedRecordsPerSecond,
                    one.exitCode() == 0 ? "" : "  FAILED");
    }

    const auto fleetRun = [&](const QString &database, int count, double *rate) {
        std::vector<Worker> workers(static_cast<std::size_t>(count));
        for (int w = 0; w < count; ++w)
            workers[std::size_t(w)].name = QStringLiteral("%1-%2").arg(database).arg(w + 1);
        double seconds = 0;
        const bool ok = runWorkers(workers,
                                   {QStringLiteral("lp"), QStringLiteral("--meters"), list.fileName(), QStringLiteral("--new"),
                                    QStringLiteral("--store"), server.url(database), QStringLiteral("--jobs"), jobs,
                                    QStringLiteral("--out"), dir.filePath(database)},
                                   &seconds);
        *rate = double(meterCount) * records / seconds;
        QStringList cpu;
        for (const Worker &w : workers)
            cpu << QStringLiteral("%1 s (%2 %)").arg(w.cpuSeconds, 0, 'f', 1).arg(100.0 * w.cpuSeconds / seconds, 0, 'f', 1);
        std::printf("%d worker%s:  %7.1f records/s in total, %.1f s; processor per worker: %s; %s%s\n", count,
                    count == 1 ? " " : "s", *rate, seconds, qPrintable(cpu.join(QStringLiteral(", "))),
                    qPrintable(onceCheck(server, database, meterCount, records)), ok ? "" : "; A WORKER FAILED");
        return ok;
    };
    double one = 0, three = 0;
    const bool oneOk = fleetRun(QStringLiteral("one"), 1, &one);
    const bool threeOk = fleetRun(QStringLiteral("three"), 3, &three);
    std::printf("three workers / one worker: %.2f\n", three / one);
    return oneOk && threeOk ? 0 : 1;
}
