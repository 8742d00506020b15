#include "db/database.h"

#include "db/japanesetext.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace lumivox {

namespace {

} // namespace

bool prepareAndRun(QSqlQuery &q, const SqlStatement &statement)
{
    // Qt prepares on the server: three trips (prepare, execute, free) where one
    // does when nothing is bound.
    if (statement.binds.isEmpty())
        return q.exec(statement.sql);
    if (!q.prepare(statement.sql))
        return false;
    for (const QVariant &value : statement.binds)
        q.addBindValue(value);
    return q.exec();
}

const QStringList &sslModes()
{
    static const QStringList modes{QStringLiteral("disable"), QStringLiteral("allow"),
                                   QStringLiteral("prefer"),  QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

namespace {

// Gives the connection work tables of its own: a temporary table for each
// T_temp_ table of the database, with the same name and columns. Unqualified
// names find the temporary table first on both engines (SQLite looks in temp
// before main, PostgreSQL's search path starts with pg_temp), so the program's
// SQL stays as it is and two programs never see each other's rows.
bool makeWorkTablesPrivate(const QSqlDatabase &db, QString *why)
{
    QSqlQuery q(db);
    QStringList creates;
    if (engineOf(db) == Engine::SQLite) {
        static const QRegularExpression createTable(QStringLiteral(R"(^\s*CREATE\s+TABLE\s)"),
                                                    QRegularExpression::CaseInsensitiveOption);
        if (!q.exec(QStringLiteral("select sql from main.sqlite_master where type = 'table' "
                                   "and name like 'T\\_temp\\_%' escape '\\'"))) {
            *why = q.lastError().text();
            return false;
        }
        while (q.next()) {
            QString sql = q.value(0).toString();
            if (sql.contains(createTable))
                creates << sql.replace(createTable, QStringLiteral("CREATE TEMP TABLE "));
        }
    } else {
        if (!q.exec(QStringLiteral("select c.relname from pg_class c "
                                   "where c.relkind = 'r' and c.relname like 't\\_temp\\_%' "
                                   "and pg_table_is_visible(c.oid)"))) {
            *why = q.lastError().text();
            return false;
        }
        while (q.next()) {
            const QString name = quoted(q.value(0).toString());
            creates << QStringLiteral("create temporary table %1 (like %1 including all)").arg(name);
        }
    }
    for (const QString &sql : creates) {
        if (!q.exec(sql)) {
            *why = q.lastError().text();
            return false;
        }
    }
    return true;
}

// The server's reason, as libpq gives it, without Qt's own words around it.
QString serverReason(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

void openSqlite(QSqlDatabase &db, const QString &path, QString *why, bool *busy)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *why = QStringLiteral("%1 が見つかりません。").arg(path);
        return;
    }
    if (!info.isFile() || !info.isReadable()) {
        *why = QStringLiteral("%1 を読み込めません。").arg(path);
        return;
    }
    // mode=rw: SQLite must not create the file if it vanished in between.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)
                       + QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        *why = db.lastError().text();
        return;
    }
    // Opening is lazy: only reading the schema proves that this is a database.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
        *why = probe.lastError().text();
        // SQLITE_BUSY, SQLITE_LOCKED: another program holds the file
        const QString code = probe.lastError().nativeErrorCode();
        *busy = code == QLatin1String("5") || code == QLatin1String("6");
    } else {
        registerJapaneseText(db, why);
    }
}

void openServer(QSqlDatabase &db, const DatabaseSettings &settings, QString *why)
{
    if (!db.isValid()) {
        *why = QStringLiteral("PostgreSQL のドライバー（libqt6sql6-psql）が入っていません。");
        return;
    }
    // Qt hands these to libpq as they are, separated by blanks: only values
    // without blanks or quotes may pass.
    static const QRegularExpression plain(QStringLiteral(R"(^[A-Za-z0-9_.\-]*$)"));
    if (!settings.sslMode.isEmpty() && !sslModes().contains(settings.sslMode)) {
        *why = QStringLiteral("接続の保護（sslmode）「%1」は使えません。").arg(settings.sslMode);
        return;
    }
    if (!plain.match(settings.service).hasMatch()) {
        *why = QStringLiteral("サービス名「%1」は使えません。").arg(settings.service);
        return;
    }
    QStringList options{QStringLiteral("connect_timeout=10"),
                        QStringLiteral("application_name=Lumivox")};
    if (!settings.sslMode.isEmpty())
        options << QStringLiteral("sslmode=") + settings.sslMode;
    if (!settings.service.isEmpty())
        options << QStringLiteral("service=") + settings.service;
    db.setConnectOptions(options.join(u';'));
    db.setHostName(settings.host);
    if (settings.port > 0)
        db.setPort(settings.port);
    db.setDatabaseName(settings.databaseName);
    db.setUserName(settings.user);
    if (!db.open()) {
        *why = QStringLiteral("PostgreSQL サーバーに接続できません。\n%1").arg(serverReason(db.lastError()));
        return;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select version from lumivox_schema")) || !q.next()) {
        *why = QStringLiteral("サーバーのデータベース「%1」に Lumivox の表がありません。"
                              "schema_postgres.sql を psql -f で読み込んでください。\n%2")
                   .arg(db.databaseName(), serverReason(q.lastError()));
        return;
    }
    const int version = q.value(0).toInt();
    if (version > kServerSchemaVersion) {
        *why = QStringLiteral("サーバーの表（版 %1）はこのプログラム（版 %2）より新しい版のものです。"
                              "新しい Lumivox をお使いください。")
                   .arg(version)
                   .arg(kServerSchemaVersion);
    } else if (version < kServerSchemaVersion) {
        *why = QStringLiteral("サーバーの表（版 %1）はこのプログラム（版 %2）より古い版のものです。"
                              "サーバーの表を新しい版にしてください。")
                   .arg(version)
                   .arg(kServerSchemaVersion);
    }
}

} // namespace

