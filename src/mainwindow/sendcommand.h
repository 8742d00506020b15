#pragma once

// The send sequence opens the mail windows, so it belongs to the main window's
// library (lumivox_main), on top of the mail area; the recipient list it starts
// from (MakeSendList) is the notices library's.
#include "app/appcontext.h"
#include "notices/sendlist.h"

class QWidget;

namespace lumivox {

// To whom a send goes: everyone on the notice's list, or only those its
// earlier runs did not reach (「未送信の宛先に送信」).
enum class SendScope { Everyone, NotReached };

// The Send command for one notice:
// 1. MakeSendList; a message when no member belongs to the destination groups
//    (or when the list or the earlier results cannot be read).
// 2. With Everyone, when earlier runs reached some of the list: a question
//    that says how many, with 「未送信の宛先に送信」, a full resend or ｷｬﾝｾﾙ.
//    Only those not reached: never an address that already accepted this
//    notice; those whose mail was cut off (不明) are asked about.
// 3. The send options (with Everyone; ｷｬﾝｾﾙ stops).
// 4. The check of every address and of the characters ISO-2022-JP cannot
//    carry: the list of problems, to send to everyone else or to stop.
// 5. The confirmation 「見出し」を N 人に M 通送信します (server, port, sender).
// 6. The sending window, then the summary, from which 「未送信の宛先に送信」
//    starts again at 1 with NotReached.
// Returns whether a run was recorded: the notice's 送信日時 (written by the run
// when a mail was accepted) and its state may have changed.
bool SendNotice(QWidget *window, AppContext &context, int newsId, SendScope scope = SendScope::Everyone);

} // namespace lumivox
