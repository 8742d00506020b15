#pragma once

#include "db/database.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace lumivox::test {

// A PostgreSQL 15 server of the test's own, from Debian's postgresql package:
// initdb and pg_ctl into a temporary folder, the socket in that folder, a free
// port, trust logins for the user "lumivox". When the tests run as root the
// server runs as nobody (uid 65534), who then owns the folder. A database made
// from schema_postgres.sql is the template of every database handed out. The
// destructor stops the server and removes the folder.
//
// POSIX only (user ids, setpriv), as the server itself.
class PgServer
{
public:
    // tcp: also listen on 127.0.0.1 (the benchmark's loopback), not only on the socket.
    explicit PgServer(bool tcp = false);
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }
    int port() const { return m_port; }

    // A new database with the program's tables, and the settings that reach it
    // (over the socket, or over the loopback when tcp).
    DatabaseSettings newDatabase(QString *error = nullptr);

    // The server of the whole test program, started on first use and stopped
    // when the program ends; null (with a warning) when it cannot start.
    static PgServer *shared();

private:
    bool run(const QString &program, const QStringList &args, bool asServerUser);

    QTemporaryDir m_dir;
    QString m_error;
    int m_port = 0;
    int m_databases = 0;
    bool m_tcp = false;
    bool m_running = false;
};

} // namespace lumivox::test
