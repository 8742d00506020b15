#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace lumivox {

// The database's form is numbered by PRAGMA user_version: 0 is the form of the
// first release (the base tables), each later number adds tables, indexes or
// columns. schema.sql makes a new database in the latest form directly; an
// existing database is brought there step by step at start-up.

// The statements that take a database from version - 1 to `version`. Only
// additions: a step never drops, renames or rewrites what is stored.
struct SchemaStep {
    int version = 0;
    QStringList statements;
};

// Every step since the first release, in order.
const QList<SchemaStep> &schemaSteps();
// The version this program reads and writes (the last step's).
int currentSchemaVersion();

struct SchemaUpgrade {
    enum Result { UpToDate, Upgraded, TooNew, Failed };
    Result result = UpToDate;
    int fromVersion = 0;
    int toVersion = 0;
    QString message; // for the user, in Japanese (TooNew, Failed)
    QString detail;  // the database's or the file system's own words
    bool ok() const { return result == UpToDate || result == Upgraded; }
};

// Brings the database open on `db` (the file `path`) up to this program's form:
// - the same version: nothing to do;
// - an older one: the file is copied to path + ".bak" (replacing an older
//   copy), then every missing step runs, all in one transaction together with
//   the new user_version; the copy is taken inside that transaction, so it is
//   the database exactly as it was before. A failed copy or step leaves the
//   database untouched;
// - a newer one (written by a later program): refused, the file untouched.
SchemaUpgrade upgradeSchema(const QSqlDatabase &db, const QString &path,
                            const QList<SchemaStep> &steps = schemaSteps());

// What the start routine runs once the shared connection is open: on a
// PostgreSQL server nothing (its tables come from its schema file); on SQLite
// the upgrade above, then the write-ahead log as the database's journal, so that a result
// committed during a sending run costs no disk flush of its own and still
// survives the program being killed. A database that cannot switch keeps its
// journal; that is not an error.
SchemaUpgrade upgradeDatabase(const QSqlDatabase &db, const QString &path);

// The name of the copy upgradeSchema makes.
QString backupPathOf(const QString &path);

} // namespace lumivox
