#pragma once

#include "db/sendresults.h"
#include "mail/mailcomposer.h"
#include "mail/mailsettings.h"
#include "mail/smtptransport.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace lumivox {

// The sending run without its window: what it reads from the database, the mail
// it builds for each row of T_temp_送信リスト, and the loop that sends them.

// The SMTP settings as the run reads them: with no row at all, nothing (see
// kNoSmtpRow), so the first send fails. The sender address is trimmed, once,
// for the envelope and the From header alike.
SmtpSettings readRunSmtpSettings(const QSqlDatabase &db);

// One row of T_temp_送信リスト, as the run records it; Null texts read as empty
// text, the address is trimmed. A row with a skip reason is not sent.
using Recipient = RunRecipient;
// The rows in their order; *ok false when the list cannot be read.
QList<Recipient> readSendList(const QSqlDatabase &db, bool *ok = nullptr);

// 見出し and 本文 of a notice; empty texts when it is missing or Null.
struct NoticeText {
    QString subject;
    QString body;
};
NoticeText readNoticeText(const QSqlDatabase &db, int newsId);

// The body every mail shares: folded when the width is limited.
QString preparedBody(const QString &body, const SendOptions &options);
// The lines before it: the group name, then name + two spaces + honorific, then a
// blank line when either was added.
QString bodyPrefix(const Recipient &row, const SendOptions &options);
// "name<address>", no blank before "<".
QString mailboxText(const QString &name, const QString &address);

// Everything one run sends, read before the first mail.
struct SendPlan {
    SmtpSettings smtp; // the server, and the sender's name and address
    SendOptions options;
    QString subject;
    QString body; // prepared
    QList<Recipient> rows;
};

// What a run of the notice sends as things are stored now: the SMTP settings,
// the send options (or `options` when given: those on screen), the notice (its
// body prepared) and the rows of T_temp_送信リスト; *ok false when the list
// cannot be read.
SendPlan readSendPlan(const QSqlDatabase &db, int newsId, bool *ok = nullptr, const SendOptions *options = nullptr);

// The one way a mail of a plan is made, for the run, the preview and the test
// send alike: the composer of the plan (sender, subject and body encoded
// once), and row i's mail from it.
MessageComposer composerFor(const SendPlan &plan);
QByteArray mailFor(const SendPlan &plan, const MessageComposer &composer, int i,
                   const QDateTime &now = localTimeNow());
// A plan that may send UTF-8 first greets the server, so that a UTF-8 body
// goes 8bit where the server takes it. False when the server cannot be reached.
bool greetServer(const SendPlan &plan, SmtpTransport &transport, MessageComposer &composer);

// Row i's mail, exactly as the run would send it, to the sender's own address
// (envelope and all): nothing is recorded.
SmtpTransport::Result sendTestMail(const SendPlan &plan, int i, SmtpTransport &transport);

// The daily limit: the rows to send beyond the first `allowed` are left out
// with a reason (recorded as 未送信, for 「未送信の宛先に送信」 later). Returns
// how many were left out.
int holdBackBeyond(QList<Recipient> &rows, int allowed);
// The mails a plan sends (its rows not left out).
int mailsToSend(const QList<Recipient> &rows);

// Where a text that ISO-2022-JP cannot carry stands, and which characters.
struct UncarriableText {
    QString where; // 件名, 本文, グループ名称「…」, …
    QList<char32_t> characters;
};
// Every text of an ISO-2022-JP run that goes into a mail, checked: subject,
// body, sender's name, and per row the group name (when added), the member's
// name and the honorific (when added). Each distinct text is listed once. A run
// in UTF-8 or with the automatic choice carries everything: nothing is listed.
QList<UncarriableText> findUncarriable(const SendPlan &plan);
// The list as lines for the user: "件名: 髙 (U+9AD9)".
QStringList describeUncarriable(const QList<UncarriableText> &found, int maxLines = 30);

struct RunOutcome {
    enum End { Completed, Cancelled, Failed };
    End end = Completed; // Completed: every row was tried (some may be refused)
    int sent = 0;
    int refused = 0;
    QString reason;  // why it stopped early, in Japanese
    QString reply;   // the server's reply, when it gave one
    QString detail;  // the transport's own description
    // The reason as the run's record keeps it: "ｷｬﾝｾﾙ", or the reason and the
    // server's words; empty for a completed run.
    QString endReason() const;
};

// Sends one mail per row through the transport, in the plan's character set;
// rows with a skip reason are left out. `beforeEach(n, total)` runs before the
// n-th mail (1-based, of the rows sent) and returns false to stop there (that
// mail is not sent). With a pace of N a minute the mails start 60/N seconds
// apart: the run waits on the transport's canceller (ｷｬﾝｾﾙ ends the wait at
// once), calling `waiting(n, msLeft)` about once a second while it waits
// before the n-th mail.
// A mail the server refuses is counted and the run goes on; a failure of the
// connection, or the transport's canceller, ends the run. With a recorder
// (begun on the plan's rows) every outcome is recorded as it happens and the
// run's end at the end; a mail whose data never ended goes back to 未送信, one
// cut off after that stays 不明.
RunOutcome runMailing(const SendPlan &plan, SmtpTransport &transport,
                      const std::function<bool(int n, int total)> &beforeEach,
                      SendRunRecorder *recorder = nullptr,
                      const std::function<void(int n, int msLeft)> &waiting = {});

} // namespace lumivox
