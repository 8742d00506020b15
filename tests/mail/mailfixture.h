#pragma once

// The rows the sending tests start from: the two settings rows and a notice
// whose destination group has its recipients.
#include "support/testapp.h"

namespace lumivox::test {

// T_SMTPサーバー's one row, as the settings dialog stores it (the password scrambled).
struct SmtpRow {
    QVariant server = QStringLiteral("127.0.0.1");
    QVariant port;
    QVariant user = QString();
    QString password = {};
    QVariant authenticate = 0;
    QVariant senderName = QStringLiteral("連絡係 ｽｽﾞｷ");
    QVariant senderAddress = QStringLiteral("renraku@example.jp");
    int security = 0;
};
// Replaces the row of T_SMTPサーバー.
void storeSmtp(TestApp &app, const SmtpRow &row);

struct GroupMember {
    QString name;
    QString mail;
};
// Group 1 (`group`) with members 1…N (honorific 様), the recipients in that
// order, and notice 1 sent to it.
void addNoticeToGroup(TestApp &app, const QString &group, const QList<GroupMember> &members,
                      const QString &title = QStringLiteral("見出し"), const QString &body = QStringLiteral("本文"));

} // namespace lumivox::test
