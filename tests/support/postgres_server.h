#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A PostgreSQL server of a test's own, from the Debian package: a new
// cluster made by initdb in a temporary folder, listening on 127.0.0.1 at a
// free port, its socket in that folder, stopped and removed at the end. Its
// one user "ampwright" logs in with a password (scram), which the test hands
// to clients as they get it in the field: in PGPASSWORD. initdb refuses to
// run as root; as root the server runs in a user namespace as an ordinary user.
//
//   testsupport::PostgresServer server;
//   QVERIFY2(server.start(), qPrintable(server.errorString()));
//   QVERIFY2(server.createDatabase("fleet"), ...);
//   qputenv("PGPASSWORD", server.password());
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // False, with the reason in errorString(), when the server could not be
    // made or started: the test fails with it.
    bool start();
    bool createDatabase(const QString &name);
    // A Qt SQL connection of the given name to a database of this server,
    // opened (check isOpen()); remove it with QSqlDatabase::removeDatabase.
    QSqlDatabase connect(const QString &connection, const QString &database) const;
    void stop();
    // Shuts the server down as an administrator would (its clients'
    // connections are ended) and starts it again on the same port.
    bool restart();

    // postgresql://ampwright@127.0.0.1:PORT/database
    QString url(const QString &database) const;
    static QByteArray password() { return QByteArrayLiteral("meter-fleet-test"); }
    int port() const { return port_; }
    QString errorString() const { return error_; }

private:
    bool fail(const QString &why);
    // Runs one of the server's programs (as "postgres" when root); false
    // with its output in error_ when it fails.
    bool runTool(const QString &tool, const QStringList &arguments, int timeoutMs);

    QTemporaryDir dir_;
    QString binDir_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};

} // namespace testsupport
