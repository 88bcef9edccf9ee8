// The archive beside the window's downloads, against the simulated meter:
// every block a download reads is kept; "new records only" downloads
// exactly the records the meter has recorded since; the viewer draws them; the tool exports the
// archive as the files the window wrote (and the records' flags), and its --new finds nothing
// more. A meter whose clock was set back, then was off for a while: every record kept, flagged.
#include "../loadprofile/lp_meter_rows.h"
#include "archive/archive_store.h"
#include "archive/interval_quality.h"
#include "gui/app/archive_link.h"
#include "gui/lpviewer/load_profile_chart.h"
#include "gui/lpviewer/load_profile_viewer.h"
#include "loadprofile/block_download.h"
#include "loadprofile/date_search_job.h"
#include "meter_session.h"
#include "session/poll_cycle.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

constexpr int kPatienceMs = 60000;
const QString kSerial = QStringLiteral("AWMETER012345678");

QString finished(int last)
{
    return QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01").arg(last);
}

// Runs the tool; its standard output, or "exit N: <errors>" when it failed.
QString runTool(const QStringList &args)
{
    QProcess tool;
    tool.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")), args);
    if (!tool.waitForFinished(120000))
        tool.kill();
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(tool.exitCode()).arg(QString::fromLocal8Bit(tool.readAllStandardError()));
    return out;
}

} // namespace

class TestLPArchiveWithMeter : public QObject {
    Q_OBJECT
private slots:
    void newRecordsOnlyAndExport();
    void aLockedArchiveIsWaitedFor();
    void clockSetBackKeepsEveryRecord();
    void windowNewOnlyAfterClockSetBack();
};

// Another program holds the archive's write lock for 4 s while the tool
// downloads 600 records into it: the tool waits, and every record is stored.
void TestLPArchiveWithMeter::aLockedArchiveIsWaitedFor()
{
    testsupport::MeterSession session;
    QVERIFY2(session.startMeter({QStringLiteral("--lp-count"), QStringLiteral("1=600")}, true), qPrintable(session.error()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    QProcess tool;
    tool.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
               {QStringLiteral("lp"), QStringLiteral("--tcp"), session.address(), QStringLiteral("--group"), QStringLiteral("1"),
                QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("600"),
                QStringLiteral("--store"), QStringLiteral("sqlite:") + path, QStringLiteral("--out"), dir.filePath(QStringLiteral("lp"))});
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other program"));
        other.setDatabaseName(path);
        other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery query(other);
        const auto stored = [&] {
            return other.open() && query.exec(QStringLiteral("SELECT COUNT(*) FROM lp_records")) && query.next()
                       ? query.value(0).toInt() : 0;
        };
        QVERIFY(QTest::qWaitFor([&] { return stored() > 0; }, kPatienceMs));
        query.finish();
        QVERIFY2(query.exec(QStringLiteral("BEGIN IMMEDIATE")), qPrintable(query.lastError().text()));
        QVERIFY(query.exec(QStringLiteral("INSERT INTO lp_channel_names (channel_code, channel_name) VALUES (9999, 'held')")));
        QTest::qWait(4000);
        QVERIFY(query.exec(QStringLiteral("COMMIT")));
        QVERIFY2(tool.waitForFinished(120000), "the tool did not finish");
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0, qPrintable(err));
        QCOMPARE(stored(), 600);
        query = QSqlQuery();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other program"));
}

