// The load-profile archive: storing blocks once, keeping every record of a
// repeated stamp with its flags, the analysts' view, CSV import and export,
// a version-2 archive brought up to date, a broken file moved aside, a
// writer killed between blocks, and the fleet's claims of meters. Built twice:
// on SQLite files, and (ARCHIVE_ON_POSTGRES) on a PostgreSQL server of the
// test's own, each test in a new database.
#include "archive/archive_location.h"
#include "archive/archive_store.h"
#include "archive/archive_thread.h"
#include "archive/download_archiver.h"
#include "archive/stamp_text.h"
#include "lpdata/csv_file.h"
#include "postgres_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <atomic>
#include <cmath>

using archive::ArchiveStore;
using archive::StoreResult;
using lpdata::Record;
using Records = std::vector<lpdata::Record>;
Q_DECLARE_METATYPE(StoreResult)
Q_DECLARE_METATYPE(Records)

namespace archive {

char *toString(const StoreResult &r)
{
    return QTest::toString(QStringLiteral("added %1, unchanged %2, repeated %3").arg(r.added).arg(r.unchanged).arg(r.repeated));
}
} // namespace archive

namespace {

const char kStoreUntilKilled[] = "--store-blocks-until-killed";
constexpr int kBlock = 4;
const std::vector<int> kEight{1, 2, 3, 4, 5, 6, 7, 12};
const QString kSerial = QStringLiteral("ABCDEFGH12345678");

lpdata::Record record(int y, int mo, int d, int h, int mi, int s, std::vector<double> values)
{
    return {std::uint8_t(y - 2000), std::uint8_t(mo), std::uint8_t(d), std::uint8_t(h), std::uint8_t(mi),
            std::uint8_t(s), std::move(values)};
}

// count records from quarter hour `first` of 2024-03-01 on, each value
// base + 0.25 * channel.
Records quarterHours(int first, int count, std::size_t channels, double base)
{
    Records records;
    for (int i = first; i < first + count; ++i) {
        const QDateTime t = QDateTime(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC).addSecs(i * 900LL);
        std::vector<double> values;
        for (std::size_t c = 0; c < channels; ++c)
            values.push_back(base + 0.25 * double(c));
        records.push_back(record(t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                 t.time().minute(), 0, values));
    }
    return records;
}


// A meter's records stamped at minute offsets from 2024-03-01 00:15 on, in
// the meter's order: channel 0 the record's number (from 1), channel 1 the
// value of its minute, so that records of one stamp may hold the same values.
Records meterRecords(const QList<int> &minutes, bool sameValuesPerStamp)
{
    Records records;
    for (qsizetype i = 0; i < minutes.size(); ++i) {
        const QDateTime t = QDateTime(QDate(2024, 3, 1), QTime(0, 15), Qt::UTC).addSecs(minutes[i] * 60LL);
        const double own = sameValuesPerStamp ? minutes[i] : double(i + 1);
        records.push_back(record(t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                 t.time().minute(), 0, {own, minutes[i] * 0.5}));
    }
    return records;
}

// Record numbers first..last (from 1) of records as a download hands them
// to the archive: blocks of four, in order.
bool download(ArchiveStore &store, const Records &records, int first, int last)
{
    archive::DownloadBlocks blocks;
    for (int from = first; from <= last; from += kBlock) {
        const int to = std::min(last, from + kBlock - 1);
        const Records block(records.begin() + from - 1, records.begin() + to);
        if (!blocks.store(&store, {}, {kSerial, 1, {3, 12}, QStringLiteral("15"), from, block}).stored)
            return false;
    }
    return true;
}

// Each record's flags as the archive hands them out, in its order (stamp,
// then occurrence): "<minute>#<occurrence> <flags>".
QStringList storedFlags(const ArchiveStore &store, const QString &serial = kSerial)
{
    QString error;
    std::vector<archive::RecordQuality> quality;
    const auto records = store.records(serial, 1, std::vector<int>{3, 12}, {}, &error, &quality);
    QStringList flags;
    for (std::size_t i = 0; records && i < records->size(); ++i)
        flags << QStringLiteral("%1#%2 %3")
                     .arg(int(records->at(i).values[1] * 2))
                     .arg(quality[i].occurrence)
                     .arg(archive::qualityText(quality[i]))
                     .trimmed();
    return flags;
}

#ifdef ARCHIVE_ON_POSTGRES
constexpr bool kOnServer = true;
#else
constexpr bool kOnServer = false;
#endif

// A connection of the test's own beside the store's, to look at the tables.
struct SideConnection {
    QString name = QStringLiteral("side-%1").arg(QRandomGenerator::global()->generate());
    explicit SideConnection(const QString &path)
    {
        const auto location = archive::parseArchiveLocation(path, nullptr);
        const bool server = location && location->kind == archive::ArchiveLocation::Kind::Postgres;
        QSqlDatabase db = QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
        if (server) { // the password comes from PGPASSWORD
            db.setHostName(location->host);
            db.setPort(location->port);
            db.setUserName(location->user);
            db.setDatabaseName(location->database);
        } else {
            db.setDatabaseName(path);
        }
        db.open();
    }
    ~SideConnection()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    // The rows of a query, each as its fields joined by "|".
    QStringList rows(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        if (!query.exec(sql))
            return {QStringLiteral("failed: ") + query.lastError().text()};
        QStringList rows;
        while (query.next()) {
            QStringList fields;
            for (int i = 0; i < query.record().count(); ++i)
                fields << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
            rows << fields.join(u'|');
        }
        return rows;
    }
};

// The kept version-2 file's tables and rows, made on a server as the
// program of that version made them there.
bool copyVersionTwo(const QString &file, const QString &server)
{
    SideConnection from(file);
    SideConnection to(server);
    const QStringList tables{
        "CREATE TABLE archive_version (version INTEGER NOT NULL)",
        "CREATE TABLE lp_channel_names (channel_code INTEGER PRIMARY KEY, channel_name TEXT NOT NULL)",
        "CREATE TABLE lp_records (record_id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
        "meter_serial TEXT NOT NULL, lp_group INTEGER NOT NULL CHECK (lp_group IN (1, 2)), recorded_at TEXT NOT NULL, "
        "channel_count INTEGER NOT NULL CHECK (channel_count BETWEEN 1 AND 12), UNIQUE (meter_serial, lp_group, recorded_at))",
        "CREATE TABLE lp_record_values (record_id BIGINT NOT NULL REFERENCES lp_records (record_id), "
        "channel_code INTEGER NOT NULL, column_index INTEGER NOT NULL, value DOUBLE PRECISION, "
        "PRIMARY KEY (record_id, channel_code))",
        "CREATE VIEW lp_values AS SELECT r.meter_serial, r.lp_group, r.recorded_at, v.channel_code, n.channel_name, "
        "v.value FROM lp_records r JOIN lp_record_values v ON v.record_id = r.record_id "
        "LEFT JOIN lp_channel_names n ON n.channel_code = v.channel_code",
        "CREATE TABLE lp_meter_claims (meter_key TEXT PRIMARY KEY, worker TEXT NOT NULL, lease_until DOUBLE PRECISION "
        "NOT NULL, finished_at DOUBLE PRECISION, result TEXT, records BIGINT NOT NULL DEFAULT 0)"};
    for (const QString &sql : tables)
        if (!to.rows(sql).isEmpty())
            return false;
    for (const char *table : {"archive_version", "lp_channel_names", "lp_records", "lp_record_values", "lp_meter_claims"}) {
        for (const QString &row : from.rows(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)))) {
            QStringList values;
            for (const QString &field : row.split(u'|'))
                values << (field == QLatin1String("NULL") ? field : u'\'' + field + u'\'');
            if (!to.rows(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(QLatin1String(table), values.join(u','))).isEmpty())
                return false;
        }
    }
    return true;
}

