// Workers of a fleet against simulated meters on Modbus TCP and one
// PostgreSQL archive the test starts itself: a worker killed in the middle of
// a meter, its meter finished by the others once its lease ran out, every
// record in the archive exactly once; and the password that only comes
// from the environment.
#include "metersim_process.h"
#include "postgres_server.h"
#include "test_paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <csignal>
#include <sys/types.h>
#include <memory>

namespace {

constexpr int kMeters = 6;
constexpr int kRecords = 240;

QString serialOf(int m) { return QStringLiteral("FLEETMETER0000%1").arg(m, 2, 10, QLatin1Char('0')); }

// A look at the archive's tables beside the workers.
class Archive {
public:
    explicit Archive(const testsupport::PostgresServer &server, const QString &database)
    {
        server.connect(name_, database);
    }
    ~Archive()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    // The first field of each row, or the error.
    QStringList column(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        if (!query.exec(sql))
            return {QStringLiteral("failed: ") + query.lastError().text()};
        QStringList values;
        while (query.next())
            values << query.value(0).toString();
        return values;
    }

private:
    QString name_ = QStringLiteral("fleet-look-%1").arg(QRandomGenerator::global()->generate());
};

QString cli() { return QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")); }

} // namespace

class TestFleetWithMeters : public QObject {
    Q_OBJECT
    testsupport::PostgresServer server_;
    std::array<testsupport::MeterSim, kMeters> meters_;
    QTemporaryDir dir_;
    QString metersFile_;

private slots:
    void initTestCase()
    {
        QVERIFY2(server_.start(), qPrintable(server_.errorString()));
        QFile list(dir_.filePath(QStringLiteral("meters.txt")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        for (int m = 0; m < kMeters; ++m) {
            const QString address = QStringLiteral("127.0.64.%1:502").arg(m + 1);
            QVERIFY2(meters_[size_t(m)].start({QStringLiteral("--tcp"), address, QStringLiteral("--serial"), serialOf(m),
                                               QStringLiteral("--lp-count"), QStringLiteral("1=%1").arg(kRecords)}),
                     qPrintable(meters_[size_t(m)].errorString()));
            list.write(QStringLiteral("tcp=%1 group=1\n").arg(address).toLatin1());
        }
        metersFile_ = list.fileName();
    }

    void killedWorkersMeterFinishedByTheOthers()
    {
        QVERIFY2(server_.createDatabase(QStringLiteral("fleet")), qPrintable(server_.errorString()));
        const Archive archive(server_, QStringLiteral("fleet"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGPASSWORD"), QString::fromLatin1(testsupport::PostgresServer::password()));
        std::array<QProcess, 3> workers;
        for (int w = 0; w < 3; ++w) {
            workers[size_t(w)].setProcessEnvironment(environment);
            workers[size_t(w)].start(cli(), {QStringLiteral("lp"), QStringLiteral("--meters"), metersFile_,
                                             QStringLiteral("--new"), QStringLiteral("--store"), server_.url(QStringLiteral("fleet")),
                                             QStringLiteral("--worker"), QStringLiteral("w%1").arg(w + 1),
                                             QStringLiteral("--lease-s"), QStringLiteral("3"), QStringLiteral("--jobs"),
                                             QStringLiteral("1"), QStringLiteral("--out"),
                                             dir_.filePath(QStringLiteral("out%1").arg(w + 1))});
        }
        // w1 dies while it holds a meter of which it has stored a block, and
        // before it could finish it.
        QString victim;
        QVERIFY2(QTest::qWaitFor([&] {
                     const QStringList held = archive.column(QStringLiteral(
                         "SELECT c.meter_key FROM lp_meter_claims c WHERE c.worker = 'w1' AND c.finished_at IS NULL"));
                     const auto meter = QRegularExpression(QStringLiteral("127\\.0\\.64\\.(\\d+)")).match(held.value(0));
                     // The meter at 127.0.64.n is serialOf(n - 1).
                     if (!meter.hasMatch()
                         || archive.column(QStringLiteral("SELECT COUNT(*) FROM lp_records JOIN lp_meter_groups "
                                                          "USING (series_id) WHERE meter_serial = '%1'")
                                               .arg(serialOf(meter.captured(1).toInt() - 1)))
                                    .value(0).toInt() == 0)
                         return false;
                     victim = held[0];
                     return true;
                 }, 60000),
                 qPrintable(archive.column(QStringLiteral("SELECT worker || ' ' || meter_key FROM lp_meter_claims")).join(u'\n')));
        QTest::qWait(150); // a block or two more
        workers[0].kill();
        QVERIFY(workers[0].waitForFinished(10000));
        QCOMPARE(workers[0].exitStatus(), QProcess::CrashExit);

        int metersRead = 0;
        long long recordsRead = 0;
        for (int w = 1; w < 3; ++w) {
            QProcess &worker = workers[size_t(w)];
            QVERIFY2(worker.waitForFinished(120000), "a worker did not finish");
            const QString out = QString::fromLocal8Bit(worker.readAllStandardOutput());
            QVERIFY2(worker.exitCode() == 0, qPrintable(out + QString::fromLocal8Bit(worker.readAllStandardError())));
            const auto summary = QRegularExpression(QStringLiteral("worker w%1: (\\d+) meters read, (\\d+) records").arg(w + 1))
                                     .match(out);
            QVERIFY2(summary.hasMatch(), qPrintable(out));
            metersRead += summary.captured(1).toInt();
            recordsRead += summary.captured(2).toLongLong();
        }
        // Every meter's records, each once, and the killed worker's meter
        // finished by another.
        for (int m = 0; m < kMeters; ++m)
            QCOMPARE(archive.column(QStringLiteral("SELECT COUNT(*) || ' ' || COUNT(DISTINCT recorded_at) || ' ' || "
                                                   "MIN(recorded_at) || ' ' || MAX(recorded_at) FROM lp_records "
                                                   "JOIN lp_meter_groups USING (series_id) "
                                                   "WHERE meter_serial = '%1' AND lp_group = 1")
                                        .arg(serialOf(m))),
                     QStringList{QStringLiteral("%1 %1 2024-03-01 00:00:00 %2")
                                     .arg(kRecords)
                                     .arg(QDateTime(QDate(2024, 3, 1), QTime(0, 0)).addSecs((kRecords - 1) * 900LL)
                                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
        QCOMPARE(archive.column(QStringLiteral("SELECT COUNT(*) FROM lp_values")),
                 QStringList{QString::number(kMeters * kRecords * 8)});
        const QStringList taker = archive.column(
            QStringLiteral("SELECT worker || ' ' || result FROM lp_meter_claims WHERE meter_key = '%1'").arg(victim));
        const auto taken = QRegularExpression(QStringLiteral("^w[23] (\\d+) records$")).match(taker.value(0));
        QVERIFY2(taker.size() == 1 && taken.hasMatch(), qPrintable(taker.join(u'|')));
        // Each meter read by one of the two, the killed one's from where it stopped.
        QCOMPARE(metersRead, kMeters);
        QCOMPARE(recordsRead, (kMeters - 1) * kRecords + taken.captured(1).toLongLong());
        QVERIFY(taken.captured(1).toInt() < kRecords);
        QCOMPARE(archive.column(QStringLiteral("SELECT COUNT(*) FROM lp_meter_claims WHERE finished_at IS NOT NULL "
                                               "AND worker <> 'w1' AND result LIKE '%records'")),
                 QStringList{QString::number(kMeters)});

        // archive list names every meter and who read it last.
        QProcess list;
        list.setProcessEnvironment(environment);
        list.start(cli(), {QStringLiteral("archive"), QStringLiteral("list"), QStringLiteral("--store"),
                           server_.url(QStringLiteral("fleet"))});
        QVERIFY(list.waitForFinished(30000));
        const QString listing = QString::fromLocal8Bit(list.readAllStandardOutput());
        QVERIFY2(listing.contains(serialOf(kMeters - 1) + QStringLiteral("      1       %1").arg(kRecords))
                     && listing.contains(victim),
                 qPrintable(listing));
    }

    // A worker that stalls past its lease (here: stopped) finds its meter
    // taken over when it goes on: the meter is the other's, not a failure.
    void stalledWorkerLeavesItsMeterToTheOther()
    {
        QVERIFY2(server_.createDatabase(QStringLiteral("stall")), qPrintable(server_.errorString()));
        const Archive archive(server_, QStringLiteral("stall"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGPASSWORD"), QString::fromLatin1(testsupport::PostgresServer::password()));
        std::array<QProcess, 2> workers;
        for (int w = 0; w < 2; ++w) {
            workers[size_t(w)].setProcessEnvironment(environment);
            workers[size_t(w)].start(cli(), {QStringLiteral("lp"), QStringLiteral("--meters"), metersFile_,
                                             QStringLiteral("--new"), QStringLiteral("--store"), server_.url(QStringLiteral("stall")),
                                             QStringLiteral("--worker"), QStringLiteral("s%1").arg(w + 1),
                                             QStringLiteral("--lease-s"), QStringLiteral("2"), QStringLiteral("--jobs"),
                                             QStringLiteral("1"), QStringLiteral("--out"),
                                             dir_.filePath(QStringLiteral("stall%1").arg(w + 1))});
        }
        const QString held = QStringLiteral("SELECT meter_key FROM lp_meter_claims WHERE worker = 's1' AND finished_at IS NULL");
        QVERIFY(QTest::qWaitFor([&] { return !archive.column(held).isEmpty()
                                             && archive.column(QStringLiteral("SELECT COUNT(*) FROM lp_records")).value(0).toInt() > 0; },
                                60000));
        const QString victim = archive.column(held).value(0);
        ::kill(pid_t(workers[0].processId()), SIGSTOP);
        QVERIFY(QTest::qWaitFor([&] {
            return archive.column(QStringLiteral("SELECT worker FROM lp_meter_claims WHERE meter_key = '%1'").arg(victim))
                   == QStringList{QStringLiteral("s2")};
        }, 60000));
        ::kill(pid_t(workers[0].processId()), SIGCONT);
        QStringList tables;
        for (QProcess &worker : workers) {
            QVERIFY2(worker.waitForFinished(120000), "a worker did not finish");
            const QString out = QString::fromLocal8Bit(worker.readAllStandardOutput());
            QVERIFY2(worker.exitCode() == 0, qPrintable(out + QString::fromLocal8Bit(worker.readAllStandardError())));
            tables << out;
        }
        const QString victimLine = tables[0].split(u'\n').filter(victim.section(u',', 0, 0)).value(0);
        QVERIFY2(victimLine.contains(QLatin1String("read by s2")), qPrintable(tables[0]));
        QCOMPARE(archive.column(QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT (series_id, recorded_at)) FROM lp_records")),
                 QStringList{QStringLiteral("0")});
        QCOMPARE(archive.column(QStringLiteral("SELECT COUNT(*) FROM lp_records")), QStringList{QString::number(kMeters * kRecords)});
    }

    // The password reaches the server only through PGPASSWORD or ~/.pgpass:
    // without them the tool says the server wants one, and nothing is read.
    void noPasswordNoArchive()
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("PGPASSWORD"));
        environment.insert(QStringLiteral("PGPASSFILE"), dir_.filePath(QStringLiteral("no-such-pgpass")));
        tool.setProcessEnvironment(environment);
        tool.start(cli(), {QStringLiteral("archive"), QStringLiteral("list"), QStringLiteral("--store"),
                           server_.url(QStringLiteral("postgres"))});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(error.contains(QLatin1String("password")) && error.contains(server_.url(QStringLiteral("postgres"))),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestFleetWithMeters)
#include "test_fleet_with_meters.moc"
