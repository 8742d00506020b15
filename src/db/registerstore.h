#pragma once

#include "db/storeresult.h"
#include "db/worktables.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace lumivox {

class TableModel;

// What tells the member table from the group table: the table, its key, how many
// records it may hold, the link rows that name a record by its key (they go when
// the record goes) and the values a new record starts with.
struct RegisterTable {
    QString table;
    QString keyColumn;
    int capacity;
    QList<LinkTable> links; // LinkTable::keyColumn holds this table's key
    QVariantMap (*newRecord)(int key);
};
// T_メンバー: at most 999 members; a new one has empty texts and the honorific 様;
// its groups go with it.
const RegisterTable &memberTable();
// T_グループ: at most 99 groups; a new one is named (and read) グループ and its
// number in full width; its memberships and notice destinations go with it.
const RegisterTable &groupTable();

// The name a new group starts with: 7 gives グループ７, 12 gives グループ１２.
QString defaultGroupName(int groupId);

// The records of one register, as its list shows them: the whole table, or the
// part of it a condition selects. Adding, changing and deleting go through here,
// so that the list and the table stay alike:
//
// - append() gives the new record a key free in the whole table (never one a
//   record outside the list has) and the table's starting values, and refuses
//   once the table holds its capacity;
// - remove() deletes the record and its link rows in one transaction, all or
//   nothing;
// - the capacity counts the table, not the list, and is counted when the list is
//   opened, not at every look.
//
// Nothing here shows a message: each operation returns its result, and an edit
// typed or pasted straight into the list that the database refuses is reported
// through listEditFailed.
class RegisterStore : public QObject
{
    Q_OBJECT
public:
    RegisterStore(const QSqlDatabase &db, const RegisterTable &table, QObject *parent = nullptr);

    const RegisterTable &table() const { return m_table; }
    QSqlDatabase database() const { return m_db; }
    // The records listed, rows from 0 in table order; a grid binds to it.
    TableModel &list() const { return *m_list; }

    // Lists the whole table, or the records matching `where` (values bound).
    // When it fails the list is empty and the reason is returned.
    StoreResult open(const QString &where = {}, const QVariantList &binds = {});

    int tableCount() const { return m_tableCount; }
    bool isFull() const { return m_tableCount >= m_table.capacity; }
    // The key of a listed row (from 0); 0 outside the list.
    qint64 keyAt(int row) const;

    // A new record with its starting values, appended as the list's last row.
    StoreResult append();
    // Writes fields of a listed record in one statement.
    StoreResult update(int row, const QVariantMap &fields);
    // Deletes a listed record together with its link rows.
    StoreResult remove(int row);
    // How many rows of each link table (in the order of table().links) would go
    // with a listed record; -1 for one that cannot be counted.
    QList<int> linkCounts(int row) const;

    // The honorifics offered for a member (T_敬称), in table order.
    static QStringList honorifics(const QSqlDatabase &db);

Q_SIGNALS:
    void listEditFailed(const QString &reason);

private:
    void countTable();

    QSqlDatabase m_db;
    const RegisterTable &m_table;
    TableModel *m_list;
    int m_tableCount = 0;
    bool m_operating = false; // the list's write failures are this store's results
};

} // namespace lumivox
