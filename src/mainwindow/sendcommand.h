#pragma once

// The send sequence opens the mail windows, so it belongs to the main window's
// library (lumivox_main), on top of the mail area; the recipient list it starts
// from (makeSendList) is the notices library's.
#include "app/appcontext.h"
#include "db/storeresult.h"

#include <QString>

class QWidget;

namespace lumivox {

// To whom a send goes: everyone on the notice's list, or only those its
// earlier runs did not reach (「未送信の宛先に送信」).
enum class SendScope { Everyone, NotReached };

// What the Send command came to. `sentAt` is the notice's 送信日時 as a run
// wrote it when a mail was accepted (the start of that run), empty when no
// run delivered anything. `ran` says whether a run was recorded (the notice's
// state may have changed). `result` says why nothing was sent when the user
// must be told: no destination group, no member in them, nobody left to send
// to, a list or earlier results that could not be read, results that could
// not be recorded. ｷｬﾝｾﾙ at any question leaves it ok.
struct SendOutcome {
    QString sentAt;
    StoreResult result;
    bool ran = false;
};

// The Send command for one notice:
// 1. makeSendList and the list read back (refused when it is empty).
// 2. With Everyone, when earlier runs reached some of the list: a question
//    that says how many, with 「未送信の宛先に送信」, a full resend or ｷｬﾝｾﾙ.
//    Only those not reached: never an address that already accepted this
//    notice; those whose mail was cut off (不明) are asked about.
// 3. The send options (with Everyone; ｷｬﾝｾﾙ stops), with their プレビュー.
// 4. The check of every address and of the characters ISO-2022-JP cannot
//    carry: the list of problems, to send to everyone else or to stop.
// 5. The daily limit of the send options: a run that would pass it may send
//    the first part now, the rest left 未送信 for later.
//    Then the confirmation 「見出し」を N 人に M 通送信します (server, port, sender).
// 6. The sending window, then the summary, from which 「未送信の宛先に送信」
//    starts again at 1 with NotReached.
// The questions and dialogs are its own; what stops it is returned for the
// caller to tell. Writes nothing itself: the run records its results and the
// notice's 送信日時.
SendOutcome sendNotice(QWidget *window, AppContext &context, qint64 newsId, SendScope scope = SendScope::Everyone);

} // namespace lumivox
