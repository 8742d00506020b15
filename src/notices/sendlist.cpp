#include "notices/sendlist.h"

#include "app/messages.h"
#include "db/database.h"
#include "db/worktables.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

bool MakeSendList(QWidget *window, const QSqlDatabase &db, int newsId)
{
    QString error;
    // The notice's destination groups, through T_temp_グループ一覧.
    bool ok = executeAll(db,
                         {{QStringLiteral("delete from T_temp_グループ一覧")},
                          {QStringLiteral("insert into T_temp_グループ一覧 select NewsID as ID, GroupID "
                                          "from T_お知らせに対する宛先情報 where NewsID = ?"),
                           {newsId}}},
                         &error);
    QList<int> groupIds;
    if (ok) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        ok = q.exec(QStringLiteral("select GroupID from T_temp_グループ一覧 order by rowid"));
        while (ok && q.next())
            groupIds << q.value(0).toInt();
        if (!ok)
            error = q.lastError().text();
    }
    if (ok && groupIds.isEmpty()) {
        informUser(window, QStringLiteral("お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。"));
        return false;
    }
    if (ok)
        ok = fillSendList(db, groupIds, &error);
    if (!ok) {
        reportWriteFailure(window, QStringLiteral("送信リスト"), error);
        return false;
    }
    return true;
}

} // namespace lumivox
