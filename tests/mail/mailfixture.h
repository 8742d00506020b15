#pragma once

// The rows every sending test starts from: the two settings rows and a notice
// whose destination group has its recipients.
#include "support/testapp.h"

#include <QList>
#include <QString>
#include <QVariant>

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
// Replaces the row of T_送信設定.
void storeOptions(TestApp &app, bool group, bool name, bool limit, int width = 60);

// A member of the destination group: 名前 and E-Mail; the honorific is 様.
struct GroupMember {
    QString name;
    QString mail;
};

// Group 1 (`group`) with members 1…N, the recipients in that order, and
// notice 1 sent to it.
void addNoticeToGroup(TestApp &app, const QString &group, const QList<GroupMember> &members,
                      const QString &title = QStringLiteral("見出し"), const QString &body = QStringLiteral("本文"));

// The same with `count` members 会員01, 会員02, … (m1@example.jp, m2@example.jp, …)
// in group 全員, and notice 1 "お知らせ" with the body "本文です。".
void addNumberedMembers(TestApp &app, int count);

} // namespace lumivox::test
