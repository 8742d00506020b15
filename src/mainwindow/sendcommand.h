#pragma once

// The send sequence opens the mail windows, so it belongs to the main window's
// library (lumivox_main), on top of the mail area; the recipient list it starts
// from (MakeSendList) is the notices library's.
#include "app/appcontext.h"
#include "notices/sendlist.h"

#include <QString>

class QWidget;

namespace lumivox {

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
