#pragma once

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

// One row of T_temp_送信リスト; Null reads as empty text, the address is trimmed.
struct Recipient {
    QString groupName;
    QString name;
    QString honorific;
    QString address;
};
QList<Recipient> readSendList(const QSqlDatabase &db);

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
    End end = Completed;
    int sent = 0;
    QString reason;  // why it failed, in Japanese
    QString reply;   // the server's reply, when it gave one
    QString detail;  // the transport's own description
};

// Sends one mail per row through the transport, in the plan's character set.
// `beforeEach(n, total)` runs before the n-th mail (1-based) and returns false to
// stop there (that mail is not sent). A run that may send UTF-8 first greets the
// server, so that a UTF-8 body goes 8bit where the server takes it. The first
// failure ends the run; no later row is tried. A send the transport's cancel
// flag ended before its mail began ends the run as cancelled.
RunOutcome runMailing(const SendPlan &plan, SmtpTransport &transport,
                      const std::function<bool(int n, int total)> &beforeEach);

} // namespace lumivox
