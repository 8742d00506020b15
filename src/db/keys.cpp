#include "db/keys.h"

#include "db/database.h"

#include <QSet>
#include <QSqlQuery>

namespace lumivox {

int nextFreeKey(int rowCount, int capacity, const std::function<bool(int)> &isTaken)
{
    if (capacity < 1)
        return 0;
    int candidate = rowCount + 1;
    if (candidate > capacity || candidate < 1)
        candidate = 1;
    for (int tried = 0; tried < capacity; ++tried) {
        if (!isTaken(candidate))
            return candidate;
        if (++candidate > capacity)
            candidate = 1;
    }
    return 0;
}

int allocateKey(const QSqlDatabase &db, const QString &table, const QString &keyColumn,
                int capacity)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select %1 from %2").arg(quoted(keyColumn), quoted(table))))
        return 0;
    QSet<int> taken;
    int rows = 0;
    while (q.next()) {
        ++rows;
        taken.insert(q.value(0).toInt());
    }
    if (rows >= capacity)
        return 0;
    return nextFreeKey(rows, capacity, [&](int key) { return taken.contains(key); });
}

int insertUnderNewKey(const QSqlDatabase &db, const QString &table, const QString &keyColumn,
                      int capacity, const std::function<bool(int key)> &insert)
{
    // Each retry follows another program's new record, so the table fills up
    // before this can go on for long.
    for (int attempt = 0; attempt <= capacity; ++attempt) {
        const int key = allocateKey(db, table, keyColumn, capacity);
        if (key < 1 || insert(key))
            return key;
        // Another program's record under that key: the next allocation sees it.
        const QVariant taken = scalar(db, {QStringLiteral("select count(*) from %1 where %2 = ?")
                                               .arg(quoted(table), quoted(keyColumn)),
                                           {key}});
        if (taken.toInt() == 0)
            return -1;
    }
    return -1;
}

} // namespace lumivox
