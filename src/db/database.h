#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace lumivox {

// One SQL statement with its bound values. Every value that comes from the user,
// and every key, reaches SQL as a bound value, never by concatenation.
struct SqlStatement {
    QString sql;
    QVariantList binds = {};
};

// Opens the shared connection on an existing SQLite database. A missing file, an
// unreadable one or one that is not an SQLite database fails with a reason; the
// file is never created. A file another connection keeps locked (for longer than
// the wait for a busy database) fails with *locked set.
bool openSharedConnection(const QString &connectionName, const QString &path,
                          QString *error = nullptr, bool *locked = nullptr);
void closeSharedConnection(const QString &connectionName);

// Runs one statement; false (with the driver's message in *error) when it fails.
bool execute(const QSqlDatabase &db, const SqlStatement &statement, QString *error = nullptr);

// Runs several statements in one transaction: all of them or none.
bool executeAll(const QSqlDatabase &db, const QList<SqlStatement> &statements,
                QString *error = nullptr);

// The first column of the first row of a query, or an invalid QVariant.
QVariant scalar(const QSqlDatabase &db, const SqlStatement &statement);

// Quotes a table or column name for SQL ("E-Mail", Japanese names).
QString quoted(const QString &identifier);

} // namespace lumivox