bool openSharedConnection(const QString &connectionName, const DatabaseSettings &settings,
                          QString *error, bool *locked)
{
    QString why;
    bool busy = false;
    {
        const bool server = settings.engine == Engine::PostgreSQL;
        QSqlDatabase db = QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL")
                                                           : QStringLiteral("QSQLITE"),
                                                    connectionName);
        if (server)
            openServer(db, settings, &why);
        else
            openSqlite(db, settings.file, &why, &busy);
        if (why.isEmpty())
            makeWorkTablesPrivate(db, &why);
        if (!why.isEmpty())
            db.close();
    }
    if (why.isEmpty())
        return true;
    QSqlDatabase::removeDatabase(connectionName);
    if (error)
        *error = why;
    if (locked)
        *locked = busy;
    return false;
}

bool openSharedConnection(const QString &connectionName, const QString &path, QString *error, bool *locked)
{
    DatabaseSettings settings;
    settings.file = path;
    return openSharedConnection(connectionName, settings, error, locked);
}

Engine engineOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
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
        // The failed query lives until after the rollback: PostgreSQL can only
        // let go of its prepared statement once the aborted transaction has ended.
        QSqlQuery q(conn);
        if (!prepareAndRun(q, statement)) {
            if (error)
                *error = q.lastError().text();
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

QList<ColumnInfo> tableColumns(const QSqlDatabase &db, const QString &table)
{
    QList<ColumnInfo> columns;
    QSqlQuery q(db);
    if (engineOf(db) == Engine::SQLite) {
        if (!q.exec(QStringLiteral("pragma table_info(%1)").arg(quoted(table))))
            return columns;
        while (q.next())
            columns << ColumnInfo{q.value(1).toString(), q.value(2).toString().toUpper(),
                                  q.value(5).toInt() > 0};
        return columns;
    }
    q.prepare(QStringLiteral(
        "select a.attname, format_type(a.atttypid, a.atttypmod), "
        "exists (select 1 from pg_index i where i.indrelid = a.attrelid and i.indisprimary "
        "and a.attnum = any (i.indkey)) "
        "from pg_attribute a where a.attrelid = to_regclass(?) and a.attnum > 0 "
        "and not a.attisdropped and a.attname <> 'rowid' order by a.attnum"));
    q.addBindValue(quoted(table));
    if (!q.exec())
        return columns;
    // The server's names for the types, as SQLite declares them.
    static const QRegularExpression varying(QStringLiteral(R"(^character varying(\(\d+\))$)"));
    while (q.next()) {
        QString type = q.value(1).toString();
        if (const auto m = varying.match(type); m.hasMatch())
            type = QStringLiteral("VARCHAR") + m.captured(1);
        else if (type == QLatin1String("integer") || type == QLatin1String("bigint")
                 || type == QLatin1String("smallint"))
            type = QStringLiteral("INTEGER");
        else if (type == QLatin1String("bytea"))
            type = QStringLiteral("BLOB");
        columns << ColumnInfo{q.value(0).toString(), type.toUpper(), q.value(2).toBool()};
    }
    return columns;
}

QString quoted(const QString &identifier)
{
    // A name that needs no quotes stays bare, so that both engines read it as the
    // program's SQL writes it: PostgreSQL folds the ASCII letters of bare names
    // to lower case (its tables were made with bare names), SQLite ignores case.
    static const QRegularExpression plain(
        QStringLiteral(R"(^[A-Za-z_\x{80}-\x{10FFFF}][A-Za-z0-9_\x{80}-\x{10FFFF}]*$)"));
    if (plain.match(identifier).hasMatch())
        return identifier;
    QString escaped = identifier;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

} // namespace lumivox
