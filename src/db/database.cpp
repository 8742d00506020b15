#include "db/database.h"

#include "db/japanesetext.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace lumivox {

namespace {

bool prepareAndRun(QSqlQuery &q, const SqlStatement &statement)
{
    if (!q.prepare(statement.sql))
        return false;
    for (const QVariant &value : statement.binds)
        q.addBindValue(value);
    return q.exec();
}

} // namespace

bool openSharedConnection(const QString &connectionName, const QString &path, QString *error, bool *locked)
{
    QString why;
    bool busy = false;
    const QFileInfo info(path);
    if (!info.exists()) {
        why = QStringLiteral("%1 が見つかりません。").arg(path);
    } else if (!info.isFile() || !info.isReadable()) {
        why = QStringLiteral("%1 を読み込めません。").arg(path);
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        // mode=rw: SQLite must not create the file if it vanished in between.
        db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)
                           + QStringLiteral("?mode=rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            why = db.lastError().text();
        } else {
            // Opening is lazy: only reading the schema proves that this is a database.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
                why = probe.lastError().text();
                // SQLITE_BUSY, SQLITE_LOCKED
                const QString code = probe.lastError().nativeErrorCode();
                busy = code == QLatin1String("5") || code == QLatin1String("6");
            } else {
                registerJapaneseText(db, &why);
            }
        }
        if (!why.isEmpty())
            db.close();
    }
    if (why.isEmpty())
        return true;
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    if (error)
        *error = why;
    if (locked)
        *locked = busy;
    return false;
}

void closeSharedConnection(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

bool execute(const QSqlDatabase &db, const SqlStatement &statement, QString *error)
{
    QSqlQuery q(db);
    if (prepareAndRun(q, statement))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

bool executeAll(const QSqlDatabase &db, const QList<SqlStatement> &statements, QString *error)
{
    QSqlDatabase conn = db;
    if (!conn.transaction()) {
        if (error)
            *error = conn.lastError().text();
        return false;
    }
    for (const SqlStatement &statement : statements) {
        if (!execute(conn, statement, error)) {
            conn.rollback();
            return false;
        }
    }
    if (!conn.commit()) {
        if (error)
            *error = conn.lastError().text();
        conn.rollback();
        return false;
    }
    return true;
}

QVariant scalar(const QSqlDatabase &db, const SqlStatement &statement)
{
    QSqlQuery q(db);
    if (prepareAndRun(q, statement) && q.next())
        return q.value(0);
    return {};
}

QString quoted(const QString &identifier)
{
    QString escaped = identifier;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

} // namespace lumivox
