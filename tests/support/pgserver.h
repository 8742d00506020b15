#pragma once

#include "db/database.h"

#include <QString>
#include <QTemporaryDir>

namespace lumivox::test {

// A PostgreSQL server of the test's own in a temporary folder, started and
// stopped by pgserver.sh (initdb and pg_ctl from Debian's postgresql package,
// run as nobody under root). Every database it hands out starts from
// schema_postgres.sql. The destructor stops the server and removes the folder.
class PgServer
{
public:
    // tcp: also listen on 127.0.0.1 (the benchmark's loopback), not only on the socket.
    explicit PgServer(bool tcp = false);
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    bool isRunning() const { return m_port > 0; }

    // A new database with the program's tables, and the settings that reach it;
    // its name is empty (and *error says why) when there is none.
    DatabaseSettings newDatabase(QString *error = nullptr);

    // The server of the whole test program, started on first use and stopped
    // when the program ends; null when it cannot start.
    static PgServer *shared();

private:
    bool script(const QStringList &args, QString *output);

    QTemporaryDir m_dir;
    bool m_tcp;
    int m_port = 0;
    int m_databases = 0;
};

} // namespace lumivox::test
