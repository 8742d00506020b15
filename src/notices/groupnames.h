#pragma once

#include "db/worktables.h"

#include <QSqlDatabase>

namespace lumivox {

class TableModel;

// Refills T_temp_グループ名称 with the names of the groups linked to `key` and
// opens `model` on it: the group list of the main window, the notice editor and
// the member card. When the refill fails the model is left empty rather than
// showing another record's leftovers; returns false then, with the reason.
bool loadGroupNames(TableModel &model, const QSqlDatabase &db, const LinkTable &links, qint64 key,
                    QString *error = nullptr);

// What the main window and the notice editor show when the destination groups
// could not be read: the list's heading says so, and the user is told once.
inline constexpr auto kUnreadableDestinations = "宛先グループ一覧（読み込めませんでした）";
QString unreadableDestinationsMessage(const QString &reason);

} // namespace lumivox
