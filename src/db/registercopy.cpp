#include "db/registercopy.h"

#include "db/database.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QUuid>

namespace lumivox {

namespace {

const QString kChoices = QStringLiteral("T_敬称");
const QString kRowid = QStringLiteral("rowid");

struct Table {
    QString name;
    QStringList columns; // in stored order
    bool keyed = false;  // its rowid is its key, on either engine
};

// The tables of the file that hold the register: all but SQLite's own and the
// work tables, in the order they were made.
bool registerTables(const QSqlDatabase &source, QList<Table> *tables, QString *why)
{
    QSqlQuery q(source);
    if (!q.exec(QStringLiteral("select name from sqlite_master where type = 'table' "
                               "and name not like 'sqlite\\_%' escape '\\' "
                               "and name not like 'T\\_temp\\_%' escape '\\' order by rowid"))) {
        *why = q.lastError().text();
        return false;
    }
    while (q.next()) {
        Table table{q.value(0).toString(), {}};
        for (const ColumnInfo &column : tableColumns(source, table.name)) {
            table.columns << column.name;
            table.keyed = table.keyed || column.key;
        }
        *tables << table;
    }
    if (tables->isEmpty()) {
        *why = QStringLiteral("Lumivox のデータベースではありません（表がありません）。");
        return false;
    }
    return true;
}

// Every table and column of the file is on the target, and the target holds no
// data yet.
bool targetReady(const QSqlDatabase &target, const QList<Table> &tables, QString *why)
{
    for (const Table &table : tables) {
        QStringList there;
        for (const ColumnInfo &column : tableColumns(target, table.name))
            there << column.name;
        if (there.isEmpty()) {
            *why = QStringLiteral("コピー先に表 %1 がありません。").arg(table.name);
            return false;
        }
        for (const QString &column : table.columns) {
            if (!there.contains(column, Qt::CaseInsensitive)) {
                *why = QStringLiteral("コピー先の表 %1 に列 %2 がありません。").arg(table.name, column);
                return false;
            }
        }
        if (table.name == kChoices)
            continue;
        const QVariant rows = scalar(target, {QStringLiteral("select count(*) from %1").arg(quoted(table.name))});
        if (!rows.isValid()) {
            *why = QStringLiteral("コピー先の表 %1 を読めません。").arg(table.name);
            return false;
        }
        if (rows.toLongLong() > 0) {
            *why = QStringLiteral("コピー先のデータベースは空ではありません（%1 に %2 行あります）。"
                                  "空のデータベースにだけコピーできます。")
                       .arg(table.name)
                       .arg(rows.toLongLong());
            return false;
        }
    }
    return true;
}

// Copies one table's rows inside the caller's transaction; on failure it rolls
// that transaction back itself, while its queries still live.
bool copyRows(const QSqlDatabase &source, const QSqlDatabase &target, const Table &table,
              CopySummary *done, QString *why)
{
    // A table without a key keeps the order of its rows through rowid.
    QStringList columns;
    QStringList marks;
    for (const QString &column : (table.keyed ? QStringList() : QStringList{kRowid}) + table.columns) {
        columns << quoted(column);
        marks << QStringLiteral("?");
    }
    QSqlQuery read(source);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("select %1 from %2 order by rowid")
                       .arg(columns.join(u','), quoted(table.name)))) {
        *why = QStringLiteral("%1 を読めません。\n%2").arg(table.name, read.lastError().text());
        QSqlDatabase(target).rollback();
        return false;
    }
    QSqlQuery write(target);
    if (!write.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                           .arg(quoted(table.name), columns.join(u','), marks.join(u',')))) {
        *why = QStringLiteral("%1 に書き込めません。\n%2").arg(table.name, write.lastError().text());
        QSqlDatabase(target).rollback();
        return false;
    }
    while (read.next()) {
        for (int i = 0; i < columns.size(); ++i)
            write.bindValue(i, read.value(i));
        if (!write.exec()) {
            *why = QStringLiteral("%1 の行（%2 = %3）を書き込めません。\n%4")
                       .arg(table.name, table.columns.value(0), read.value(table.keyed ? 0 : 1).toString(),
                            write.lastError().text());
            // Before the query goes: the server frees it only outside the failed transaction.
            QSqlDatabase(target).rollback();
            return false;
        }
        ++done->rows;
    }
    // New rows on the server continue after the copied ones.
    if (!table.keyed && engineOf(target) == Engine::PostgreSQL) {
        QSqlQuery q(target);
        q.prepare(QStringLiteral("select setval(pg_get_serial_sequence(?, 'rowid'), "
                                 "coalesce((select max(rowid) from %1), 0) + 1, false)")
                      .arg(quoted(table.name)));
        q.addBindValue(table.name);
        if (!q.exec()) {
            *why = QStringLiteral("%1 の行番号を進められません。\n%2").arg(table.name, q.lastError().text());
            QSqlDatabase(target).rollback();
            return false;
        }
    }
    ++done->tables;
    return true;
}

bool copyTables(const QSqlDatabase &source, const QSqlDatabase &target, CopySummary *done,
                QString *why)
{
    QList<Table> tables;
    if (!registerTables(source, &tables, why) || !targetReady(target, tables, why))
        return false;
    QSqlDatabase writer = target;
    if (!writer.transaction()) {
        *why = writer.lastError().text();
        return false;
    }
    bool ok = true;
    for (const Table &table : tables) {
        if (table.name == kChoices
            && !execute(target, {QStringLiteral("delete from %1").arg(quoted(kChoices))}, why)) {
            ok = false;
            break;
        }
        if (!copyRows(source, target, table, done, why)) {
            *done = {}; // copyRows has rolled back
            return false;
        }
    }
    if (ok && !writer.commit()) {
        *why = writer.lastError().text();
        ok = false;
    }
    if (!ok) {
        writer.rollback();
        *done = {};
    }
    return ok;
}

} // namespace

bool copyRegister(const QString &sqliteFile, const QSqlDatabase &target, CopySummary *summary,
                  QString *error)
{
    const QString name = QStringLiteral("lumivox-copy-") + QUuid::createUuid().toString();
    QString why;
    CopySummary done;
    {
        QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        const QFileInfo info(sqliteFile);
        if (!info.isFile()) {
            why = QStringLiteral("%1 が見つかりません。").arg(sqliteFile);
        } else {
            source.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)
                                   + QStringLiteral("?mode=ro"));
            source.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
            if (!source.open()) {
                why = source.lastError().text();
            } else {
                // One read transaction: a program still writing the file cannot
                // change it halfway through the copy.
                source.transaction();
                copyTables(source, target, &done, &why);
                source.rollback();
                source.close();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (summary)
        *summary = done;
    if (!why.isEmpty() && error)
        *error = why;
    return why.isEmpty();
}

} // namespace lumivox
