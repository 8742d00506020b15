#include "mailfixture.h"

#include "mail/passwordscrambler.h"

namespace lumivox::test {

void storeSmtp(TestApp &app, const SmtpRow &row)
{
    app.exec(QStringLiteral("delete from T_SMTPサーバー"));
    app.exec(QStringLiteral("insert into T_SMTPサーバー values (?, ?, ?, ?, ?, ?, ?, ?)"),
             {row.server, row.port, row.user, scramblePassword(row.password), row.authenticate, row.senderName,
              row.senderAddress, row.security});
}

void addNoticeToGroup(TestApp &app, const QString &group, const QList<GroupMember> &members, const QString &title,
                      const QString &body)
{
    app.addGroup(1, group);
    for (int i = 0; i < members.size(); ++i) {
        app.addMember(i + 1, members[i].name, {}, QStringLiteral("様"), members[i].mail);
        app.link(memberGroups(), i + 1, 1);
    }
    app.addNotice(1, title, body);
    app.link(noticeDestinations(), 1, 1);
}

} // namespace lumivox::test
