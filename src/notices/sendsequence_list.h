#pragma once

#include "app/appcontext.h"

#include <QSqlDatabase>
#include <QString>

class QWidget;

namespace lumivox {

// Computes the recipients of a notice into T_temp_送信リスト: one row per
// destination group and member of it, by GroupID and then 名前 (a member of two
// destination groups is listed twice; a membership of a member that no longer
// exists gives a row with empty name and address). When the notice has no
// destination group, tells the user so (titled with the window's caption),
// leaves T_temp_送信リスト as it was and returns false. A failing statement is
// reported and also gives false.
bool MakeSendList(QWidget *window, const QSqlDatabase &db, int newsId);

// The Send command for one notice: MakeSendList; the message when no member
// belongs to the destination groups (or when the list cannot be read); the
// send-options dialog (ｷｬﾝｾﾙ stops); the sending window. Returns the time of
// sending, "yyyy/mm/dd hh:nn:ss", taken when the window closed however the run
// ended, or an empty text when nothing was sent on purpose: the sending window
// was never opened, or the user stopped at its question about characters that
// cannot be carried. (A ｷｬﾝｾﾙ during the run still gives the time.) Writes
// nothing: the caller records the time as the notice's 送信日時 (once, through
// its list, so that the row and the table agree).
QString SendNotice(QWidget *window, AppContext &context, int newsId);

} // namespace lumivox
