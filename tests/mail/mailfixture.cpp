#include "mailfixture.h"

#include "mail/passwordscrambler.h"

namespace lumivox::test {

void storeSmtp(TestApp &app, const SmtpRow &row)
{
    app.exec(QStringLiteral("delete from T_SMTPサーバー"));
    app.exec(QStringLiteral("insert into T_SMTPサーバー values (?, ?, ?, ?, ?, ?, ?, ?)"),
             {row.server, row.port, row.user, scramblePassword(row.password), row.authenticate,
              row.senderName, row.senderAddress, row.security});
}

void storeOptions(TestApp &app, bool group, bool name, bool limit, int width)
{
    app.exec(QStringLiteral("delete from T_送信設定"));
    app.exec(QStringLiteral("insert into T_送信設定 values (?, ?, ?, ?)"), {group, name, limit, width});
}

void addNoticeToGroup(TestApp &app, const QString &group, const QList<GroupMember> &members, const QString &title,
                      const QString &body)
{
    app.addGroup(1, group);
    for (int i = 0; i < members.size(); ++i)
        app.addMember(i + 1, members[i].name, {}, QStringLiteral("様"), members[i].mail);
    for (int i = 1; i <= members.size(); ++i)
        app.link(memberGroups(), i, 1);
    app.addNotice(1, title, body);
    app.link(noticeDestinations(), 1, 1);
}

void addNumberedMembers(TestApp &app, int count)
{
    QList<GroupMember> members;
    for (int i = 1; i <= count; ++i)
        members.append({QStringLiteral("会員%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("m%1@example.jp").arg(i)});
    addNoticeToGroup(app, QStringLiteral("全員"), members, QStringLiteral("お知らせ"), QStringLiteral("本文です。"));
}

} // namespace lumivox::test
