// The one download job, run to its end against the simulated meter over
// TCP: ranges by number, by date and "new only", a stop after each block, a
// block that fails and comes again, a meter gone mid-download, a record
// without a date; what ends up in the CSV file and how the job says it ended.
#include "loadprofile/download_job.h"
#include "lp_meter_rows.h"
#include "lpdata/date_serial.h"
#include "metersim_process.h"
#include "session/meter_session.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using loadprofile::DownloadEnd;
using loadprofile::DownloadRange;
using Reason = DownloadEnd::Reason;

Q_DECLARE_METATYPE(DownloadRange)
Q_DECLARE_METATYPE(Reason)

namespace {

double stampOf(int record)
{
    const QDateTime t = QDateTime(QDate(2024, 3, 1), QTime(0, 0)).addSecs(qint64(record - 1) * 900);
    return lpdata::dateSerial(t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), 0);
}

QDateTime timeOf(int record) { return QDateTime(QDate(2024, 3, 1), QTime(0, 0)).addSecs(qint64(record - 1) * 900); }

// What the archive holds: its newest stamp, and the record (with its stamp)
// where its last download ended; 0: none.
lpdata::ArchivedEnd archived(int newest, int lastRecord = 0, int stampedAs = 0)
{
    return {timeOf(newest), lastRecord, lastRecord ? timeOf(stampedAs) : QDateTime()};
}

} // namespace

class TestDownloadJob : public QObject {
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
};

void TestDownloadJob::runs_data()
{
    QTest::addColumn<DownloadRange>("range");
    QTest::addColumn<QStringList>("commands"); // to the meter before the download
    QTest::addColumn<int>("stopAfterBlocks");  // 0: never
    QTest::addColumn<QString>("lateCommand");  // to the meter after the first block
    QTest::addColumn<Reason>("reason");
    QTest::addColumn<int>("first"); // records in the file; 0: none
    QTest::addColumn<int>("last");
    const QStringList none;
    QTest::newRow("records 1 to 10") << DownloadRange::records(1, 10) << none << 0 << "" << Reason::Done << 1 << 10;
    QTest::newRow("one record") << DownloadRange::records(5, 5) << none << 0 << "" << Reason::Done << 5 << 5;
    QTest::newRow("to the newest") << DownloadRange::records(97, 0) << none << 0 << "" << Reason::Done << 97 << 100;
    QTest::newRow("not in the group") << DownloadRange::records(90, 120) << none << 0 << "" << Reason::NotInGroup << 0 << 0;
    QTest::newRow("by date") << DownloadRange::dates(stampOf(25), stampOf(29)) << none << 0 << "" << Reason::Done << 25 << 29;
    QTest::newRow("new only, none archived") << DownloadRange::newOnly(std::nullopt) << none << 0 << "" << Reason::Done << 1
                                             << 100;
    QTest::newRow("new only after 95") << DownloadRange::newOnly(archived(95)) << none << 0 << "" << Reason::Done << 96 << 100;
    QTest::newRow("nothing new") << DownloadRange::newOnly(archived(100)) << none << 0 << "" << Reason::NothingNew << 0 << 0;
    // The newest stamp is the meter's newest, but the last download ended at 95 (a clock set back).
    QTest::newRow("new only after record 95 by its number")
        << DownloadRange::newOnly(archived(100, 95, 95)) << none << 0 << "" << Reason::Done << 96 << 100;
    QTest::newRow("by number: its last record is the meter's newest")
        << DownloadRange::newOnly(archived(100, 100, 100)) << none << 0 << "" << Reason::NothingNew << 0 << 0;
    QTest::newRow("the meter's record 95 stamped otherwise: by the newest stamp")
        << DownloadRange::newOnly(archived(97, 95, 40)) << none << 0 << "" << Reason::Done << 98 << 100;
    QTest::newRow("stopped after a block") << DownloadRange::records(1, 40) << none << 1 << "" << Reason::Stopped << 1 << 4;
    QTest::newRow("stopped after three") << DownloadRange::records(1, 40) << none << 3 << "" << Reason::Stopped << 1 << 12;
    QTest::newRow("a block that comes in its third attempt")
        << DownloadRange::records(1, 12) << QStringList{"drop@reg=4:0x2000,times=2"} << 0 << "" << Reason::Done << 1 << 12;
    QTest::newRow("the meter silent after a block") << DownloadRange::records(1, 40) << none << 0 << "drop@all"
                                                    << Reason::NoAnswer << 1 << 4;
    QTest::newRow("a record without a date") << DownloadRange::records(1, 8) << QStringList{"set input:0x2000=0x1800"} << 0
                                             << "" << Reason::BadRecord << 0 << 0;
}

void TestDownloadJob::runs()
{
    QFETCH(DownloadRange, range);
    QFETCH(QStringList, commands);
    QFETCH(int, stopAfterBlocks);
    QFETCH(QString, lateCommand);
    QFETCH(Reason, reason);
    QFETCH(int, first);
    QFETCH(int, last);
    testsupport::MeterSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    for (const QString &command : commands)
        QVERIFY(sim.sendCommand(command));

    session::MeterSession meter(session::MeterSession::Pacing::OnDemand);
    links::MeterAddress address;
    address.rtu = false;
    address.host = sim.tcpAddress();
    address.tcpPort = sim.tcpPort();
    address.tcpPauseMs = 0;
    QString error;
    QVERIFY2(meter.open(address, &error), qPrintable(error));
    loadprofile::DownloadJob job(meter, {3});
    int blocks = 0;
    QObject::connect(&job, &loadprofile::DownloadJob::progress, [&] {
        ++blocks;
        if (blocks == stopAfterBlocks)
            job.stop();
        if (blocks == 1 && !lateCommand.isEmpty())
            sim.sendCommand(lateCommand);
    });
    QTemporaryDir out;
    const DownloadEnd end = job.run(meter::LpGroup::first(), range, {out.path(), QString()});

    QCOMPARE(end.reason, reason);
    const QStringList files = QDir(out.path()).entryList(QDir::Files);
    const QStringList rows = files.isEmpty() ? QStringList() : lptest::csvRows(QDir(out.path()).filePath(files.first()));
    QCOMPARE(rows, first == 0 ? QStringList() : lptest::expectedRows(first, last));
    QCOMPARE(end.records, qsizetype(rows.size()));
    if (reason == Reason::BadRecord)
        QCOMPARE(end.badRecord, 1LL);
}

QTEST_GUILESS_MAIN(TestDownloadJob)
#include "test_download_job.moc"
