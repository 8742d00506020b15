#include "mail/sendrun.h"

#include "db/database.h"
#include "mail/foldtext.h"
#include "mail/jistext.h"
#include "mail/mailcomposer.h"
#include "mail/mailsettings.h"

#include <QSet>
#include <QSqlQuery>

namespace lumivox {

SmtpSettings readRunSmtpSettings(const QSqlDatabase &db)
{
    SmtpSettings settings = readSmtpSettings(db, kNoSmtpRow);
    settings.senderAddress = settings.senderAddress.trimmed();
    return settings;
}

QList<Recipient> readSendList(const QSqlDatabase &db)
{
    QList<Recipient> rows;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select グループ名称, 名前, 敬称, \"E-Mail\" from T_temp_送信リスト order by rowid")))
        return rows;
    // The address is trimmed here, once: the envelope and the To header use the
    // same text, so a blank typed around an address neither stops the run nor
    // makes the two differ.
    while (q.next())
        rows.append({textOf(q.value(0)), textOf(q.value(1)), textOf(q.value(2)), textOf(q.value(3)).trimmed()});
    return rows;
}

NoticeText readNoticeText(const QSqlDatabase &db, int newsId)
{
    NoticeText notice;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select 見出し, 本文 from T_お知らせ where NewsID = ?"));
    q.addBindValue(newsId);
    if (q.exec() && q.next()) {
        notice.subject = textOf(q.value(0));
        notice.body = textOf(q.value(1));
    }
    return notice;
}

QString preparedBody(const QString &body, const SendOptions &options)
{
    return options.limitWidth ? FoldText(body, options.width) : body;
}

QString bodyPrefix(const Recipient &row, const SendOptions &options)
{
    QString prefix;
    if (options.addGroup)
        prefix += row.groupName + QStringLiteral("\r\n");
    if (options.addName)
        prefix += row.name + QStringLiteral("  ") + row.honorific + QStringLiteral("\r\n");
    if (options.addGroup || options.addName)
        prefix += QStringLiteral("\r\n");
    return prefix;
}

QString mailboxText(const QString &name, const QString &address)
{
    return name + u'<' + address + u'>';
}

QList<UncarriableText> findUncarriable(const SendPlan &plan)
{
    QList<UncarriableText> found;
    if (plan.options.charset != MailCharset::Iso2022jp)
        return found;
    QSet<QString> checked;
    auto check = [&](const QString &where, const QString &value) {
        if (value.isEmpty() || checked.contains(where))
            return;
        checked.insert(where);
        const QList<char32_t> chars = uncarriableCharacters(value);
        if (!chars.isEmpty())
            found.append({where, chars});
    };
    check(QStringLiteral("件名"), plan.subject);
    check(QStringLiteral("本文"), plan.body);
    check(QStringLiteral("送信元の名前"), plan.smtp.senderName);
    for (const Recipient &row : plan.rows) {
        if (plan.options.addGroup)
            check(QStringLiteral("グループ名称「%1」").arg(row.groupName), row.groupName);
        check(QStringLiteral("名前「%1」").arg(row.name), row.name);
        if (plan.options.addName)
            check(QStringLiteral("敬称「%1」").arg(row.honorific), row.honorific);
    }
    return found;
}

QStringList describeUncarriable(const QList<UncarriableText> &found, int maxLines)
{
    QStringList lines;
    for (const UncarriableText &entry : found) {
        if (lines.size() == maxLines) {
            lines << QStringLiteral("ほか %1 か所").arg(found.size() - maxLines);
            break;
        }
        QStringList chars;
        for (char32_t c : entry.characters) {
            const bool printable = c >= 0x20 && !(c >= 0xD800 && c < 0xE000);
            chars << (printable ? QString::fromUcs4(&c, 1) + QStringLiteral(" (") + codePointName(c) + u')'
                                : codePointName(c));
        }
        lines << entry.where + QStringLiteral(": ") + chars.join(QStringLiteral(", "));
    }
    return lines;
}

RunOutcome runMailing(const SendPlan &plan, SmtpTransport &transport,
                      const std::function<bool(int n, int total)> &beforeEach)
{
    RunOutcome outcome;
    const auto stop = [&] {
        outcome.end = transport.wasCancelled() ? RunOutcome::Cancelled : RunOutcome::Failed;
        if (outcome.end == RunOutcome::Failed) {
            outcome.reason = transport.errorText();
            outcome.reply = transport.serverReply();
            outcome.detail = transport.technicalDetail();
        }
        return outcome;
    };
    MessageComposer composer(mailboxText(plan.smtp.senderName, plan.smtp.senderAddress), plan.subject, plan.body,
                             plan.options.charset);
    const auto total = static_cast<int>(plan.rows.size());
    for (int i = 0; i < total; ++i) {
        if (beforeEach && !beforeEach(i + 1, total)) {
            outcome.end = RunOutcome::Cancelled;
            return outcome;
        }
        if (i == 0 && plan.options.charset != MailCharset::Iso2022jp) {
            if (!transport.open())
                return stop();
            composer.setEightBitAllowed(transport.announces8BitMime());
        }
        const Recipient &row = plan.rows.at(i);
        const QByteArray mail = composer.compose(mailboxText(row.name, row.address), bodyPrefix(row, plan.options));
        if (!transport.send(plan.smtp.senderAddress, row.address, mail))
            return stop();
        ++outcome.sent;
    }
    return outcome;
}

} // namespace lumivox
