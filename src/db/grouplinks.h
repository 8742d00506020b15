#pragma once

#include "db/storeresult.h"
#include "db/worktables.h"

#include <QList>
#include <QSqlDatabase>
#include <QVariant>

namespace lumivox {

// Replaces the link rows of one record (a notice's destination groups, or the
// groups a member belongs to) by one row per given group, in one transaction: a
// failure leaves the record's links as they were. An empty list leaves the
// record with no links. This is what OK of a group chooser writes.
StoreResult replaceGroupLinks(const QSqlDatabase &db, const LinkTable &links, qint64 key,
                              const QList<QVariant> &groupIds);

// How many link rows name the record `key` (what deleting it would take with
// it); -1 when they cannot be counted.
int countLinks(const QSqlDatabase &db, const LinkTable &links, qint64 key);

} // namespace lumivox
