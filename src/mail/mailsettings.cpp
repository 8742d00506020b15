#include "mail/mailsettings.h"

#include "db/database.h"
#include "mail/passwordscrambler.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace lumivox {

namespace {

bool hasRow(const QSqlDatabase &db, const QString &table, bool *ok)
{
    QSqlQuery q(db);
    *ok = q.exec(QStringLiteral("select count(*) from ") + quoted(table)) && q.next();
    return *ok && q.value(0).toLongLong() > 0;
}

// Inserts the row, or updates the first one, in one transaction.
bool storeSingleRow(const QSqlDatabase &db, const QString &table, const QStringList &columns,
                    const QVariantList &values, QString *error)
{
    bool ok = false;
    const bool exists = hasRow(db, table, &ok);
    if (!ok) {
        if (error)
            *error = QSqlQuery(db).lastError().text();
        return false;
    }
    QStringList quotedColumns;
    QStringList marks;
    QStringList assignments;
    for (const QString &column : columns) {
        quotedColumns << quoted(column);
        marks << QStringLiteral("?");
        assignments << quoted(column) + QStringLiteral(" = ?");
    }
    const QString sql =
        exists ? QStringLiteral("update %1 set %2 where rowid = (select min(rowid) from %1)")
                     .arg(quoted(table), assignments.join(QStringLiteral(", ")))
               : QStringLiteral("insert into %1 (%2) values (%3)")
                     .arg(quoted(table), quotedColumns.join(QStringLiteral(", ")),
                          marks.join(QStringLiteral(", ")));
    return executeAll(db, {{sql, values}}, error);
}

} // namespace

QString textOf(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

int usualPort(ConnectionSecurity security)
{
    switch (security) {
    case ConnectionSecurity::StartTls: return 587;
    case ConnectionSecurity::SslTls: return 465;
    default: return 25;
    }
}

SmtpSettings readSmtpSettings(const QSqlDatabase &db, const SmtpSettings &noRow, bool *ok)
{
    QSqlQuery q(db);
    const bool read = q.exec(QStringLiteral("select サーバー名, ポート番号, ユーザー名, パスワード, SMTP認証, "
                                            "送信元名前, \"送信元E-Mail\", 接続の保護 "
                                            "from T_SMTPサーバー order by rowid limit 1"));
    if (ok)
        *ok = read;
    if (!read || !q.next())
        return noRow;
    SmtpSettings s;
    s.server = textOf(q.value(0));
    s.port = q.value(1).isNull() ? 25 : q.value(1).toInt();
    s.user = textOf(q.value(2));
    s.password = unscramblePassword(q.value(3));
    s.authenticate = q.value(4).isNull() || q.value(4).toBool();
    s.senderName = textOf(q.value(5));
    s.senderAddress = textOf(q.value(6));
    const int security = q.value(7).toInt();
    s.security = security == 1   ? ConnectionSecurity::StartTls
                 : security == 2 ? ConnectionSecurity::SslTls
                                 : ConnectionSecurity::None;
    return s;
}

bool saveSmtpSettings(const QSqlDatabase &db, const SmtpSettings &settings, QString *error)
{
    return storeSingleRow(
        db, QStringLiteral("T_SMTPサーバー"),
        {QStringLiteral("サーバー名"), QStringLiteral("ポート番号"), QStringLiteral("ユーザー名"),
         QStringLiteral("パスワード"), QStringLiteral("SMTP認証"), QStringLiteral("送信元名前"),
         QStringLiteral("送信元E-Mail"), QStringLiteral("接続の保護")},
        {settings.server, settings.port, settings.user, scramblePassword(settings.password),
         settings.authenticate ? 1 : 0, settings.senderName, settings.senderAddress,
         static_cast<int>(settings.security)},
        error);
}

SendOptions readSendOptions(const QSqlDatabase &db, const SendOptions &noRow, bool *ok)
{
    QSqlQuery q(db);
    const bool read = q.exec(QStringLiteral("select グループ名称付加, 名前付加, 文字数制限, 文字数, "
                                            "文字コード, 毎分上限, 一日上限 "
                                            "from T_送信設定 order by rowid limit 1"));
    if (ok)
        *ok = read;
    if (!read || !q.next())
        return noRow;
    SendOptions o;
    o.addGroup = q.value(0).isNull() || q.value(0).toBool();
    o.addName = q.value(1).isNull() || q.value(1).toBool();
    o.limitWidth = !q.value(2).isNull() && q.value(2).toBool();
    o.width = q.value(3).isNull() ? 60 : q.value(3).toInt();
    const int charset = q.value(4).toInt();
    o.charset = charset == 1 ? MailCharset::Utf8 : charset == 2 ? MailCharset::Automatic : MailCharset::Iso2022jp;
    o.perMinute = std::max(0, q.value(5).toInt());
    o.perDay = std::max(0, q.value(6).toInt());
    return o;
}

bool saveSendOptions(const QSqlDatabase &db, const SendOptions &options, QString *error)
{
    return storeSingleRow(db, QStringLiteral("T_送信設定"),
                          {QStringLiteral("グループ名称付加"), QStringLiteral("名前付加"),
                           QStringLiteral("文字数制限"), QStringLiteral("文字数"), QStringLiteral("文字コード"),
                           QStringLiteral("毎分上限"), QStringLiteral("一日上限")},
                          {options.addGroup ? 1 : 0, options.addName ? 1 : 0, options.limitWidth ? 1 : 0,
                           options.width, static_cast<int>(options.charset), options.perMinute, options.perDay},
                          error);
}

} // namespace lumivox
