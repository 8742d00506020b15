#pragma once

// The send sequence opens the mail windows, so it belongs to the main window's
// library (lumivox_main), on top of the mail area; the recipient list it starts
// from (makeSendList) is the notices library's.
#include "app/appcontext.h"
#include "db/storeresult.h"

#include <QString>

class QWidget;

namespace lumivox {

// What the Send command came to. `sentAt` is the time of sending,
// "yyyy/mm/dd hh:nn:ss", taken when the sending window closed however the run
// ended (a ｷｬﾝｾﾙ during the run included); it is empty when nothing was sent on
// purpose. `result` says why nothing was sent when the user must be told: no
// destination group, no member in them, a send list that could not be made or
// read. ｷｬﾝｾﾙ in the send options and stopping at the question about characters
// that cannot be carried leave both empty and the result ok.
struct SendOutcome {
    QString sentAt;
    StoreResult result;
};

// The Send command for one notice: makeSendList, the recipients counted, the
// send-options dialog (ｷｬﾝｾﾙ stops), the sending window. Shows no message of
// its own and writes nothing: the caller tells the user and records the time as
// the notice's 送信日時.
SendOutcome sendNotice(QWidget *window, AppContext &context, qint64 newsId);

} // namespace lumivox
