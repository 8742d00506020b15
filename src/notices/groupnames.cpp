#include "notices/groupnames.h"

#include "db/tablemodel.h"

namespace lumivox {

bool loadGroupNames(TableModel &model, const QSqlDatabase &db, const LinkTable &links, qint64 key,
                    QString *error)
{
    const QString table = QStringLiteral("T_temp_グループ名称");
    QString why;
    if (fillGroupNames(db, links, key, &why)) {
        if (model.open(table))
            return true;
        why = model.lastError();
    }
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
