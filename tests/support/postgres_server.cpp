#include "postgres_server.h"

#include "free_port.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVersionNumber>

#include <unistd.h>

namespace testsupport {

namespace {

const char kUser[] = "ampwright";

// The newest server installed: Debian keeps each version's programs in a
// folder of its own, off the PATH.
QString serverBinDir()
{
    QVersionNumber newest;
    QString found;
    for (const QString &version : QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(bin + QLatin1String("/initdb")) && number > newest) {
            newest = number;
            found = bin;
        }
    }
    return found;
}

bool asRoot() { return ::geteuid() == 0; }

} // namespace

PostgresServer::PostgresServer() : binDir_(serverBinDir()) {}

PostgresServer::~PostgresServer() { stop(); }

bool PostgresServer::fail(const QString &why)
{
    error_ = QStringLiteral("PostgreSQL test server: ") + why;
    return false;
}

bool PostgresServer::runTool(const QString &tool, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dir_.path());
    const QString program = binDir_ + QLatin1Char('/') + tool;
    if (asRoot())
        // initdb and the server refuse root: they run in a user namespace of
        // their own as an ordinary user that owns root's files (the test's
        // folder) and holds no privilege outside. Also where "root" is
        // itself a user namespace's, as run-tests.sh makes it for a user.
        process.start(QStringLiteral("unshare"),
                      QStringList{QStringLiteral("--user"), QStringLiteral("--map-user=1000"),
                                  QStringLiteral("--map-group=1000"), program}
                          + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return fail(QStringLiteral("%1 did not start: %2").arg(tool, process.errorString()));
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return fail(QStringLiteral("%1 did not finish in %2 s").arg(tool).arg(timeoutMs / 1000));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return fail(QStringLiteral("%1 failed: %2").arg(tool, QString::fromLocal8Bit(process.readAll()).trimmed()));
    return true;
}

bool PostgresServer::start()
{
    if (binDir_.isEmpty())
        return fail(QStringLiteral("no initdb under /usr/lib/postgresql/*/bin: install the package postgresql "
                                   "(scripts/install-deps.sh does)"));
    if (!dir_.isValid())
        return fail(QStringLiteral("no temporary folder"));
    QFile passwordFile(dir_.filePath(QStringLiteral("password")));
    if (!passwordFile.open(QIODevice::WriteOnly) || passwordFile.write(password() + '\n') < 0)
        return fail(QStringLiteral("cannot write %1").arg(passwordFile.fileName()));
    passwordFile.close();
    const QString data = dir_.filePath(QStringLiteral("data"));
    if (!runTool(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data, QStringLiteral("-U"), QLatin1String(kUser),
                  QStringLiteral("--pwfile=") + passwordFile.fileName(), QStringLiteral("-A"),
                  QStringLiteral("scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                 120000))
        return false;
    port_ = freePort();
    if (port_ == 0)
        return fail(QStringLiteral("no free port on 127.0.0.1"));
    // A test server keeps nothing after the test: no waiting for the disk.
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off")
                                .arg(port_)
                                .arg(dir_.path());
    if (!runTool(QStringLiteral("pg_ctl"),
                 {QStringLiteral("-D"), data, QStringLiteral("-l"), dir_.filePath(QStringLiteral("server.log")),
                  QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                  QStringLiteral("start")},
                 90000)) {
        QFile log(dir_.filePath(QStringLiteral("server.log")));
        if (log.open(QIODevice::ReadOnly))
            error_ += QStringLiteral("\nserver log:\n") + QString::fromLocal8Bit(log.readAll().right(2000));
        return false;
    }
    running_ = true;
    return true;
}

QSqlDatabase PostgresServer::connect(const QString &connection, const QString &database) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(port_);
    db.setUserName(QLatin1String(kUser));
    db.setPassword(QString::fromLatin1(password()));
    db.setDatabaseName(database);
    db.open();
    return db;
}

bool PostgresServer::createDatabase(const QString &name)
{
    const QString connection = QStringLiteral("test-server-admin");
    bool done = false;
    {
        QSqlDatabase db = connect(connection, QStringLiteral("postgres"));
        if (!db.isOpen()) {
            error_ = QStringLiteral("PostgreSQL test server: cannot connect: ") + db.lastError().text();
        } else {
            QSqlQuery query(db);
            done = query.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!done)
                error_ = QStringLiteral("PostgreSQL test server: cannot create %1: %2").arg(name, query.lastError().text());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return done;
}

void PostgresServer::stop()
{
    if (!running_)
        return;
    running_ = false;
    runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
                                       QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                                       QStringLiteral("stop")},
            30000);
}

bool PostgresServer::restart()
{
    return running_
           && runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
                                                 QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                                                 QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("restart")},
                      90000);
}

QString PostgresServer::url(const QString &database) const
{
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(QLatin1String(kUser)).arg(port_).arg(database);
}

} // namespace testsupport