void TestLPArchiveWithMeter::newRecordsOnlyAndExport()
{
    // An archive of this run's own, for the window and the tool.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    testsupport::MeterSession session;
    const auto programDir = testsupport::englishProgramFolder();
    QVERIFY(programDir);
    QVERIFY2(session.startMeter(), qPrintable(session.error()));
    QVERIFY(session.openWindow(programDir->path()));
    const auto list = [&](const char *name) { return session.started->control<QComboBox>(QLatin1String(name)); };
    QVERIFY(session.goOnline([&] { return list("Combo_LP_Stop_No")->count() == 100; }));
    const QDir lpData(programDir->filePath(QStringLiteral("LP Data")));
    const auto waitFor = [&](const QString &status) {
        return QTest::qWaitFor([&] { return session.shown(QStringLiteral("Text6")) == status; }, kPatienceMs);
    };

    list("Combo_LP_Start_No")->setCurrentIndex(0);
    list("Combo_LP_Stop_No")->setCurrentIndex(49);
    session.started->control<QPushButton>(QStringLiteral("Command8"))->click();
    QVERIFY2(waitFor(finished(50)), qPrintable(session.shown(QStringLiteral("Text6"))));

    // The meter records five more.
    QVERIFY(session.meter->sendCommand(QStringLiteral("set input:0x1190=55")));
    loadprofile::BlockDownload &download = session.window().download();
    QVERIFY(QTest::qWaitFor([&] { return list("Combo_LP_Stop_No")->count() == 55 && !session.window().dateSearch().lpNewData(meter::LpGroup::first()); },
                            kPatienceMs));
    session.started->control<QPushButton>(QStringLiteral("cmdLPNew"))->click();
    QVERIFY2(waitFor(finished(55)), qPrintable(session.shown(QStringLiteral("Text6"))));
    QVERIFY(!download.LPDownloading());
    const QStringList files = lpData.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    const QString newFile = lpData.filePath(files.last()); // ..._Group1_1.csv
    QCOMPARE(lptest::csvRows(newFile), lptest::expectedRows(51, 55));

    // The archive holds the 55 records once each, stored on its own thread.
    QVERIFY(QTest::qWaitFor([&] { return session.window().archiveLink().idle(); }, kPatienceMs));
    QString error;
    auto store = archive::ArchiveStore::open(archive::ArchiveStore::defaultPath(), &error);
    QVERIFY2(store, qPrintable(error));
    const int channel1[] = {1};
    const auto records = store->records(kSerial, 1, channel1, {}, &error);
    QVERIFY2(records, qPrintable(error));
    QCOMPARE(records->size(), std::size_t(55));
    // The viewer draws all 55 of channel 1.
    auto *viewer = session.window().findChild<lpviewer::LoadProfileViewer *>(QStringLiteral("frmLPViewer"));
    QVERIFY(viewer);
    QSignalSpy drawn(viewer, &lpviewer::LoadProfileViewer::periodShown);
    session.started->control<QPushButton>(QStringLiteral("cmdLPViewer"))->click();
    QVERIFY(drawn.wait(10000));
    viewer->findChild<QPushButton *>(QStringLiteral("cmdLPViewerAll"))->click();
    QVERIFY(drawn.wait(10000));
    QCOMPARE(viewer->chart().lines().size(), 1u);
    QCOMPARE(viewer->chart().lines()[0]->count(), 55);
    viewer->close();

    // Nothing newer now.
    session.started->messages.shown.clear();
    session.started->control<QPushButton>(QStringLiteral("cmdLPNew"))->click();
    QTRY_COMPARE(session.started->messages.shown.size(), 1);
    QVERIFY(session.started->messages.shown.first().text.startsWith(QStringLiteral("No records newer")));
    QCOMPARE(lpData.entryList(QDir::Files).size(), 2);

    // The tool exports what the window downloaded, row for row.
    QTemporaryDir exported;
    const QString paths = runTool({QStringLiteral("archive"), QStringLiteral("export"), QStringLiteral("--serial"),
                                   kSerial, QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--out"),
                                   exported.path()});
    QVERIFY2(!paths.startsWith(QStringLiteral("exit")), qPrintable(paths));
    QStringList flagged; // no record with a flag: each row ends with an empty one
    for (const QString &row : lptest::expectedRows(1, 55))
        flagged << row + u',';
    QCOMPARE(lptest::csvRows(paths.trimmed()), flagged);
    const QString listed = runTool({QStringLiteral("archive"), QStringLiteral("list")});
    QVERIFY2(listed.contains(QRegularExpression(kSerial + QStringLiteral("\\s+1\\s+55\\s"))), qPrintable(listed));

    // The tool's --new on the same meter finds nothing more.
    session.started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click(); // one client on the line
    const QString again = runTool({QStringLiteral("lp"), QStringLiteral("--rtu"), QStringLiteral("3"),
                                   QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--new"),
                                   QStringLiteral("--out"), exported.path()});
    QVERIFY2(again.startsWith(QStringLiteral("nothing new")), qPrintable(again));
}

