#include "mainwindow/sendcommand.h"

#include "app/messages.h"
#include "db/sendresults.h"
#include "mail/sendcheck.h"
#include "mail/sendingwindow.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendresultdialogs.h"
#include "notices/sendlist.h"

#include <QDateTime>
#include <QSet>

#include <algorithm>

namespace lumivox {

namespace {

constexpr int kNamesListed = 10;

QString listOf(const QList<Recipient> &rows, const QList<int> &indexes)
{
    QStringList lines;
    for (int i : indexes) {
        if (lines.size() == kNamesListed) {
            lines << QStringLiteral("ほか %1 通").arg(indexes.size() - kNamesListed);
            break;
        }
        lines << QStringLiteral("%1 <%2>").arg(rows[i].name, rows[i].address);
    }
    return lines.join(u'\n');
}

// Earlier runs reached part of the list: send to the rest, to everyone again,
// or nothing (-1).
int askFullResend(QWidget *window, const QString &subject, int listSize, const ResumeSplit &split)
{
    Message message;
    message.icon = QMessageBox::Question;
    message.objectName = QStringLiteral("msgAlreadySent");
    message.text = QStringLiteral("「%1」は，宛先 %2 通のうち %3 通を既に送信済みです。")
                       .arg(subject)
                       .arg(listSize)
                       .arg(split.reached.size());
    message.informativeText = QStringLiteral("全員にもう一度送信すると，送信済みの %1 通も重ねて送信されます。")
                                  .arg(split.reached.size());
    const bool rest = !split.toSend.isEmpty() || !split.unknown.isEmpty();
    if (rest)
        message.custom << Message::Custom{QStringLiteral("未送信の宛先に送信(&U)"), QStringLiteral("cmdSendRest")};
    message.custom << Message::Custom{QStringLiteral("全員にもう一度送信(&A)"), QStringLiteral("cmdSendAll")}
                   << Message::Custom{QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("cmdCancel")};
    message.defaultCustom = rest ? 0 : int(message.custom.size()) - 1;
    const int answer = showMessage(window, message).custom;
    if (answer < 0 || answer == message.custom.size() - 1)
        return -1;
    return rest && answer == 0 ? int(SendScope::NotReached) : int(SendScope::Everyone);
}

// 「見出し」を N 人に M 通送信します, with where it goes from; 送信 is the default,
// Esc and ｷｬﾝｾﾙ stop.
bool confirmSending(QWidget *window, const SendPlan &plan)
{
    QSet<QString> people;
    int mails = 0;
    for (const Recipient &row : plan.rows) {
        if (!row.skipReason.isEmpty())
            continue;
        ++mails;
        people.insert(row.memberId.isNull() ? addressKey(row.address) : row.memberId.toString());
    }
    Message message;
    message.icon = QMessageBox::Question;
    message.objectName = QStringLiteral("msgConfirmSend");
    message.text = QStringLiteral("「%1」を %2 人に %3 通送信します。").arg(plan.subject).arg(people.size()).arg(mails);
    message.informativeText = QStringLiteral("SMTPサーバー：%1（ポート %2）\n送信元：%3")
                                  .arg(plan.smtp.server)
                                  .arg(plan.smtp.port)
                                  .arg(mailboxText(plan.smtp.senderName, plan.smtp.senderAddress));
    message.custom = {{QStringLiteral("送信(&S)"), QStringLiteral("cmdSend")},
                      {QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("cmdCancel")}};
    return showMessage(window, message).custom == 0;
}

// The daily limit: what the recorded results show accepted in the last 24
// hours and this run together may not pass it. The user may send the first
// part now; the rest stays 未送信 for 「未送信の宛先に送信」. False stops the
// send, with *why for the user (empty after ｷｬﾝｾﾙ).
bool keepWithinDailyLimit(QWidget *window, const SendResultStore &store, SendPlan &plan, QString *why)
{
    const int limit = plan.options.perDay;
    const int mails = mailsToSend(plan.rows);
    if (limit <= 0)
        return true;
    bool read = false;
    const int accepted = store.acceptedSince(QDateTime::currentDateTime().addSecs(-24 * 3600), &read);
    if (!read) {
        *why = QStringLiteral("これまでの送信数を読み込めないため，１日の送信数の上限を確かめられません。送信を中止します。");
        return false;
    }
    if (accepted + mails <= limit)
        return true;
    const int allowed = std::max(0, limit - accepted);
    const QString counts = QStringLiteral("１日の送信数の上限は %1 通で，この24時間に %2 通を送信済みです。")
                               .arg(limit)
                               .arg(accepted);
    if (allowed == 0) {
        *why = counts + QStringLiteral("今は送信できません。時間をおいて送信してください。");
        return false;
    }
    if (!askYesNo(window, counts
                              + QStringLiteral("\n\n今回の %1 通のうち，最初の %2 通だけを今送信しますか？\n"
                                               "残りの %3 通は未送信として残り，後で「未送信の宛先に送信」で送信できます。")
                                    .arg(mails)
                                    .arg(allowed)
                                    .arg(mails - allowed)))
        return false;
    holdBackBeyond(plan.rows, allowed);
    return true;
}

RunStart startOf(int newsId, SendScope scope, const SendPlan &plan, int listSize, int alreadyReached)
{
    RunStart start;
    start.newsId = newsId;
    start.onlyNotReached = scope == SendScope::NotReached;
    start.subject = plan.subject;
    start.listSize = listSize;
    start.alreadyReached = alreadyReached;
    start.addGroup = plan.options.addGroup;
    start.addName = plan.options.addName;
    start.limitWidth = plan.options.limitWidth;
    start.width = plan.options.width;
    start.server = plan.smtp.server;
    start.port = plan.smtp.port;
    start.senderAddress = plan.smtp.senderAddress;
    return start;
}

} // namespace

SendOutcome sendNotice(QWidget *window, AppContext &context, qint64 newsId, SendScope scope)
{
    const QSqlDatabase db = context.db();
    const SendResultStore store(db);
    SendOutcome outcome;
    const auto stop = [&outcome](const QString &why) {
        outcome.result = StoreResult::refuse(why);
        return outcome;
    };
    bool askOptions = scope == SendScope::Everyone;
    if (scope == SendScope::NotReached && !store.noticeState(int(newsId)).hasRun)
        return stop(QStringLiteral("「%1」はまだ送信されていません。「お知らせを送信する」で送信してください。")
                        .arg(readNoticeText(db, int(newsId)).subject));
    for (;;) {
        if (const StoreResult made = makeSendList(db, newsId); !made) {
            outcome.result = made;
            return outcome;
        }
        bool read = false;
        SendPlan plan = readSendPlan(db, int(newsId), &read);
        const QList<Recipient> list = plan.rows;
        // A list that cannot be read is a failure, not an empty list.
        if (!read)
            return stop(QStringLiteral("送信リストを読み込めませんでした。送信を中止します。"));
        if (list.isEmpty())
            return stop(QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。"));
        QStringList addresses;
        for (const Recipient &row : list)
            addresses << row.address;
        const ResumeSplit split = store.split(int(newsId), addresses);
        if (!split.ok)
            return stop(QStringLiteral("これまでの送信結果を読み込めませんでした。二重に送信しないよう，送信を中止します。"));
        if (scope == SendScope::Everyone && !split.reached.isEmpty()) {
            const int answer = askFullResend(window, plan.subject, int(list.size()), split);
            if (answer < 0)
                return outcome;
            scope = SendScope(answer);
        }

        QList<Recipient> &rows = plan.rows;
        int alreadyReached = 0;
        if (scope == SendScope::NotReached) {
            if (split.toSend.isEmpty() && split.unknown.isEmpty())
                return stop(QStringLiteral("「%1」は宛先の全員に送信済みです。未送信の宛先はありません。").arg(plan.subject));
            const bool again = split.unknown.isEmpty()
                               || askYesNo(window, QStringLiteral("次の宛先へのメールは，前回の送信が途中で切れたため，"
                                                                  "届いたかどうか分かりません。\n\n%1\n\n"
                                                                  "もう一度送信しますか？（「いいえ」ではこれらには送信しません）")
                                                       .arg(listOf(list, split.unknown)));
            rows.clear();
            for (qsizetype i = 0; i < list.size(); ++i) {
                if (split.reached.contains(int(i)))
                    continue;
                Recipient row = list[i];
                if (!again && split.unknown.contains(int(i))) {
                    row.skipReason = QStringLiteral("前回の結果が不明のため送信しませんでした");
                    row.skipState = SendState::Unknown;
                }
                rows << row;
            }
            alreadyReached = int(split.reached.size());
        }

        if (askOptions) {
            SendOptionsDialog options(context, window);
            options.setPreviewNotice(int(newsId));
            if (runModal(options) != QDialog::Accepted) // ｷｬﾝｾﾙ, Esc or the close box
                return outcome;
            askOptions = false;
            // The body as the options just chosen prepare it.
            plan.options = readSendOptions(db, kNoSendOptionsRow);
            plan.body = preparedBody(readNoticeText(db, int(newsId)).body, plan.options);
        }
        if (const QList<SendProblem> problems = findSendProblems(plan); !problems.isEmpty()) {
            SendProblemsDialog check(problems, window);
            if (runModal(check) != QDialog::Accepted)
                return outcome;
            for (const SendProblem &p : problems) {
                if (p.leavesRowOut && plan.rows[p.row].skipReason.isEmpty())
                    plan.rows[p.row].skipReason = p.what;
            }
        }
        if (mailsToSend(plan.rows) == 0)
            return stop(QStringLiteral("送信できる宛先がありません。送信を中止します。"));
        if (QString why; !keepWithinDailyLimit(window, store, plan, &why))
            return why.isEmpty() ? outcome : stop(why);
        if (!confirmSending(window, plan))
            return outcome;

        SendingWindow sending(context, window);
        sending.setRun(plan, startOf(int(newsId), scope, plan, int(list.size()), alreadyReached));
        runModal(sending);
        if (sending.runId() == 0)
            return stop(sending.outcome().reason + QStringLiteral("\n\n詳細：") + sending.outcome().detail);
        outcome.ran = true;
        if (sending.outcome().sent > 0)
            outcome.sentAt = store.run(sending.runId()).started;
        SendSummaryDialog summary(store.run(sending.runId()), store.results(sending.runId()),
                                  store.noticeState(int(newsId)).hasNotReached(), window);
        if (runModal(summary) != QDialog::Accepted)
            return outcome;
        scope = SendScope::NotReached;
    }
}

} // namespace lumivox
