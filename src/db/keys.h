#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace lumivox {

// Capacities of the three keyed tables.
inline constexpr int kMaxNotices = 999;
inline constexpr int kMaxMembers = 999;
inline constexpr int kMaxGroups = 99;

// The key rule shared by notices, members and groups: start at rowCount + 1, step
// up past every key that is taken, continue at 1 after the capacity. Returns 0
// when every key from 1 to the capacity is taken (the callers refuse to add at
// the capacity, so this is only a guard against an endless search).
int nextFreeKey(int rowCount, int capacity, const std::function<bool(int)> &isTaken);

// The same rule applied to a table itself: the row count and the taken keys are
// those of the whole table, whatever part of it a window happens to show.
int allocateKey(const QSqlDatabase &db, const QString &table, const QString &keyColumn,
                int capacity);

// Adds a record under a new key: allocates it by the rule above and runs
// `insert` with it. When the insert fails because another program sharing the
// table took that very key at the same moment, allocates again (until the table
// is full).
// Returns the key used; 0 when the table is full or its keys cannot be read;
// -1 when the insert failed for another reason.
int insertUnderNewKey(const QSqlDatabase &db, const QString &table, const QString &keyColumn,
                      int capacity, const std::function<bool(int key)> &insert);

} // namespace lumivox