// The meter's clock was set back two hours before record 60 (records 60..67
// repeat the stamps of 52..59): the tool's file and the archive hold all 100
// records, the repeated ones flagged. The clock goes back again and the
// meter adds 43 records: --new fetches exactly those, 8 of them repeating
// stamps. Then the meter is off for 6 intervals: the gap is kept.
void TestLPArchiveWithMeter::clockSetBackKeepsEveryRecord()
{
    testsupport::MeterSession session;
    QVERIFY2(session.startMeter({QStringLiteral("--lp-shift"), QStringLiteral("1=60:-120")}, true),
             qPrintable(session.error()));
    QTemporaryDir dir;
    const QString store = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("archive.sqlite"));
    const auto lp = [&](const QStringList &range, const QString &out) {
        return runTool(QStringList{QStringLiteral("lp"), QStringLiteral("--tcp"), session.address(),
                                   QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--store"), store,
                                   QStringLiteral("--out"), dir.filePath(out)}
                       + range);
    };
    const auto flags = [&] {
        QString error;
        auto archive = archive::ArchiveStore::open(store, &error);
        std::vector<archive::RecordQuality> quality;
        const int channel1[] = {1};
        const auto records = archive ? archive->records(kSerial, 1, channel1, {}, &error, &quality) : std::nullopt;
        QStringList texts;
        for (std::size_t i = 0; records && i < records->size(); ++i)
            texts << archive::qualityText(quality[i]);
        return texts;
    };
    const QString all = lp({QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("100")},
                           QStringLiteral("all"));
    QVERIFY2(all.startsWith(QStringLiteral("100 records from record 1 on")), qPrintable(all));
    QCOMPARE(lptest::csvRows(QDir(dir.filePath(QStringLiteral("all"))).entryInfoList(QDir::Files).value(0).filePath()).size(), 100);
    QStringList stored = flags();
    QCOMPARE(stored.size(), 100);
    QCOMPARE(stored.count(QStringLiteral("repeated")), 7);
    QCOMPARE(stored.count(QStringLiteral("repeated out-of-order")), 1);

    QVERIFY(session.meter->sendCommand(QStringLiteral("lp-shift 1 -120")));
    QVERIFY(session.meter->sendCommand(QStringLiteral("add-records 1 43")));
    const QString fresh = lp({QStringLiteral("--new")}, QStringLiteral("new"));
    QVERIFY2(fresh.startsWith(QStringLiteral("43 new records; 8 of them repeat earlier stamps (clock set back?)\n"
                                             "43 records from record 101 on")),
             qPrintable(fresh));
    stored = flags();
    QCOMPARE(stored.size(), 143);
    QCOMPARE(stored.count(QStringLiteral("repeated")) + stored.count(QStringLiteral("repeated out-of-order")), 16);

    QVERIFY(session.meter->sendCommand(QStringLiteral("lp-gap 1 6")));
    QVERIFY(session.meter->sendCommand(QStringLiteral("add-records 1 4")));
    const QString afterGap = lp({QStringLiteral("--new")}, QStringLiteral("gap"));
    QVERIFY2(afterGap.startsWith(QStringLiteral("4 new records\n")), qPrintable(afterGap));
    QCOMPARE(flags().count(QStringLiteral("gap=6")), 1);
    const QString nothing = lp({QStringLiteral("--new")}, QStringLiteral("none"));
    QVERIFY2(nothing.startsWith(QStringLiteral("nothing new")), qPrintable(nothing));
}

// The window's "new records only" after the meter's clock was set back an
// hour: the 8 records added since, 4 of them stamped before the newest
// archived one, all in the new file and the archive; the window says so.
void TestLPArchiveWithMeter::windowNewOnlyAfterClockSetBack()
{
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    testsupport::MeterSession session;
    const auto programDir = testsupport::englishProgramFolder();
    QVERIFY(programDir);
    QVERIFY2(session.startMeter({QStringLiteral("--lp-count"), QStringLiteral("1=50")}), qPrintable(session.error()));
    QVERIFY(session.openWindow(programDir->path()));
    const auto list = [&](const char *name) { return session.started->control<QComboBox>(QLatin1String(name)); };
    QVERIFY(session.goOnline([&] { return list("Combo_LP_Stop_No")->count() == 50; }));
    const auto waitFor = [&](const QString &status) {
        return QTest::qWaitFor([&] { return session.shown(QStringLiteral("Text6")) == status; }, kPatienceMs);
    };
    session.started->control<QPushButton>(QStringLiteral("cmdLPNew"))->click();
    QVERIFY2(waitFor(finished(50)), qPrintable(session.shown(QStringLiteral("Text6"))));
    QVERIFY(QTest::qWaitFor([&] { return session.window().archiveLink().idle(); }, kPatienceMs));

    QVERIFY(session.meter->sendCommand(QStringLiteral("lp-shift 1 -60")));
    QVERIFY(session.meter->sendCommand(QStringLiteral("add-records 1 8")));
    QVERIFY(QTest::qWaitFor([&] { return list("Combo_LP_Stop_No")->count() == 58 && !session.window().dateSearch().lpNewData(meter::LpGroup::first()); },
                            kPatienceMs));
    session.started->messages.shown.clear();
    session.started->control<QPushButton>(QStringLiteral("cmdLPNew"))->click();
    QVERIFY2(waitFor(finished(58)), qPrintable(session.shown(QStringLiteral("Text6"))));
    const QDir lpData(programDir->filePath(QStringLiteral("LP Data")));
    const QStringList files = lpData.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    QStringList added;
    for (int record = 51; record <= 58; ++record)
        added << lptest::expectedRow(record, QDateTime(QDate(2024, 2, 29), QTime(23, 0), Qt::UTC));
    QCOMPARE(lptest::csvRows(lpData.filePath(files.last())), added);
    QTRY_COMPARE_WITH_TIMEOUT(session.started->messages.shown.size(), 1, kPatienceMs);
    QCOMPARE(session.started->messages.shown.first().text,
             QStringLiteral("8 new records; 4 of them repeat earlier stamps (clock set back?)."));
    QString error;
    auto store = archive::ArchiveStore::open(archive::ArchiveStore::defaultPath(), &error);
    QVERIFY2(store, qPrintable(error));
    const int channel1[] = {1};
    QCOMPARE(store->records(kSerial, 1, channel1, {}, &error).value().size(), std::size_t(58));
}

QTEST_MAIN(TestLPArchiveWithMeter)
#include "test_lp_archive_with_meter.moc"
