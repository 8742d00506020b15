#include "db/worktables.h"

#include "db/database.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

namespace {

// The part of the recipient join that both send-list refills share: the links of
// T_temp_グループ一覧 (A) joined to T_メンバー (B) and T_グループ (C).
QString sendListInsert(const QString &memberJoin)
{
    return QStringLiteral(
               "insert into T_temp_送信リスト "
               "select A.GroupID as GroupID, C.グループ名称 as グループ名称, B.MemberID as MemberID, "
               "B.名前 as 名前, B.敬称 as 敬称, B.\"E-Mail\" as \"E-Mail\" "
               "from (T_temp_グループ一覧 as A %1 T_メンバー as B on A.ID = B.MemberID) "
               "left outer join T_グループ as C on A.GroupID = C.GroupID "
               "order by A.GroupID nulls first, B.名前 collate JAPANESE nulls first")
        .arg(memberJoin);
}

QString placeholders(qsizetype n)
{
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(u',');
}

} // namespace

const LinkTable &noticeDestinations()
{
    static const LinkTable links{QStringLiteral("T_お知らせに対する宛先情報"),
                                 QStringLiteral("NewsID")};
    return links;
}

const LinkTable &memberGroups()
{
    static const LinkTable links{QStringLiteral("T_メンバーの登録グループ情報"),
                                 QStringLiteral("MemberID")};
    return links;
}

QList<SqlStatement> groupNamesRefill(const LinkTable &links, qint64 key)
{
    return {{QStringLiteral("delete from T_temp_グループ一覧")},
            {QStringLiteral("delete from T_temp_グループ名称")},
            {QStringLiteral("insert into T_temp_グループ一覧 select %1 as ID, GroupID from %2 where %1 = ?")
                 .arg(links.keyColumn, links.table),
             {key}},
            {QStringLiteral("insert into T_temp_グループ名称 "
                            "select T_グループ.グループ名称 as グループ名称 from T_temp_グループ一覧 "
                            "inner join T_グループ on T_temp_グループ一覧.GroupID = T_グループ.GroupID "
                            "order by T_temp_グループ一覧.rowid")}};
}

bool fillGroupNames(const QSqlDatabase &db, const LinkTable &links, qint64 key, QString *error)
{
    return executeAll(db, groupNamesRefill(links, key), error);
}

bool fillGroupSelection(const QSqlDatabase &db, QString *error)
{
    return executeAll(db,
                      {{QStringLiteral("delete from T_temp_グループ選択")},
                       {QStringLiteral("insert into T_temp_グループ選択 "
                                       "select GroupID, 0 as 選択, グループ名称 from T_グループ order by rowid")}},
                      error);
}

bool fillGroupSelection(const QSqlDatabase &db, const LinkTable &links, qint64 key, QString *error)
{
    return executeAll(
        db,
        {{QStringLiteral("delete from T_temp_グループ選択")},
         {QStringLiteral("delete from T_temp_グループ一覧")},
         {QStringLiteral("insert into T_temp_グループ選択 "
                         "select GroupID, 0 as 選択, グループ名称 from T_グループ order by rowid")},
         {QStringLiteral("insert into T_temp_グループ一覧 select %1 as ID, GroupID from %2 where %1 = ?")
              .arg(links.keyColumn, links.table),
          {key}},
         {QStringLiteral("update T_temp_グループ選択 set 選択 = 1 "
                         "where GroupID in (select GroupID from T_temp_グループ一覧)")}},
        error);
}

bool fillSendList(const QSqlDatabase &db, const QList<int> &groupIds, QString *error)
{
    QVariantList binds;
    for (int id : groupIds)
        binds << id;
    return executeAll(
        db,
        {{QStringLiteral("delete from T_temp_グループ一覧")},
         {QStringLiteral("insert into T_temp_グループ一覧 select MemberID as ID, GroupID "
                         "from T_メンバーの登録グループ情報 where GroupID in (%1)")
              .arg(placeholders(binds.size())),
          binds},
         {QStringLiteral("delete from T_temp_送信リスト")},
         {sendListInsert(QStringLiteral("left outer join"))}},
        error);
}

bool fillMembersByGroup(const QSqlDatabase &db, QString *error)
{
    return executeAll(db,
                      {{QStringLiteral("delete from T_temp_グループ一覧")},
                       {QStringLiteral("insert into T_temp_グループ一覧 select MemberID as ID, GroupID "
                                       "from T_メンバーの登録グループ情報")},
                       {QStringLiteral("delete from T_temp_送信リスト")},
                       {sendListInsert(QStringLiteral("right outer join"))}},
                      error);
}

