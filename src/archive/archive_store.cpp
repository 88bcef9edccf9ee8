#include "archive/archive_store.h"

#include "archive/archive_location.h"
#include "archive/archive_schema.h"
#include "archive/record_writer.h"

#include "archive/sql_fault.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>

#include <atomic>

namespace archive {

namespace {

QString newConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("ampwright-archive-%1").arg(next++);
}

void dropConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Moves a broken archive and its write-ahead files aside under a name that
// is free; the new name, or nothing when the archive itself cannot be moved.
std::optional<QString> moveAside(const QString &path, QString *error)
{
    const QString base = path + QLatin1String(".broken-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = base;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = base + QLatin1Char('_') + QString::number(n);
    QFile file(path);
    if (!file.rename(aside)) {
        setError(error, QStringLiteral("The archive %1 cannot be read and cannot be moved aside: %2")
                            .arg(shown(path), file.errorString()));
        return std::nullopt;
    }
    // SQLite finds a database's log beside it under its name: it follows.
    for (const QLatin1String suffix : {QLatin1String("-wal"), QLatin1String("-shm")}) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, aside + suffix);
    }
    return aside;
}

} // namespace

QString ArchiveStore::defaultPath()
{
    // The window's application data folder, named here rather than taken
    // from the running program: the command-line tool has a name of its own
    // and must find the same archive.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QLatin1String("/Ampwright/archive.sqlite");
}

ArchiveStore::ArchiveStore(QString path, QString connection, SqlDialect dialect)
    : path_(std::move(path)), connection_(std::move(connection)), dialect_(std::move(dialect))
{
}

ArchiveStore::ArchiveStore(ArchiveStore &&other) noexcept
    : path_(std::move(other.path_)),
      connection_(std::exchange(other.connection_, QString())),
      dialect_(std::move(other.dialect_))
{
}

ArchiveStore &ArchiveStore::operator=(ArchiveStore &&other) noexcept
{
    if (this != &other) {
        if (!connection_.isEmpty())
            dropConnection(connection_);
        path_ = std::move(other.path_);
        connection_ = std::exchange(other.connection_, QString());
        dialect_ = std::move(other.dialect_);
    }
    return *this;
}

ArchiveStore::~ArchiveStore()
{
    if (!connection_.isEmpty())
        dropConnection(connection_);
}

QSqlDatabase ArchiveStore::database() const
{
    return QSqlDatabase::database(connection_, false);
}

std::optional<ArchiveStore> ArchiveStore::connect(const ArchiveLocation &location, SqlFault *fault)
{
    const bool server = location.kind == ArchiveLocation::Kind::Postgres;
    SqlDialect dialect = server ? postgresDialect() : sqliteDialect();
    const QString name = newConnectionName();
    const QString shownName = server ? location.shown() : shown(location.path);
    ArchiveStore store(server ? location.shown() : location.path, name, dialect); // drops the connection on every way out
    QSqlDatabase db = QSqlDatabase::addDatabase(dialect.driver, name);
    if (!db.isValid()) {
        *fault = {QStringLiteral("open the archive %1").arg(shownName),
                  QSqlError(QStringLiteral("the Qt SQL driver %1 is not installed").arg(dialect.driver))};
        return std::nullopt;
    }
    if (server) {
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setUserName(location.user);
        db.setDatabaseName(location.database);
    } else {
        db.setDatabaseName(location.path);
    }
    db.setConnectOptions(dialect.connectOptions);
    const QString opening = QStringLiteral("open the archive %1").arg(shownName);
    if (!db.open()) {
        *fault = {opening, db.lastError()};
        return std::nullopt;
    }
    QSqlQuery query(db);
    for (const QString &sql : dialect.sessionSetup) {
        if (!execOrFault(query, sql, opening, fault))
            return std::nullopt;
    }
    // Programs that open a new database at the same moment create its tables
    // once: the others wait here and find them made.
    if (!dialect.migrationLock.isEmpty() && !execOrFault(query, dialect.migrationLock, opening, fault))
        return std::nullopt;
    const bool ready = migrateArchive(db, dialect, fault) && syncChannelNames(db, dialect, fault);
    if (!dialect.migrationUnlock.isEmpty()) {
        SqlFault unlockFault;
        if (!execOrFault(query, dialect.migrationUnlock, opening, &unlockFault) && ready) {
            *fault = unlockFault;
            return std::nullopt;
        }
    }
    if (!ready)
        return std::nullopt;
    query.finish();
    return store;
}

std::optional<ArchiveStore> ArchiveStore::open(const QString &path, QString *error, QString *note)
{
    if (note)
        note->clear();
    const std::optional<ArchiveLocation> location = parseArchiveLocation(path, error);
    if (!location)
        return std::nullopt;
    SqlFault fault;
    if (location->kind == ArchiveLocation::Kind::Postgres) {
        auto store = connect(*location, &fault);
        if (!store)
            setError(error, fault.text());
        return store;
    }
    const QString folder = QFileInfo(location->path).absolutePath();
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("Cannot create the folder %1 for the archive").arg(shown(folder)));
        return std::nullopt;
    }
    if (auto store = connect(*location, &fault))
        return store;
    if (!sqliteDialect().isBrokenFile(fault.error)) {
        setError(error, fault.text());
        return std::nullopt;
    }

    QString reason = fault.error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = fault.error.text().trimmed();
    const std::optional<QString> aside = moveAside(location->path, error);
    if (!aside)
        return std::nullopt;
    auto store = connect(*location, &fault);
    if (!store) {
        setError(error, fault.text());
        return std::nullopt;
    }
    if (note)
        *note = QStringLiteral("The archive %1 could not be read (%2). It was moved to %3 and a new, "
                               "empty archive was started in its place.")
                    .arg(shown(location->path), reason, shown(*aside));
    return store;
}

std::optional<StoreResult> ArchiveStore::storeBlock(const QString &meterSerial, int groupNumber,
                                                    std::span<const int> channelCodes,
                                                    std::span<const lpdata::Record> records,
                                                    QString *error)
{
    RecordBlock block;
    block.meterSerial = meterSerial;
    block.groupNumber = groupNumber;
    block.channelCodes = channelCodes;
    block.records = records;
    return storeBlock(block, error);
}

std::optional<StoreResult> ArchiveStore::storeBlock(const RecordBlock &block, QString *error)
{
    if (const auto problem = recordsProblem(block)) {
        setError(error, QStringLiteral("Records not stored: %1").arg(*problem));
        return std::nullopt;
    }
    QSqlDatabase db = database();
    StoreResult counts;
    SqlFault fault;
    const auto store = [&] {
        return inWriteTransaction(db, dialect_, QStringLiteral("store the records"), &fault, [&] {
            counts = {};
            return writeRecords(db, block, &counts, &fault);
        });
    };
    // Another worker stored some of the same records meanwhile: read again,
    // they are the archived ones.
    bool stored = store();
    if (!stored && dialect_.isKeyTaken(fault.error))
        stored = store();
    if (!stored) {
        setError(error, fault.text());
        return std::nullopt;
    }
    return counts;
}

} // namespace archive
