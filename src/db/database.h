#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace lumivox {

// One SQL statement with its bound values. Every value that comes from the user,
// and every key, reaches SQL as a bound value, never by concatenation.
struct SqlStatement {
    QString sql;
    QVariantList binds = {};
};

enum class Engine { SQLite, PostgreSQL };

// Where the register lives: the SQLite file beside the program (the default), or
// a PostgreSQL server that several officers share. No password is ever part of
// it: libpq reads it from the user's ~/.pgpass or from a service file.
struct DatabaseSettings {
    Engine engine = Engine::SQLite;
    QString file;         // SQLite: the database file
    QString host;         // server name, address or socket folder; empty: libpq's default
    int port = 5432;
    QString databaseName; // empty: libpq's default (the user name)
    QString user;         // empty: libpq's default (the login name)
    QString sslMode;      // disable, allow, prefer, require, verify-ca, verify-full; empty: prefer
    QString service;      // a service of the service file; empty: none
};

// The sslmode values libpq knows, weakest first.
const QStringList &sslModes();

// The version of the server's tables this program works with (the one row of
// lumivox_schema, set by schema_postgres.sql).
inline constexpr int kServerSchemaVersion = 1;

// Opens the shared connection. On SQLite the database must exist: a missing file,
// an unreadable one or one that is not an SQLite database fails with a reason,
// and the file is never created. On PostgreSQL a server that cannot be reached,
// refuses the login or does not hold this program's tables fails with the
// server's reason. Either way the connection gets the collation JAPANESE and the
// function JMATCH (registered on SQLite, loaded with the schema on the server),
// and work tables (T_temp_…) of its own: temporary tables with the same names
// and columns, which hide the shared ones from this connection's SQL. A file
// another program keeps locked (longer than the wait for a busy database) fails
// with *locked set.
bool openSharedConnection(const QString &connectionName, const DatabaseSettings &settings,
                          QString *error = nullptr, bool *locked = nullptr);
bool openSharedConnection(const QString &connectionName, const QString &path,
                          QString *error = nullptr, bool *locked = nullptr);
void closeSharedConnection(const QString &connectionName);

Engine engineOf(const QSqlDatabase &db);

// Runs a statement on a query: prepared with its values bound, or straight when
// it has none. False when it fails (the reason is the query's lastError()).
bool prepareAndRun(QSqlQuery &q, const SqlStatement &statement);

// Runs one statement; false (with the driver's message in *error) when it fails.
bool execute(const QSqlDatabase &db, const SqlStatement &statement, QString *error = nullptr);

// Runs several statements in one transaction: all of them or none.
bool executeAll(const QSqlDatabase &db, const QList<SqlStatement> &statements,
                QString *error = nullptr);

// The first column of the first row of a query, or an invalid QVariant.
QVariant scalar(const QSqlDatabase &db, const SqlStatement &statement);

// One column of a table: its name, its type as SQLite declares it ("INTEGER",
// "VARCHAR(10)", "TEXT", "BLOB"; upper case) and whether it is the key.
struct ColumnInfo {
    QString name;
    QString type;
    bool key = false;
};

// The columns of a table in their stored order, on either engine (the rowid that
// the server's tables carry last is SQLite's hidden one, and left out); empty
// when there is no such table. A work table gives this connection's own.
QList<ColumnInfo> tableColumns(const QSqlDatabase &db, const QString &table);

// A table or column name for SQL: bare when it needs no quotes (T_メンバー,
// MemberID), in double quotes otherwise ("E-Mail").
QString quoted(const QString &identifier);

} // namespace lumivox
