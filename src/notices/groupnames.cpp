#include "notices/groupnames.h"

#include "db/tablemodel.h"

#include <QSqlError>

namespace lumivox {

// The names come through the work tables as the refill leaves them, read within
// a transaction that is then given back: showing another record's groups writes
// nothing to the file, where a commit would wait for the disk twice at every
// move through a list. The model keeps what it read (the column is no long
// text, which it would fetch later).
bool loadGroupNames(TableModel &model, const QSqlDatabase &db, const LinkTable &links, qint64 key,
                    QString *error)
{
    const QString table = QStringLiteral("T_temp_グループ名称");
    QSqlDatabase conn = db;
    QString why;
    bool read = conn.transaction();
    if (!read)
        why = conn.lastError().text();
    for (const SqlStatement &statement : groupNamesRefill(links, key))
        read = read && execute(conn, statement, &why);
    if (read && !model.open(table)) {
        read = false;
        why = model.lastError();
    }
    conn.rollback();
    if (read)
        return true;
    if (error)
        *error = why;
    // The heading stays, the rows go.
    if (!model.open(table, QStringLiteral("0")))
        model.close();
    return false;
}

QString unreadableDestinationsMessage(const QString &reason)
{
    return QStringLiteral("宛先グループの一覧を読み込めませんでした。一覧が空に見えても，宛先が"
                          "指定されていないとは限りません。\n\n詳細：")
           + reason;
}

} // namespace lumivox
