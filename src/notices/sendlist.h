#pragma once

#include <QSqlDatabase>

class QWidget;

namespace lumivox {

// Computes the recipients of a notice into T_temp_送信リスト: one row per
// destination group and member of it, by GroupID and then 名前 (a member of two
// destination groups is listed twice; a membership of a member that no longer
// exists gives a row with empty name and address). When the notice has no
// destination group, tells the user so (titled with the window's caption),
// leaves T_temp_送信リスト as it was and returns false. A failing statement is
// reported and also gives false. Used by the Send command and the check list.
bool MakeSendList(QWidget *window, const QSqlDatabase &db, int newsId);

} // namespace lumivox
