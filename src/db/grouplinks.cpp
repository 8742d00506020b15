#include "db/grouplinks.h"

#include "db/database.h"

namespace lumivox {

StoreResult replaceGroupLinks(const QSqlDatabase &db, const LinkTable &links, qint64 key,
                              const QList<QVariant> &groupIds)
{
    QList<SqlStatement> statements{
        {QStringLiteral("delete from %1 where %2 = ?").arg(quoted(links.table), quoted(links.keyColumn)),
         {key}}};
    for (const QVariant &groupId : groupIds) {
        statements << SqlStatement{QStringLiteral("insert into %1 values (?, ?)").arg(quoted(links.table)),
                                   {key, groupId}};
    }
    QString error;
    if (!executeAll(db, statements, &error))
        return StoreResult::failed(error);
    return {};
}

} // namespace lumivox

namespace lumivox {

int countLinks(const QSqlDatabase &db, const LinkTable &links, qint64 key)
{
    const QVariant n = scalar(db, {QStringLiteral("select count(*) from %1 where %2 = ?")
                                       .arg(quoted(links.table), quoted(links.keyColumn)),
                                   {key}});
    return n.isValid() ? n.toInt() : -1;
}

} // namespace lumivox
