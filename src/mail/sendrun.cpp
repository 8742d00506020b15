#include "mail/sendrun.h"

#include "db/database.h"
#include "mail/foldtext.h"
#include "mail/jistext.h"
#include "mail/mailcomposer.h"
#include "mail/mailsettings.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>

namespace lumivox {

SmtpSettings readRunSmtpSettings(const QSqlDatabase &db)
{
    SmtpSettings settings = readSmtpSettings(db, kNoSmtpRow);
    settings.senderAddress = settings.senderAddress.trimmed();
    return settings;
}

QList<Recipient> readSendList(const QSqlDatabase &db, bool *ok)
{
    QList<Recipient> rows;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool read = q.exec(QStringLiteral("select GroupID, グループ名称, MemberID, 名前, 敬称, \"E-Mail\" "
                                            "from T_temp_送信リスト order by rowid"));
    if (ok)
        *ok = read;
    // The address is trimmed here, once: the envelope and the To header use the
    // same text, so a blank typed around an address neither stops the run nor
    // makes the two differ.
    while (read && q.next()) {
        rows.append({q.value(0), textOf(q.value(1)), q.value(2), textOf(q.value(3)), textOf(q.value(4)),
                     textOf(q.value(5)).trimmed()});
    }
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

SendPlan readSendPlan(const QSqlDatabase &db, int newsId, bool *ok, const SendOptions *options)
{
    SendPlan plan;
    plan.smtp = readRunSmtpSettings(db);
    plan.options = options ? *options : readSendOptions(db, kNoSendOptionsRow);
    const NoticeText notice = readNoticeText(db, newsId);
    plan.subject = notice.subject;
    plan.body = preparedBody(notice.body, plan.options);
    plan.rows = readSendList(db, ok);
    return plan;
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

MessageComposer composerFor(const SendPlan &plan)
{
    return MessageComposer(mailboxText(plan.smtp.senderName, plan.smtp.senderAddress), plan.subject, plan.body,
                           plan.options.charset);
}

QByteArray mailFor(const SendPlan &plan, const MessageComposer &composer, int i, const QDateTime &now)
{
    const Recipient &row = plan.rows.at(i);
    return composer.compose(mailboxText(row.name, row.address), bodyPrefix(row, plan.options), now);
}

bool greetServer(const SendPlan &plan, SmtpTransport &transport, MessageComposer &composer)
{
    if (plan.options.charset == MailCharset::Iso2022jp)
        return true;
    if (!transport.open())
        return false;
    composer.setEightBitAllowed(transport.announces8BitMime());
    return true;
}

SmtpTransport::Result sendTestMail(const SendPlan &plan, int i, SmtpTransport &transport)
{
    MessageComposer composer = composerFor(plan);
    if (!greetServer(plan, transport, composer))
        return transport.wasCancelled() ? SmtpTransport::Result::Cancelled : SmtpTransport::Result::Failed;
    return transport.send(plan.smtp.senderAddress, plan.smtp.senderAddress, mailFor(plan, composer, i));
}

int mailsToSend(const QList<Recipient> &rows)
{
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [](const Recipient &row) { return row.skipReason.isEmpty(); }));
}

int holdBackBeyond(QList<Recipient> &rows, int allowed)
{
    int held = 0;
    for (Recipient &row : rows) {
        if (!row.skipReason.isEmpty())
            continue;
        if (allowed > 0) {
            --allowed;
            continue;
        }
        row.skipReason = QStringLiteral("１日の送信数の上限のため，後で送信します");
        row.skipState = SendState::NotSent;
        ++held;
    }
    return held;
}

QString RunOutcome::endReason() const
{
    if (end == Cancelled)
        return QStringLiteral("ｷｬﾝｾﾙ");
    if (end == Completed)
        return {};
    return reply.isEmpty() ? reason : reason + QStringLiteral("（サーバーの応答: ") + reply + QStringLiteral("）");
}

RunOutcome runMailing(const SendPlan &plan, SmtpTransport &transport,
                      const std::function<bool(int n, int total)> &beforeEach, SendRunRecorder *recorder,
                      const std::function<void(int n, int msLeft)> &waiting)
{
    RunOutcome outcome;
    const auto stop = [&](RunOutcome::End end) {
        outcome.end = end;
        if (end == RunOutcome::Failed) {
            outcome.reason = transport.errorText();
            outcome.reply = transport.serverReply();
            outcome.detail = transport.technicalDetail();
        }
    };
    MessageComposer composer = composerFor(plan);
    const int total = mailsToSend(plan.rows);
    // The pace: each mail starts `interval` after the one before it.
    const qint64 interval = plan.options.perMinute > 0 ? 60000 / plan.options.perMinute : 0;
    SendCanceller uncancellable;
    SendCanceller *canceller = transport.canceller() ? transport.canceller() : &uncancellable;
    QElapsedTimer sinceLast;
    // The next mail is made while the server takes this one; not in a paced
    // run, where a mail's Date would be the time of the one before it.
    QByteArray nextMail;
    int nextRow = -1;
    int n = 0;
    for (int i = 0; i < plan.rows.size() && outcome.end == RunOutcome::Completed; ++i) {
        const Recipient &row = plan.rows.at(i);
        if (!row.skipReason.isEmpty())
            continue;
        ++n;
        if (beforeEach && !beforeEach(n, total)) {
            stop(RunOutcome::Cancelled);
            break;
        }
        if (interval > 0 && sinceLast.isValid()) {
            if (recorder)
                recorder->settle();
            bool cancelled = false;
            for (qint64 left = interval - sinceLast.elapsed(); left > 0 && !cancelled;
                 left = interval - sinceLast.elapsed()) {
                if (waiting)
                    waiting(n, int(left));
                cancelled = canceller->waitFor(int(std::min<qint64>(left, 1000)));
            }
            if (cancelled) {
                stop(RunOutcome::Cancelled);
                break;
            }
        }
        sinceLast.start();
        if (n == 1 && !greetServer(plan, transport, composer)) {
            stop(transport.wasCancelled() ? RunOutcome::Cancelled : RunOutcome::Failed);
            break;
        }
        const int position = i + 1;
        // The row is marked 不明 while the server answers the mail's commands:
        // the mark is written before the data can end.
        bool unrecorded = false;
        const auto markGoing = [&] {
            unrecorded = recorder && !recorder->mailGoing(position);
            return !unrecorded;
        };
        const auto makeNext = [&] {
            for (int j = i + 1; interval == 0 && j < plan.rows.size(); ++j) {
                if (plan.rows.at(j).skipReason.isEmpty()) {
                    nextMail = mailFor(plan, composer, j);
                    nextRow = j;
                    return;
                }
            }
        };
        const QByteArray mail = nextRow == i ? std::exchange(nextMail, {}) : mailFor(plan, composer, i);
        nextRow = -1;
        const SmtpTransport::Result result =
            transport.send(plan.smtp.senderAddress, row.address, mail, {markGoing, makeNext});
        if (unrecorded) {
            outcome.end = RunOutcome::Failed;
            outcome.reason = QStringLiteral("送信結果をデータベースに記録できないため，送信を中止しました。");
            outcome.detail = recorder->error();
            break;
        }
        switch (result) {
        case SmtpTransport::Result::Accepted:
            ++outcome.sent;
            if (recorder)
                recorder->mailSettled(position, SendState::Sent, transport.serverReply());
            break;
        case SmtpTransport::Result::Refused:
            ++outcome.refused;
            if (recorder) {
                const QString reply = transport.serverReply();
                recorder->mailSettled(position, SendState::Refused, reply.isEmpty() ? transport.errorText() : reply);
            }
            break;
        case SmtpTransport::Result::Failed:
        case SmtpTransport::Result::Cancelled:
            stop(transport.wasCancelled() ? RunOutcome::Cancelled : RunOutcome::Failed);
            if (recorder && transport.dataEnded())
                recorder->mailSettled(position, SendState::Unknown, transport.errorText());
            else if (recorder)
                recorder->mailNotSent(position, transport.errorText());
            break;
        }
    }
    if (recorder && !recorder->finish(outcome.endReason()) && outcome.end == RunOutcome::Completed) {
        outcome.end = RunOutcome::Failed;
        outcome.reason = QStringLiteral("送信結果をデータベースに記録できませんでした。");
        outcome.detail = recorder->error();
    }
    return outcome;
}

} // namespace lumivox
