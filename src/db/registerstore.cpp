#include "db/registerstore.h"

#include "db/database.h"
#include "db/grouplinks.h"
#include "db/keys.h"
#include "db/tablemodel.h"

#include <QSqlQuery>

#include <utility>

namespace lumivox {

namespace {

QVariantMap newMember(int key)
{
    return {{QStringLiteral("MemberID"), key},
            {QStringLiteral("名前"), QString()},
            {QStringLiteral("フリガナ"), QString()},
            {QStringLiteral("敬称"), QStringLiteral("様")},
            {QStringLiteral("E-Mail"), QString()}};
}

QVariantMap newGroup(int key)
{
    const QString name = defaultGroupName(key);
    return {{QStringLiteral("GroupID"), key},
            {QStringLiteral("グループ名称"), name},
            {QStringLiteral("フリガナ"), name}};
}

// Runs a step of the store with the list's write failures taken as its result.
template <class Step>
StoreResult run(bool &operating, TableModel &list, Step step)
{
    operating = true;
    const bool ok = step();
    operating = false;
    return ok ? StoreResult{} : StoreResult::fromList(list);
}

} // namespace

const RegisterTable &memberTable()
{
    static const RegisterTable table{QStringLiteral("T_メンバー"), QStringLiteral("MemberID"),
                                     kMaxMembers, {memberGroups()}, newMember};
    return table;
}

const RegisterTable &groupTable()
{
    static const RegisterTable table{
        QStringLiteral("T_グループ"),
        QStringLiteral("GroupID"),
        kMaxGroups,
        {{memberGroups().table, QStringLiteral("GroupID")},
         {noticeDestinations().table, QStringLiteral("GroupID")}},
        newGroup};
    return table;
}

QString defaultGroupName(int groupId)
{
    QString name = QStringLiteral("グループ");
    for (const QChar digit : QString::number(groupId))
        name += QChar(static_cast<char16_t>(u'０' + (digit.unicode() - u'0')));
    return name;
}

RegisterStore::RegisterStore(const QSqlDatabase &db, const RegisterTable &table, QObject *parent)
    : QObject(parent), m_db(db), m_table(table), m_list(new TableModel(db, this))
{
    connect(m_list, &TableModel::writeFailed, this, [this](const QString &reason) {
        if (!m_operating)
            Q_EMIT listEditFailed(reason);
    });
}

StoreResult RegisterStore::open(const QString &where, const QVariantList &binds)
{
    const bool ok = m_list->open(m_table.table, where, binds);
    countTable();
    return ok ? StoreResult{} : StoreResult::failed(m_list->lastError());
}

void RegisterStore::countTable()
{
    const QVariant n = scalar(m_db, {QStringLiteral("select count(*) from %1").arg(quoted(m_table.table))});
    // Unreadable: the list is the best count there is.
    m_tableCount = n.isValid() ? n.toInt() : m_list->rowCount();
}

qint64 RegisterStore::keyAt(int row) const
{
    return m_list->value(row, m_table.keyColumn).toLongLong();
}

StoreResult RegisterStore::append()
{
    const QString full = QStringLiteral("登録できるのは %1 件までです。").arg(m_table.capacity);
    if (isFull())
        return StoreResult::failed(full);
    int row = -1;
    int key = 0;
    StoreResult r = run(m_operating, *m_list, [&] {
        key = insertUnderNewKey(m_db, m_table.table, m_table.keyColumn, m_table.capacity, [&](int k) {
            row = m_list->appendRecord(m_table.newRecord(k));
            return row >= 0;
        });
        return key != -1;
    });
    if (r && key == 0) {
        // Full, perhaps through another program's records, or the keys unreadable.
        countTable();
        return StoreResult::failed(isFull() ? full : QStringLiteral("新しいレコードの番号を決められませんでした。"));
    }
    if (r) {
        countTable(); // other programs may have added records too
        r.row = row;
        r.key = key;
    }
    return r;
}

StoreResult RegisterStore::update(int row, const QVariantMap &fields)
{
    if (fields.isEmpty())
        return {};
    return run(m_operating, *m_list, [&] { return m_list->setValues(row, fields); });
}

QList<int> RegisterStore::linkCounts(int row) const
{
    QList<int> counts;
    for (const LinkTable &l : m_table.links)
        counts << countLinks(m_db, l, keyAt(row));
    return counts;
}

StoreResult RegisterStore::remove(int row)
{
    if (row < 0 || row >= m_list->rowCount())
        return StoreResult::failed(QStringLiteral("削除するレコードがありません。"));
    const qint64 key = keyAt(row);
    QList<SqlStatement> links;
    for (const LinkTable &l : m_table.links)
        links << SqlStatement{QStringLiteral("delete from %1 where %2 = ?").arg(quoted(l.table), quoted(l.keyColumn)),
                              {key}};
    const StoreResult r = run(m_operating, *m_list, [&] { return m_list->removeRecord(row, links); });
    if (r)
        --m_tableCount;
    return r;
}

QStringList RegisterStore::honorifics(const QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("select 敬称 from T_敬称 order by rowid"))) {
        while (q.next())
            out << q.value(0).toString();
    }
    return out;
}

} // namespace lumivox
