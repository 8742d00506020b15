// Lumivox's sending path without a window: one ISO-2022-JP mail per recipient
// composed and handed to an SMTP server through the transport, as the sending
// window's worker does it. Prints the number of mails and the mails per second.
//
//   bench_mail HOST PORT COUNT BODY_BYTES reuse|fresh
//
// "reuse" keeps one connection for the whole run (as the program does); "fresh"
// opens a new connection for every mail.
#include "mail/jistext.h"
#include "mail/sendrun.h"
#include "mail/smtptransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace lumivox;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: bench_mail HOST PORT COUNT BODY_BYTES reuse|fresh\n");
        return 2;
    }
    const int count = args[3].toInt();
    const int bodyBytes = args[4].toInt();

    SendPlan plan;
    plan.smtp.server = args[1];
    plan.smtp.port = args[2].toInt();
    plan.smtp.authenticate = false;
    plan.smtp.senderName = QStringLiteral("役員会 連絡係");
    plan.smtp.senderAddress = QStringLiteral("renraku@example.jp");
    TransportOptions transportOptions;
    transportOptions.reuseConnection = args[5] == QLatin1String("reuse");
    plan.options = {true, true, true, 72};
    plan.subject = QStringLiteral("運動会のお知らせ（雨天の場合は翌日に順延）");
    // A notice body whose ISO-2022-JP form is BODY_BYTES long, give or take a line.
    QString body;
    const QString line = QStringLiteral("来る１０月１２日（土），運動会を開催します。Lumivox ①㈱～\r\n");
    while (toIso2022jp(body).size() < bodyBytes)
        body += line;
    plan.body = preparedBody(body, plan.options);
    for (int i = 1; i <= count; ++i) {
        plan.rows.append({.groupName = QStringLiteral("１年%1組保護者").arg(i % 9 + 1), .name = QStringLiteral("会員 %1").arg(i),
                          .honorific = QStringLiteral("様"), .address = QStringLiteral("member%1@example.jp").arg(i)});
    }

    QElapsedTimer timer;
    timer.start();
    SmtpTransport transport(plan.smtp, transportOptions);
    const RunOutcome outcome = runMailing(plan, transport, {});
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (outcome.end != RunOutcome::Completed) {
        std::fprintf(stderr, "bench_mail: stopped after %d mails: %s %s %s\n", outcome.sent,
                     qPrintable(outcome.reason), qPrintable(outcome.reply), qPrintable(outcome.detail));
        return 1;
    }
    std::printf("%d %.1f\n", outcome.sent, outcome.sent / seconds);
    return 0;
}
