#pragma once

#include "db/worktables.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

namespace lumivox {

class TableModel;

// The form of every time the program stores: "yyyy/mm/dd hh:nn:ss".
QString timeText(const QDateTime &time);
QString currentTimeText();

// What a notice starts with.
inline constexpr auto kUntitledTitle = "(無題)";
inline constexpr auto kEmptyBody = "(未入力)";
inline constexpr auto kNotSent = "(未送信)";

// Refills T_temp_グループ名称 with the names of the groups linked to `key` and
// opens `model` on it. When the refill fails the model is left empty rather than
// showing another record's leftovers; returns false then.
bool loadGroupNames(TableModel &model, const QSqlDatabase &db, const LinkTable &links, qint64 key);

} // namespace lumivox