// --- notices -----------------------------------------------------------------

bool fillNoticeSendList(const QSqlDatabase &db, qint64 newsId, int *destinations, QString *error)
{
    *destinations = 0;
    if (!executeAll(db,
                    {{QStringLiteral("delete from T_temp_グループ一覧")},
                     {QStringLiteral("insert into T_temp_グループ一覧 select NewsID as ID, GroupID "
                                     "from T_お知らせに対する宛先情報 where NewsID = ?"),
                      {newsId}}},
                    error))
        return false;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select GroupID from T_temp_グループ一覧 order by rowid"))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    QList<int> groupIds;
    while (q.next())
        groupIds << q.value(0).toInt();
    *destinations = int(groupIds.size());
    return groupIds.isEmpty() || fillSendList(db, groupIds, error);
}

} // namespace lumivox

// --- Member register: the list narrowed by a keyword or by groups ---------------

namespace lumivox {

MemberCondition keywordCondition(const QString &userColName, const QString &keyword)
{
    for (const QString &column : {QStringLiteral("名前"), QStringLiteral("フリガナ"), QStringLiteral("E-Mail")}) {
        if (userColName == u'[' + column + u']')
            return {QStringLiteral("JMATCH(%1) like JMATCH(?)").arg(quoted(column)),
                    {QString(u'%' + keyword + u'%')},
                    QStringLiteral("%1に「%2」を含むメンバー").arg(column, keyword)};
    }
    return {QStringLiteral("1 = 0"), {}, {}};
}

QList<qint64> parseIdList(const QString &list)
{
    QList<qint64> ids;
    QString inner = list.trimmed();
    if (inner.startsWith(u'('))
        inner.remove(0, 1);
    if (inner.endsWith(u')'))
        inner.chop(1);
    for (const QString &part : inner.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 id = part.trimmed().toLongLong(&ok);
        if (ok)
            ids << id;
    }
    return ids;
}

QString buildMemberIdList(const QSqlDatabase &db, const QString &groupList, QString *error)
{
    QVariantList groups;
    for (qint64 g : parseIdList(groupList))
        groups << g;
    if (!executeAll(db,
                    {{QStringLiteral("delete from T_temp_グループ一覧")},
                     {QStringLiteral("insert into T_temp_グループ一覧 select MemberID as ID, GroupID "
                                     "from T_メンバーの登録グループ情報 where GroupID in (%1)")
                          .arg(groups.isEmpty() ? QStringLiteral("null") : placeholders(groups.size())),
                      groups}},
                    error))
        return {};
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select ID from T_temp_グループ一覧"))) {
        if (error)
            *error = q.lastError().text();
        return {};
    }
    QStringList ids;
    while (q.next())
        ids << QString::number(q.value(0).toLongLong());
    return u'(' + (ids.isEmpty() ? QStringLiteral("999999") : ids.join(u',')) + u')';
}

MemberCondition memberIdCondition(const QString &idList)
{
    MemberCondition c;
    QSet<qint64> seen; // a member of two groups is listed twice
    for (qint64 id : parseIdList(idList)) {
        if (!seen.contains(id)) {
            seen.insert(id);
            c.binds << id;
        }
    }
    c.where = c.binds.isEmpty() ? QStringLiteral("1 = 0")
                                : QStringLiteral("MemberID in (%1)").arg(placeholders(c.binds.size()));
    return c;
}

QStringList groupNamesOf(const QSqlDatabase &db, const QString &groupList, QString *error)
{
    const QList<qint64> ids = parseIdList(groupList);
    if (ids.isEmpty())
        return {};
    QVariantList binds;
    for (qint64 id : ids)
        binds << id;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("select GroupID, グループ名称 from T_グループ where GroupID in (%1)")
                  .arg(placeholders(binds.size())));
    for (const QVariant &id : binds)
        q.addBindValue(id);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return {};
    }
    QHash<qint64, QString> names;
    while (q.next())
        names.insert(q.value(0).toLongLong(), q.value(1).toString());
    QStringList ordered;
    for (qint64 id : ids) {
        if (names.contains(id))
            ordered << names.value(id);
    }
    return ordered;
}

} // namespace lumivox
