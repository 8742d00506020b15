#include "shots.h"

#include "db/sendresults.h"
#include "mail/sendcheck.h"
#include "mail/sendresultdialogs.h"
#include "mail/sendrun.h"
#include "mainwindow/sendhistorywindow.h"

namespace {

using namespace lumivox;

// A run of notice 1 as a user meets it after a refusal and a dropped connection:
// six accepted, one refused, one cut off on the wire, two not tried.
qint64 recordRun(test::TestApp &app)
{
    const QStringList names{QStringLiteral("青木 一郎"), QStringLiteral("井上 綾"),  QStringLiteral("上田 健"),
                            QStringLiteral("江藤 花子"), QStringLiteral("小川 誠"),  QStringLiteral("加藤 美咲"),
                            QStringLiteral("木村 悠"),   QStringLiteral("工藤 さくら"), QStringLiteral("佐藤 大輔"),
                            QStringLiteral("鈴木 結衣")};
    QList<RunRecipient> rows;
    for (int i = 0; i < names.size(); ++i) {
        rows << RunRecipient{.groupId = 1, .groupName = QStringLiteral("1年1組"), .memberId = i + 1,
                             .name = names[i], .honorific = QStringLiteral("様"),
                             .address = QStringLiteral("member%1@example.jp").arg(i + 1)};
    }
    SendRunRecorder recorder(app.context().connectionName);
    if (!recorder.begin({.newsId = 1, .subject = QStringLiteral("運動会のお知らせ"), .listSize = int(rows.size()),
                         .server = QStringLiteral("mail.example.co.jp"), .port = 587},
                        rows))
        return 0;
    for (int position = 1; position <= 8; ++position) {
        recorder.mailGoing(position);
        if (position == 3)
            recorder.mailSettled(position, SendState::Refused,
                                 QStringLiteral("550 5.1.1 <member3@example.jp>: Recipient address rejected"));
        else if (position < 8)
            recorder.mailSettled(position, SendState::Sent, QStringLiteral("250 2.0.0 Ok: queued"));
    }
    recorder.mailSettled(8, SendState::Unknown, QStringLiteral("サーバーとの接続が切れました。"));
    recorder.finish(QStringLiteral("サーバーとの接続が切れました。"));
    return recorder.runId();
}

} // namespace

// The check before the first mail, on a list with a mistyped address, a deleted
// member and a name ISO-2022-JP cannot carry.
LUMIVOX_SCREENSHOT(send_problems)
{
    SendPlan plan;
    plan.subject = QStringLiteral("運動会のお知らせ");
    plan.body = QStringLiteral("運動会は10月12日（土）です。");
    const auto row = [](const QString &group, const QString &name, const QString &address) {
        return Recipient{.groupId = 1, .groupName = group, .memberId = 1, .name = name,
                         .honorific = QStringLiteral("様"), .address = address};
    };
    plan.rows = {row(QStringLiteral("1年1組"), QStringLiteral("青木 一郎"), QStringLiteral("aoki@example.jp")),
                 row(QStringLiteral("1年1組"), QStringLiteral("井上 綾"), QStringLiteral("ayainoue@@example")),
                 row(QStringLiteral("2年3組"), {}, {}),
                 row(QStringLiteral("役員"), QStringLiteral("髙橋 健"), QStringLiteral("takahashi@example.jp")),
                 row(QStringLiteral("役員"), QStringLiteral("鈴木 結衣"), QStringLiteral("ｓｕｚｕｋｉ@example.jp"))};
    SendProblemsDialog dialog(findSendProblems(plan));
    ctx.save(&dialog, QStringLiteral("send_problems"));
}

LUMIVOX_SCREENSHOT(send_summary)
{
    const qint64 runId = recordRun(ctx.app);
    const SendResultStore store(ctx.app.db());
    SendSummaryDialog dialog(store.run(runId), store.results(runId), true);
    ctx.save(&dialog, QStringLiteral("send_summary"));
}

LUMIVOX_SCREENSHOT(send_history)
{
    recordRun(ctx.app);
    SendHistoryWindow window(ctx.app.context(), 1, QStringLiteral("運動会のお知らせ"));
    ctx.save(&window, QStringLiteral("send_history"));
}
