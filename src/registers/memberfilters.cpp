#include "registers/memberfilters.h"

#include "app/kana.h"
#include "app/readingedit.h"
#include "db/database.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

QString filterColumn(const QString &userColName)
{
    static const QStringList columns{QStringLiteral("名前"), QStringLiteral("フリガナ"),
                                     QStringLiteral("E-Mail")};
    for (const QString &c : columns) {
        if (userColName == u'[' + c + u']')
            return c;
    }
    return {};
}

MemberCondition keywordCondition(const QString &userColName, const QString &keyword)
{
    const QString column = filterColumn(userColName);
    if (column.isEmpty())
        return {QStringLiteral("0"), {}};
    return {quoted(column) + QStringLiteral(" like ?"),
            {QString(u'%' + keyword + u'%')}};
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

QString BuildMemberIdList(const QSqlDatabase &db, const QString &groupList, QString *error)
{
    const QList<qint64> groups = parseIdList(groupList);
    QVariantList binds;
    QStringList marks;
    for (qint64 g : groups) {
        binds << g;
        marks << QStringLiteral("?");
    }
    if (marks.isEmpty())
        marks << QStringLiteral("null"); // no group: no member
    if (!executeAll(db,
                    {{QStringLiteral("delete from T_temp_グループ一覧")},
                     {QStringLiteral("insert into T_temp_グループ一覧 select MemberID as ID, GroupID "
                                     "from T_メンバーの登録グループ情報 where GroupID in (%1)")
                          .arg(marks.join(u',')),
                      binds}},
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
    if (ids.isEmpty())
        return QStringLiteral("(999999)");
    return u'(' + ids.join(u',') + u')';
}

MemberCondition memberIdCondition(const QString &idList)
{
    const QList<qint64> ids = parseIdList(idList);
    if (ids.isEmpty())
        return {QStringLiteral("0"), {}};
    MemberCondition c;
    QStringList marks;
    QSet<qint64> seen; // a member of two groups is listed twice; one bound value each
    for (qint64 id : ids) {
        if (seen.contains(id))
            continue;
        seen.insert(id);
        c.binds << id;
        marks << QStringLiteral("?");
    }
    c.where = QStringLiteral("MemberID in (%1)").arg(marks.join(u','));
    return c;
}

QString defaultGroupName(int groupId)
{
    return toFullWidth(QStringLiteral("グループ") + QString::number(groupId));
}

} // namespace lumivox