QString stampOf(const lpdata::Record &r)
{
    return lpdata::dateText(r) + u' ' + lpdata::timeText(r);
}

// The counts, or -1s for records refused.
StoreResult counts(const std::optional<StoreResult> &result)
{
    return result.value_or(StoreResult{-1, -1, -1});
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The child's loop: stores blocks of 4 records of 8 channels, continuing
// after the newest stored record, and says so after every block.
int storeBlocksUntilKilled(const QString &path)
{
    QString error;
    auto store = ArchiveStore::open(path, &error);
    if (!store)
        return 1;
    const QDateTime newest = *store->newestRecord(kSerial, 1, &error);
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC);
    int next = newest.isValid() ? int(start.secsTo(newest) / 900) + 1 : 0;
    for (int block = 0; block < 200000; ++block, next += kBlock) {
        if (!store->storeBlock(kSerial, 1, kEight, quarterHours(next, kBlock, kEight.size(), next), &error))
            return 2;
        std::printf("%d\n", block);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

class TestArchiveCore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::optional<ArchiveStore> m_store;
    testsupport::PostgresServer m_server;
    int m_databases = 0;

    // Where the current test keeps its archive: a new file, or a new database.
    QString newArchive()
    {
        if (!kOnServer)
            return m_dir.filePath(QStringLiteral("%1 %2.sqlite").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        const QString name = QStringLiteral("archive%1").arg(++m_databases);
        return m_server.createDatabase(name) ? m_server.url(name) : QString();
    }

    long long storedCount() const
    {
        QString error;
        const auto meters = m_store->meters(&error);
        long long count = 0;
        for (const archive::MeterSummary &m : meters.value())
            count += m.records;
        return count;
    }

private slots:
    // Numbers and rows must not change in a locale with a decimal comma.
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (kOnServer) {
            QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
            qputenv("PGPASSWORD", testsupport::PostgresServer::password());
        }
    }

    void init()
    {
        m_path = newArchive();
        QVERIFY2(!m_path.isEmpty(), qPrintable(m_server.errorString()));
        QString error;
        m_store = ArchiveStore::open(m_path, &error);
        QVERIFY2(m_store, qPrintable(error));
    }
    void cleanup() { m_store.reset(); }

    void storeAgain_data()
    {
        QTest::addColumn<Records>("first");
        QTest::addColumn<Records>("second");
        QTest::addColumn<StoreResult>("result");
        QTest::addColumn<long long>("stored");
        const Records block = quarterHours(0, kBlock, 3, 1.0);
        Records finer = block;
        finer[1].values[2] += 0.00001; // beyond the four decimals a file keeps
        QTest::newRow("same block twice") << block << block << StoreResult{0, 4, 0} << 4LL;
        QTest::newRow("finer digits") << block << finer << StoreResult{0, 4, 0} << 4LL;
        QTest::newRow("cleared and recorded again: both kept")
            << block << quarterHours(0, kBlock, 3, 7.0) << StoreResult{4, 0, 4} << 8LL;
        QTest::newRow("overlapping") << block << quarterHours(2, kBlock, 3, 1.0) << StoreResult{2, 2, 0} << 6LL;
        Records twice = quarterHours(9, 1, 3, 1.0);
        twice.push_back(quarterHours(9, 1, 3, 2.0)[0]);
        QTest::newRow("a stamp twice in a block") << block << twice << StoreResult{2, 0, 1} << 6LL;
    }
    void storeAgain()
    {
        QFETCH(Records, first);
        QFETCH(Records, second);
        QFETCH(StoreResult, result);
        QFETCH(long long, stored);
        const std::vector<int> codes{1, 2, 3};
        QString error;
        QCOMPARE(counts(m_store->storeBlock(kSerial, 1, codes, first, &error)),
                 (StoreResult{static_cast<long long>(first.size()), 0, 0}));
        QCOMPARE(counts(m_store->storeBlock(kSerial, 1, codes, second, &error)), result);
        QCOMPARE(storedCount(), stored);
        // Nothing either block held is lost.
        QStringList rows;
        for (const lpdata::Record &r : m_store->records(kSerial, 1, codes, {}, &error).value_or(Records()))
            rows << lpdata::csvRow(r);
        for (const Records *block : {&first, &second})
            for (const lpdata::Record &r : *block)
                QVERIFY2(rows.contains(lpdata::csvRow(r)), qPrintable(lpdata::csvRow(r)));
    }

    // Sequences a meter records (in minutes from the first stamp) through
    // downloads of record ranges into the archive and back out: every
    // record once, with the flags its place gives it.
    void sequences_data()
    {
        QTest::addColumn<QList<int>>("minutes");
        QTest::addColumn<bool>("sameValues");   // records of one stamp hold the same values
        QTest::addColumn<QList<int>>("ranges");  // first, last, first, last, ... downloaded in turn
        QTest::addColumn<QStringList>("flags");  // storedFlags
        const QList<int> back{0, 15, 30, 45, 60, 75, 30, 45, 60, 75, 90, 105};
        const QStringList backFlags{"0#0", "15#0", "30#0", "30#1 repeated out-of-order", "45#0", "45#1 repeated",
                                    "60#0", "60#1 repeated", "75#0", "75#1 repeated", "90#0", "105#0"};
        QTest::newRow("clock back 3 intervals") << back << false << QList<int>{1, 12} << backFlags;
        QTest::newRow("clock back, same values") << back << true << QList<int>{1, 12} << backFlags;
        QTest::newRow("clock back, new only after the set-back") << back << false << QList<int>{1, 6, 7, 12} << backFlags;
        QTest::newRow("clock back, downloaded twice") << back << true << QList<int>{1, 12, 1, 12} << backFlags;
        QTest::newRow("clock back, overlapping downloads") << back << true << QList<int>{1, 8, 3, 12, 5, 9} << backFlags;
        QTest::newRow("clock forward 2 intervals")
            << QList<int>{0, 15, 60, 75} << false << QList<int>{1, 4, 1, 4}
            << QStringList{"0#0", "15#0", "60#0 gap=2", "75#0"};
        QTest::newRow("power-off gap, then a download from the record after it")
            << QList<int>{0, 15, 30, 195, 210} << false << QList<int>{1, 3, 4, 5, 2, 5}
            << QStringList{"0#0", "15#0", "30#0", "195#0 gap=10", "210#0"};
        QTest::newRow("repeated hour")
            << QList<int>{0, 15, 30, 45, 60, 0, 15, 30, 45, 60, 75} << true << QList<int>{1, 11, 1, 11}
            << QStringList{"0#0", "0#1 repeated out-of-order", "15#0", "15#1 repeated", "30#0", "30#1 repeated",
                           "45#0", "45#1 repeated", "60#0", "60#1 repeated", "75#0"};
        QTest::newRow("one record an hour ahead")
            << QList<int>{0, 15, 90, 45, 60, 75, 105} << false << QList<int>{1, 7, 2, 7}
            << QStringList{"0#0", "15#0", "45#0 out-of-order", "60#0", "75#0", "90#0 gap=4", "105#0 gap=1"};
        QTest::newRow("off the grid")
            << QList<int>{0, 15, 35, 45, 80} << false << QList<int>{1, 5, 1, 5}
            << QStringList{"0#0", "15#0", "35#0 off-grid", "45#0", "80#0 off-grid gap=1"};
    }
    void sequences()
    {
        QFETCH(QList<int>, minutes);
        QFETCH(bool, sameValues);
        QFETCH(QList<int>, ranges);
        QFETCH(QStringList, flags);
        const Records records = meterRecords(minutes, sameValues);
        for (qsizetype i = 0; i + 1 < ranges.size(); i += 2)
            QVERIFY(download(*m_store, records, ranges[i], ranges[i + 1]));
        QCOMPARE(storedFlags(*m_store), flags);
        // Where the last download ended: its last record and that one's stamp.
        QString error;
        const auto end = m_store->archivedEnd(kSerial, 1, &error);
        QVERIFY2(end, qPrintable(error));
        QCOMPARE(end->lastRecord, (long long)ranges.back());
        QCOMPARE(end->lastRecordStamp, archive::stampDateTime(records[std::size_t(ranges.back() - 1)]));
    }

    // The archive's file with its flags column, imported under another
    // serial and again: the same records, occurrences and flags; once.
    void flagsSurviveExportAndImport()
    {
        const Records records = meterRecords({0, 15, 30, 45, 15, 30, 90}, true);
        QVERIFY(download(*m_store, records, 1, 7));
        QString error;
        const auto paths = m_store->exportCsv(kSerial, 1, {}, m_dir.filePath(QStringLiteral("flags")), &error,
                                              QDateTime::currentDateTime(), true);
        QVERIFY2(paths && paths->size() == 1, qPrintable(error));
        const QByteArray bytes = fileBytes(paths->at(0));
        QVERIFY2(bytes.contains(",kWh(interval),Flags\r\n") && bytes.contains(",repeated out-of-order\r\n"),
                 bytes.constData());
        QCOMPARE(counts(m_store->importCsv(paths->at(0), QStringLiteral("COPY"), 1, &error)),
                 (StoreResult{7, 0, 2}));
        QCOMPARE(counts(m_store->importCsv(paths->at(0), QStringLiteral("COPY"), 1, &error)),
                 (StoreResult{0, 7, 0}));
        QCOMPARE(storedFlags(*m_store, QStringLiteral("COPY")), storedFlags(*m_store));
        QCOMPARE(storedFlags(*m_store).size(), 7);
    }

    // An archive written by the version before (a file kept with the tests)
    // opens brought up to date: every record and value there, each record's
    // gap found, the fleet's claims kept.
    void versionTwoArchiveUpgraded()
    {
        m_store.reset();
        const QString kept = qEnvironmentVariable("AMPWRIGHT_SOURCE_DIR") + "/tests/archive/data/archive_v2.sqlite";
        if (kOnServer) {
            m_path = newArchive();
            QVERIFY(copyVersionTwo(kept, m_path));
        } else {
            QFile::remove(m_path);
            QVERIFY(QFile::copy(kept, m_path));
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        }
        QString error;
        m_store = ArchiveStore::open(m_path, &error);
        QVERIFY2(m_store, qPrintable(error));
        SideConnection side(m_path);
        QCOMPARE(side.rows("SELECT version FROM archive_version"), QStringList{"3"});
        QCOMPARE(side.rows("SELECT COUNT(*), COUNT(value) FROM lp_values"), QStringList{"71|70"});
        QStringList listing;
        const auto meters = m_store->meters(&error);
        for (const archive::MeterSummary &m : meters.value())
            listing << QStringLiteral("%1 %2 %3").arg(m.serial).arg(m.group).arg(m.records);
        QCOMPARE(listing, (QStringList{"12345678 1 1", "AWMETER012345001 1 20", "AWMETER012345001 2 5"}));
        std::vector<archive::RecordQuality> quality;
        const auto records = m_store->records(QStringLiteral("AWMETER012345001"), 1, std::vector<int>{1, 3, 12}, {},
                                              &error, &quality);
        QCOMPARE(records.value().size(), 20u);
        for (std::size_t i = 0; i < records->size(); ++i) {
            QCOMPARE(lpdata::valueText(records->at(i).values[0]), lpdata::valueText(230.5 + double(i) * 0.25));
            QCOMPARE(records->at(i).values[1], i == 4 ? std::nan("") : 12.75 + double(i));
            QCOMPARE(archive::qualityText(quality[i]), QLatin1String(i == 10 ? "gap=3" : ""));
            QCOMPARE(quality[i].intervalSeconds, 900);
        }
        const auto claims = m_store->claims(&error);
        QCOMPARE(claims.value().size(), 1u);
        QCOMPARE(claims->at(0).result, QStringLiteral("20 records"));
        // Stored again as a download reads it, a migrated record is the same record.
        QCOMPARE(counts(m_store->storeBlock(QStringLiteral("AWMETER012345001"), 2, std::vector<int>{6, 12},
                                            Records{record(2024, 3, 1, 1, 0, 0, {0.95, 0})}, &error)),
                 (StoreResult{0, 1, 0}));
    }

    void refusedBlocks_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("group");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<Records>("records");
        const Records good = quarterHours(0, kBlock, 2, 1.0);
        Records noStamp = good;
        noStamp[2].month = 13;
        Records short1 = good;
        short1[3].values.pop_back();
        QTest::newRow("no valid stamp") << kSerial << 1 << QList<int>{1, 2} << noStamp;
        QTest::newRow("a value short") << kSerial << 1 << QList<int>{1, 2} << short1;
        QTest::newRow("group 3") << kSerial << 3 << QList<int>{1, 2} << good;
        QTest::newRow("a code twice") << kSerial << 1 << QList<int>{2, 2} << good;
        QTest::newRow("no serial") << QString() << 1 << QList<int>{1, 2} << good;
    }
    void refusedBlocks()
    {
        QFETCH(QString, serial);
        QFETCH(int, group);
        QFETCH(QList<int>, codes);
        QFETCH(Records, records);
        QString error;
        QVERIFY(!m_store->storeBlock(serial, group, std::vector<int>(codes.begin(), codes.end()), records, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(storedCount(), 0LL);
    }

    // A write failing in the middle of a block (the disk full) leaves none of it.
    void failingWriteStoresNothing()
    {
        QString error;
        QVERIFY(m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error));
        SideConnection side(m_path);
        if (kOnServer)
            side.rows("CREATE FUNCTION full_disk() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                      "IF NEW.v5 = 9990000 THEN RAISE EXCEPTION 'database or disk is full'; END IF; "
                      "RETURN NEW; END $$; "
                      "CREATE TRIGGER full_disk BEFORE INSERT ON lp_records "
                      "FOR EACH ROW EXECUTE FUNCTION full_disk()");
        else
            side.rows("CREATE TRIGGER full_disk BEFORE INSERT ON lp_records WHEN NEW.v5 = 9990000 "
                      "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
        Records block = quarterHours(4, kBlock, 8, 1.0);
        block[2].values[5] = 999;
        QVERIFY(!m_store->storeBlock(kSerial, 1, kEight, block, &error));
        QVERIFY2(error.contains(QLatin1String("disk is full")), qPrintable(error));
        QCOMPARE(side.rows("SELECT COUNT(*) FROM lp_records"), QStringList{"4"});
        QCOMPARE(side.rows("SELECT COUNT(*) FROM lp_values"), QStringList{"32"});
    }

    // Another program (sqlite3, a second copy of the tool) holds the write
    // lock for a while and writes: a block is stored once it lets go.
    void anotherWriterIsWaitedFor()
    {
        if (kOnServer)
            QSKIP("a server's rows are locked one by one, not the whole database");
        QString error;
        QVERIFY(m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error));
        std::atomic<bool> locked{false};
        std::unique_ptr<QThread> other(QThread::create([&] {
            SideConnection side(m_path);
            side.rows("BEGIN IMMEDIATE");
            side.rows("INSERT INTO lp_meter_groups (meter_serial, lp_group) VALUES ('OTHER', 1)");
            locked = true;
            QThread::msleep(1500);
            side.rows("COMMIT");
        }));
        other->start();
        QVERIFY(QTest::qWaitFor([&] { return locked.load(); }, 10000));
        const auto stored = m_store->storeBlock(kSerial, 1, kEight, quarterHours(4, kBlock, 8, 1.0), &error);
        QVERIFY(other->wait(10000));
        QVERIFY2(stored, qPrintable(error));
        QCOMPARE(storedCount(), 2LL * kBlock);
    }

    // A download's blocks after one that could not be stored are not stored
    // either: the archive's newest record stays before the first it lacks.
    void noBlockAfterOneNotStored()
    {
        archive::DownloadBlocks blocks;
        const auto block = [](int n) { return quarterHours(n * kBlock, kBlock, 8, 1.0); };
        const auto downloaded = [&](int n) {
            return archive::DownloadedBlock{kSerial, 1, kEight, QStringLiteral("15"), n * kBlock + 1LL, block(n)};
        };
        QVERIFY(blocks.store(&*m_store, {}, downloaded(0)).stored);
        const auto lost = blocks.store(nullptr, QStringLiteral("locked"), downloaded(1));
        QCOMPARE(lost.tell, std::optional(QStringLiteral("locked")));
        const auto later = blocks.store(&*m_store, {}, downloaded(2));
        QVERIFY(!later.stored);
        QVERIFY(!later.tell); // told once
        QString error;
        QCOMPARE(m_store->newestRecord(kSerial, 1, &error).value_or(QDateTime()).toString(QStringLiteral("yyyy/M/d H:m:s")),
                 stampOf(block(0).back()));
    }

    // The window closes (its archive thread goes) with blocks still queued:
    // they are stored all the same.
    void queuedBlocksStoredAtClose()
    {
        {
            archive::ArchiveThread thread(m_path);
            for (int block = 0; block < 20; ++block)
                thread.runToEnd<bool>(
                    [block](archive::ArchiveStore *store, const QString &) {
                        QString error;
                        return store && store->storeBlock(kSerial, 1, kEight, quarterHours(block * kBlock, kBlock, 8, 1.0), &error);
                    },
                    [](bool) {});
        }
        QCOMPARE(storedCount(), 20LL * kBlock);
    }

    // A server restarted under a download's connection: said in words.
    void serverRestartSaidInWords()
    {
        if (!kOnServer)
            QSKIP("a file has no server");
        QString error;
        QVERIFY(m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error));
        QVERIFY2(m_server.restart(), qPrintable(m_server.errorString()));
        QVERIFY(!m_store->storeBlock(kSerial, 1, kEight, quarterHours(kBlock, kBlock, 8, 1.0), &error));
        QVERIFY2(error.endsWith(QLatin1String("the archive's server closed the connection")), qPrintable(error));
    }

    // Programs that open a new archive at the same moment all open it, and
    // its tables are made once.
    void newArchiveOpenedAtOnce()
    {
        const QString archive = kOnServer ? newArchive() : m_dir.filePath(QStringLiteral("new at once.sqlite"));
        std::atomic<int> failures{0};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int w = 0; w < 6; ++w)
            threads.emplace_back(QThread::create([&] {
                QString why;
                if (!ArchiveStore::open(archive, &why)) {
                    ++failures;
                    qWarning("%s", qPrintable(why));
                }
            }));
        for (auto &t : threads)
            t->start();
        for (auto &t : threads)
            QVERIFY(t->wait(60000));
        QCOMPARE(failures.load(), 0);
        SideConnection side(archive);
        QCOMPARE(side.rows("SELECT COUNT(*) FROM archive_version"), QStringList{"1"});
    }

    void viewRows()
    {
        QString error;
        const Records records{record(2024, 3, 1, 0, 15, 0, {1.25, std::nan("")}),
                              record(2031, 12, 9, 23, 5, 7, {-2.5, 230.1})};
        QVERIFY(m_store->storeBlock(QStringLiteral("12345678"), 2, std::vector<int>{12, 1}, records, &error));
        SideConnection side(m_path);
        QCOMPARE(side.rows("SELECT meter_serial, lp_group, recorded_at, channel_code, channel_name, value "
                           "FROM lp_values ORDER BY recorded_at, channel_code"),
                 (QStringList{"12345678|2|2024-03-01 00:15:00|1|Vln_avg(point)|NULL",
                              "12345678|2|2024-03-01 00:15:00|12|kWh(interval)|1.25",
                              "12345678|2|2031-12-09 23:05:07|1|Vln_avg(point)|230.1",
                              "12345678|2|2031-12-09 23:05:07|12|kWh(interval)|-2.5"}));
    }

    void metersAndNewest()
    {
        QString error;
        m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error);
        m_store->storeBlock(kSerial, 1, kEight, quarterHours(96, kBlock, 8, 1.0), &error);
        m_store->storeBlock(kSerial, 2, kEight, quarterHours(8, 2, 8, 1.0), &error);
        m_store->storeBlock(QStringLiteral("A"), 2, kEight, quarterHours(1, 1, 8, 1.0), &error);
        QStringList listing;
        const auto meters = m_store->meters(&error);
        for (const archive::MeterSummary &m : meters.value())
            listing << QStringLiteral("%1 %2 %3 %4 %5").arg(m.serial).arg(m.group).arg(m.records)
                           .arg(m.first.toString(Qt::ISODate), m.last.toString(Qt::ISODate));
        QCOMPARE(listing, (QStringList{"A 2 1 2024-03-01T00:15:00Z 2024-03-01T00:15:00Z",
                                       kSerial + " 1 8 2024-03-01T00:00:00Z 2024-03-02T00:45:00Z",
                                       kSerial + " 2 2 2024-03-01T02:00:00Z 2024-03-01T02:15:00Z"}));
        QCOMPARE(m_store->newestRecord(kSerial, 1, &error), QDateTime(QDate(2024, 3, 2), QTime(0, 45), Qt::UTC));
        QVERIFY(!m_store->newestRecord(QStringLiteral("B"), 1, &error)->isValid());
    }

    void exportCsv_data()
    {
        QTest::addColumn<std::optional<QDateTime>>("since");
        QTest::addColumn<std::optional<QDateTime>>("until");
        QTest::addColumn<QByteArray>("rows"); // empty: no file
        const QByteArray first = "2024/3/5,0:0:0,1.2500,230.5000,0.0000\r\n";
        const QByteArray second = "2024/3/5,0:15:0,,231.0000,12.3457\r\n";
        const QByteArray third = "2024/12/31,23:45:30,-1.0000,0.0000,100000.0000\r\n";
        const auto at = [](int d, int h, int m) { return QDateTime(QDate(2024, 3, d), QTime(h, m), Qt::UTC); };
        QTest::newRow("all") << std::optional<QDateTime>() << std::optional<QDateTime>() << first + second + third;
        QTest::newRow("since, inclusive") << std::optional(at(5, 0, 15)) << std::optional<QDateTime>() << second + third;
        QTest::newRow("until, inclusive") << std::optional<QDateTime>() << std::optional(at(5, 0, 15)) << first + second;
        QTest::newRow("nothing in range") << std::optional(at(6, 0, 0)) << std::optional(at(7, 0, 0)) << QByteArray();
    }
    void exportCsv()
    {
        QFETCH(std::optional<QDateTime>, since);
        QFETCH(std::optional<QDateTime>, until);
        QFETCH(QByteArray, rows);
        QString error;
        const Records records{record(2024, 3, 5, 0, 0, 0, {1.25, 230.5, -0.00001}),
                              record(2024, 3, 5, 0, 15, 0, {std::nan(""), 231, 12.34567}),
                              record(2024, 12, 31, 23, 45, 30, {-1, 0, 100000})};
        QVERIFY(m_store->storeBlock(kSerial, 1, std::vector<int>{3, 1, 12}, records, &error));
        const QDateTime now(QDate(2025, 1, 2), QTime(8, 30));
        const QString out = m_dir.filePath(QTest::currentDataTag());
        const auto paths = m_store->exportCsv(kSerial, 1, {since, until}, out, &error, now);
        QVERIFY2(paths, qPrintable(error));
        if (rows.isEmpty()) {
            QCOMPARE(*paths, QStringList());
            return;
        }
        QCOMPARE(*paths, QStringList{out + "/12345678_20250102_Group1.csv"});
        QCOMPARE(fileBytes(paths->at(0)), lpdata::csvDateLine(now).toLatin1()
                                              + "\r\nDate,Time,kW_avg(interval),Vln_avg(point),kWh(interval)\r\n" + rows);
        // Read back in, it is the same records.
        QCOMPARE(counts(m_store->importCsv(paths->at(0), kSerial, std::nullopt, &error)),
                 (StoreResult{0, rows.count('\n'), 0}));
    }

    // A group set to other channels: a file per setting, and a chart's
    // channel that older records lack reads NaN.
    void channelSettingsChange()
    {
        QString error;
        m_store->storeBlock(QStringLiteral("9"), 1, std::vector<int>{1, 2}, quarterHours(0, 2, 2, 1.0), &error);
        m_store->storeBlock(QStringLiteral("9"), 1, std::vector<int>{2, 3}, quarterHours(2, 1, 2, 5.0), &error);
        const auto paths = m_store->exportCsv(QStringLiteral("9"), 1, {}, m_dir.path(), &error, QDateTime(QDate(2025, 1, 2), QTime(0, 0)));
        QCOMPARE(paths.value(), (QStringList{m_dir.filePath("9_20250102_Group1.csv"), m_dir.filePath("9_20250102_Group1_1.csv")}));
        QVERIFY(fileBytes(paths->at(1)).endsWith("Date,Time,I_avg(point),kW_avg(interval)\r\n2024/3/1,0:30:0,5.0000,5.2500\r\n"));
        const auto chart = m_store->records(QStringLiteral("9"), 1, std::vector<int>{3, 1}, {}, &error);
        QCOMPARE(chart->size(), 3u);
        QCOMPARE(chart->at(0).values[1], 1.0);
        QVERIFY(std::isnan(chart->at(0).values[0]));
        QCOMPARE(chart->at(2).values[0], 5.25);
        QVERIFY(std::isnan(chart->at(2).values[1]));
    }

    void importFileNames_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<std::optional<QString>>("serial");
        QTest::addColumn<bool>("archived"); // a download of kSerial's group 1 is archived first
        QTest::addColumn<QStringList>("stored"); // "serial group" of each meter; empty: refused
        const QString downloaded = kSerial + " 1";
        QTest::newRow("download's name") << "12345678_20240301_Group2.csv" << std::optional<QString>() << false
                                         << QStringList{"12345678 2"};
        QTest::newRow("numbered, _ in serial") << "AB_CD_EF_20240301_Group1_3.csv" << std::optional<QString>() << false
                                               << QStringList{"AB_CD_EF 1"};
        QTest::newRow("serial given") << "12345678_20240301_Group1.csv" << std::optional(kSerial) << false
                                      << QStringList{downloaded};
        QTest::newRow("no meter in name") << "march.csv" << std::optional<QString>() << false << QStringList();
        QTest::newRow("the archived meter of that serial")
            << "12345678_20240301_Group1.csv" << std::optional<QString>() << true << QStringList{downloaded};
        QTest::newRow("archived in the other group only")
            << "12345678_20240301_Group2.csv" << std::optional<QString>() << true << QStringList{"12345678 2", downloaded};
    }
    void importFileNames()
    {
        QFETCH(QString, fileName);
        QFETCH(std::optional<QString>, serial);
        QFETCH(bool, archived);
        QFETCH(QStringList, stored);
        QString error;
        if (archived)
            QVERIFY(m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error));
        const QString path = m_dir.filePath(fileName);
        QVERIFY(writeFile(path, "Date : 1.3.24  00:00\nDate,Time,I_avg(point)\n2024/3/1,0:15:0,1.5\n"
                                "2024/03/01,00:30:00,-2\r\n\r\n"));
        const auto result = m_store->importCsv(path, serial, std::nullopt, &error);
        QCOMPARE(result.has_value(), !stored.isEmpty());
        QStringList listing;
        const auto meters = m_store->meters(&error);
        for (const archive::MeterSummary &m : meters.value())
            listing << QStringLiteral("%1 %2").arg(m.serial).arg(m.group);
        QCOMPARE(listing, stored.isEmpty() && archived ? QStringList{kSerial + " 1"} : stored);
    }

    void importMalformed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        const QByteArray head = "Date : 2024/3/1  12:00\r\nDate,Time,kW_avg(interval),kWh(interval)\r\n";
        const QByteArray good = "2024/3/1,0:15:0,1.0000,2.0000\r\n";
        QTest::newRow("no date line") << QByteArray("Date,Time,kW_avg(interval)\r\n") << 1;
        QTest::newRow("no column line") << QByteArray("Date : 1.3.24\r\n") << 2;
        QTest::newRow("unknown name") << "Date : x\r\nDate,Time,kW_avg(interval),Watts\r\n" + good << 2;
        QTest::newRow("unnamed code") << "Date : x\r\nDate,Time,,kW_avg(interval)\r\n" + good << 2;
        QTest::newRow("name twice") << "Date : x\r\nDate,Time,PF_avg,PF_avg\r\n" + good << 2;
        QTest::newRow("field short") << head + good + "2024/3/1,0:30:0,1.0000\r\n" << 4;
        QTest::newRow("field over") << head + good + good + "2024/3/1,0:30:0,1,2,3\r\n" << 5;
        QTest::newRow("empty line inside") << head + "\r\n" + good << 3;
        QTest::newRow("no such day") << head + "2023/2/29,0:0:0,1,2\r\n" << 3;
        QTest::newRow("hour 24") << head + "2024/3/1,24:0:0,1,2\r\n" << 3;
        QTest::newRow("year 1999") << head + "1999/3/1,0:0:0,1,2\r\n" << 3;
        QTest::newRow("signed day") << head + "2024/3/+1,0:0:0,1,2\r\n" << 3;
        QTest::newRow("text value") << head + good + "2024/3/1,0:30:0,abc,2\r\n" << 4;
        QTest::newRow("nan") << head + "2024/3/1,0:30:0,nan,2\r\n" << 3;
        QTest::newRow("exponent") << head + "2024/3/1,0:30:0,1e5,2\r\n" << 3;
        QTest::newRow("decimal comma") << head + "2024/3/1,0:30:0,\"1,5\",2\r\n" << 3;
        QTest::newRow("last line") << head + good.repeated(200) + "2024/3/1,0:30:0,1,2." << 203;
    }
    void importMalformed()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        const QString path = m_dir.filePath(QStringLiteral("12345678_20240301_Group1.csv"));
        QVERIFY(writeFile(path, content));
        QString error;
        QVERIFY(!m_store->importCsv(path, std::nullopt, std::nullopt, &error));
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(path) + QStringLiteral(", line %1: ").arg(line)),
                 qPrintable(error));
        QCOMPARE(storedCount(), 0LL);
    }

    void brokenFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a folder stands at the path
        QTest::addColumn<bool>("movedAside");
        QTest::newRow("text") << QByteArray("Date : not a database\r\n").repeated(300) << true;
        QTest::newRow("damaged tables") << QByteArray("damaged") << true;
        QTest::newRow("newer program") << QByteArray("newer") << false;
        QTest::newRow("a folder") << QByteArray() << false;
    }
    void brokenFile()
    {
        if (kOnServer)
            QSKIP("a file's damage: the server keeps its own files");
        QFETCH(QByteArray, content);
        QFETCH(bool, movedAside);
        m_store.reset();
        QFile::remove(m_path);
        QString error;
        if (content == "damaged" || content == "newer") {
            QVERIFY(ArchiveStore::open(m_path, &error));
            SideConnection(m_path).rows(content == "newer" ? "UPDATE archive_version SET version = 99"
                                                           : "PRAGMA wal_checkpoint(TRUNCATE)");
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (content == "damaged") {
                file.seek(100); // the table list on the first page
                file.write(QByteArray(2000, '\xA5'));
            }
            file.close();
            content = fileBytes(m_path);
        } else if (content.isEmpty()) {
            QVERIFY(QDir().mkpath(m_path));
        } else {
            QVERIFY(writeFile(m_path, content));
        }
        QString note;
        m_store = ArchiveStore::open(m_path, &error, &note);
        const QStringList aside = QDir(m_dir.path()).entryList({QFileInfo(m_path).fileName() + ".broken-*"});
        QCOMPARE(m_store.has_value(), movedAside);
        QCOMPARE(aside.size(), movedAside ? 1 : 0);
        if (!movedAside) {
            QVERIFY(!error.isEmpty() && note.isEmpty());
            return;
        }
        QVERIFY2(note.contains(m_path) && note.contains(m_dir.filePath(aside[0])), qPrintable(note));
        QCOMPARE(fileBytes(m_dir.filePath(aside[0])), content);
        QVERIFY(m_store->storeBlock(kSerial, 1, kEight, quarterHours(0, kBlock, 8, 1.0), &error));
    }

    // The window and the command-line tool, named differently, share one archive.
    void defaultPathSharedByPrograms()
    {
        if (kOnServer)
            QSKIP("the default archive is a file");
        QCoreApplication::setApplicationName(QStringLiteral("Ampwright"));
        const QString window = ArchiveStore::defaultPath();
        QCoreApplication::setApplicationName(QStringLiteral("ampwright-cli"));
        QCOMPARE(ArchiveStore::defaultPath(), window);
        QVERIFY(window.endsWith(QLatin1String("/archive.sqlite")));
    }

    // A writer killed at any moment leaves whole blocks, each record with all
    // its channels, and the archive opens again.
    void killedWriterLeavesWholeBlocks()
    {
        m_store.reset();
        long long before = 0;
        for (int round = 0; round < 5; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kStoreUntilKilled, m_path});
            QVERIFY(child.waitForStarted());
            int blocks = 0;
            QElapsedTimer writing;
            while (blocks < 30 && child.waitForReadyRead(30000)) {
                while (child.canReadLine())
                    blocks = child.readLine().trimmed().toInt() + 1;
                if (!writing.isValid())
                    writing.start();
            }
            // Killed at a random moment within the next two blocks' time,
            // not just after a block ended.
            const qint64 blockUs = writing.nsecsElapsed() / 1000 / std::max(blocks - 1, 1);
            QThread::usleep(QRandomGenerator::global()->bounded(quint64(2 * blockUs + 1)));
            child.kill();
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            QString error;
            m_store = ArchiveStore::open(m_path, &error);
            QVERIFY2(m_store, qPrintable(error));
            const long long stored = storedCount();
            QVERIFY2(stored >= before + blocks * kBlock, qPrintable(QStringLiteral("%1 stored, %2 told").arg(stored).arg(before + blocks * kBlock)));
            QCOMPARE(stored % kBlock, 0LL);
            SideConnection side(m_path);
            QCOMPARE(side.rows("SELECT COUNT(*) FROM lp_records WHERE v7 IS NULL OR v8 IS NOT NULL"), QStringList{"0"});
            before = stored;
            m_store.reset();
        }
    }

    void locations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::newRow("plain path") << "/data/a.sqlite" << "/data/a.sqlite";
        QTest::newRow("sqlite:") << "sqlite:rel/a b.sqlite" << "rel/a b.sqlite";
        QTest::newRow("server") << "postgresql://meter@db.example:5433/fleet" << "postgresql://meter@db.example:5433/fleet";
        QTest::newRow("default port") << "postgres://meter@10.0.0.5/fleet" << "postgresql://meter@10.0.0.5:5432/fleet";
        QTest::newRow("no user") << "postgresql://db/fleet" << "postgresql://db:5432/fleet";
        QTest::newRow("password") << "postgresql://meter:secret@db/fleet" << "";
        QTest::newRow("no database") << "postgresql://meter@db/" << "";
        QTest::newRow("no host") << "postgresql:///fleet" << "";
        QTest::newRow("other kind") << "mysql://meter@db/fleet" << "";
        QTest::newRow("options") << "postgresql://meter@db/fleet?sslmode=disable" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("sqlite: nothing") << "sqlite:" << "";
    }
    void locations()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QString error;
        const auto location = archive::parseArchiveLocation(text, &error);
        QCOMPARE(location ? location->shown() : QString(), shown);
        QCOMPARE(error.isEmpty(), location.has_value());
        if (text.contains(QLatin1String("secret")))
            QVERIFY2(!error.contains(QLatin1String("secret")) && error.contains(QLatin1String("PGPASSWORD")), qPrintable(error));
    }

    // Two workers and a meter: held, renewed, finished, its lease run out,
    // and a new round. Leases are short, so waits are too.
    void claimsAcrossWorkers()
    {
        using State = archive::MeterClaim::State;
        QString error;
        const QString meter = QStringLiteral("127.0.0.7:502, unit 15, group 1");
        const double start = m_store->serverClock(&error).value_or(0);
        QVERIFY2(start > 1.7e9, qPrintable(error));
        const auto claim = [&](const char *worker, double lease, double round) {
            const auto c = m_store->claimMeter(meter, QLatin1String(worker), lease, round, &error);
            return c ? QStringLiteral("%1 %2").arg(int(c->state)).arg(c->worker) : QStringLiteral("failed: ") + error;
        };
        const auto state = [](State s, const char *worker) { return QStringLiteral("%1 %2").arg(int(s)).arg(QLatin1String(worker)); };
        QCOMPARE(claim("a", 30, start), state(State::Claimed, "a"));
        QCOMPARE(claim("b", 30, start), state(State::Held, "a"));
        QCOMPARE(m_store->renewClaim(meter, QStringLiteral("a"), 30, &error), std::optional(true));
        QCOMPARE(m_store->renewClaim(meter, QStringLiteral("b"), 30, &error), std::optional(false));
        QVERIFY(m_store->finishClaim(meter, QStringLiteral("a"), QStringLiteral("12 records"), 12, &error));
        QCOMPARE(claim("b", 30, start), state(State::Finished, "a"));
        const auto listed = m_store->claims(&error).value();
        QCOMPARE(listed.size(), 1u);
        QCOMPARE(listed[0].result, QStringLiteral("12 records"));
        QCOMPARE(listed[0].records, 12LL);
        QVERIFY(listed[0].finishedAt.isValid());
        // A new round reads it again; a lease that runs out frees it.
        const double later = m_store->serverClock(&error).value_or(0) + 0.001;
        QCOMPARE(claim("b", 0.2, later), state(State::Claimed, "b"));
        QCOMPARE(claim("a", 30, later), state(State::Held, "b"));
        QTest::qWait(400);
        QCOMPARE(claim("a", 30, later), state(State::Claimed, "a"));
        QCOMPARE(m_store->renewClaim(meter, QStringLiteral("b"), 30, &error), std::optional(false));
    }

    // Workers starting at the same moment, each on a connection of its own:
    // on a server, the first opens a new database, and one of them makes the
    // tables; every meter goes to exactly one of them.
    void oneClaimAmongRacingWorkers()
    {
        constexpr int kWorkers = 6;
        constexpr int kMeters = 20;
        const QString archive = kOnServer ? newArchive() : m_path;
        QString error;
        const double round = m_store->serverClock(&error).value_or(0);
        std::atomic<int> claimed[kMeters] = {};
        std::atomic<int> failures{0};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int w = 0; w < kWorkers; ++w) {
            threads.emplace_back(QThread::create([&, w] {
                QString why;
                auto store = ArchiveStore::open(archive, &why);
                for (int m = 0; store && m < kMeters; ++m) {
                    const auto c = store->claimMeter(QStringLiteral("meter %1").arg(m), QStringLiteral("w%1").arg(w), 60,
                                                     round, &why);
                    if (c && c->state == archive::MeterClaim::State::Claimed)
                        ++claimed[m];
                    if (!c)
                        break;
                }
                if (!why.isEmpty()) {
                    ++failures;
                    qWarning("%s", qPrintable(why));
                }
            }));
        }
        for (auto &t : threads)
            t->start();
        for (auto &t : threads)
            QVERIFY(t->wait(60000));
        QCOMPARE(failures.load(), 0);
        for (int m = 0; m < kMeters; ++m)
            QCOMPARE(claimed[m].load(), 1);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kStoreUntilKilled) == 0)
        return storeBlocksUntilKilled(QString::fromLocal8Bit(argv[2]));
    TestArchiveCore test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_archive_core.moc"
