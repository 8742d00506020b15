// Lumivox's sending path against an SMTP server: one ISO-2022-JP mail per
// recipient composed and handed over through the transport. Prints the number
// of mails and the mails per second.
//
//   bench_mail HOST PORT COUNT BODY_BYTES reuse|fresh|record|window
//
// "reuse"  the run without a window, one connection for the whole run;
// "fresh"  the same, a new connection for every mail;
// "record" the run as the sending window's worker makes it: one connection,
//          every result recorded as it happens in a database made as at
//          start-up (write-ahead log);
// "window" the whole run as a user sees it: the Send command on a notice whose
//          group has COUNT members, timed from OK in the send options until the
//          summary shows (the check, the confirmation, the sending window, the
//          results read back), the questions answered at once.
#include "db/database.h"
#include "db/makedatabase.h"
#include "db/schemaupgrade.h"
#include "app/messages.h"
#include "mail/jistext.h"
#include "mail/sendrun.h"
#include "mail/smtptransport.h"
#include "mainwindow/sendcommand.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace lumivox;

namespace {

const QString kConnection = QStringLiteral("bench");

// A notice body whose ISO-2022-JP form is `bytes` long, give or take a line.
QString bodyOf(int bytes)
{
    QString body;
    const QString line = QStringLiteral("来る１０月１２日（土），運動会を開催します。Lumivox ①㈱～\r\n");
    while (toIso2022jp(body).size() < bytes)
        body += line;
    return body;
}

// A database as the program has it after start-up, holding notice 1 to group
// 1 of `count` members and the settings for the server.
bool prepareDatabase(const QString &path, const QString &host, int port, int count, int bodyBytes)
{
    if (!makeDatabase(path) || !openSharedConnection(kConnection, path))
        return false;
    const QSqlDatabase db = QSqlDatabase::database(kConnection);
    if (!upgradeDatabase(db, path).ok())
        return false;
    QList<SqlStatement> rows{
        {QStringLiteral("insert into T_SMTPサーバー values (?, ?, '', X'', 0, '役員会 連絡係', 'renraku@example.jp', 0)"),
         {host, port}},
        {QStringLiteral("insert into T_送信設定 (グループ名称付加, 名前付加, 文字数制限, 文字数) values (1, 1, 1, 72)")},
        {QStringLiteral("insert into T_グループ values (1, '１年保護者', 'ホゴシャ')")},
        {QStringLiteral("insert into T_お知らせ values (1, '運動会のお知らせ（雨天の場合は翌日に順延）', ?, "
                        "'2026/10/01 09:00:00', '(未送信)')"),
         {bodyOf(bodyBytes)}},
        {QStringLiteral("insert into T_お知らせに対する宛先情報 values (1, 1)")}};
    for (int i = 1; i <= count; ++i) {
        rows << SqlStatement{QStringLiteral("insert into T_メンバー values (?, ?, 'カイイン', '様', ?)"),
                             {i, QStringLiteral("会員 %1").arg(i), QStringLiteral("member%1@example.jp").arg(i)}}
             << SqlStatement{QStringLiteral("insert into T_メンバーの登録グループ情報 values (?, 1)"), {i}};
    }
    return executeAll(db, rows);
}

// The run without a window; with a recorder, as the sending window's worker.
int runAlone(const QStringList &args, const QString &mode)
{
    const int count = args[3].toInt();
    SendPlan plan;
    plan.smtp.server = args[1];
    plan.smtp.port = args[2].toInt();
    plan.smtp.authenticate = false;
    plan.smtp.senderName = QStringLiteral("役員会 連絡係");
    plan.smtp.senderAddress = QStringLiteral("renraku@example.jp");
    plan.options = {true, true, true, 72};
    plan.subject = QStringLiteral("運動会のお知らせ（雨天の場合は翌日に順延）");
    plan.body = preparedBody(bodyOf(args[4].toInt()), plan.options);
    for (int i = 1; i <= count; ++i) {
        plan.rows.append({.groupId = 1, .groupName = QStringLiteral("１年%1組保護者").arg(i % 9 + 1), .memberId = i,
                          .name = QStringLiteral("会員 %1").arg(i), .honorific = QStringLiteral("様"),
                          .address = QStringLiteral("member%1@example.jp").arg(i)});
    }
    QTemporaryDir dir;
    std::unique_ptr<SendRunRecorder> recorder;
    if (mode == QLatin1String("record")) {
        if (!prepareDatabase(dir.filePath(QStringLiteral("Pennora.db")), args[1], args[2].toInt(), 0, 0))
            return 1;
        recorder = std::make_unique<SendRunRecorder>(kConnection);
    }

    QElapsedTimer timer;
    timer.start();
    TransportOptions transportOptions;
    transportOptions.reuseConnection = mode != QLatin1String("fresh");
    SmtpTransport transport(plan.smtp, transportOptions);
    if (recorder && !recorder->begin({.newsId = 1, .listSize = count}, plan.rows))
        return 1;
    const RunOutcome outcome = runMailing(plan, transport, {}, recorder.get());
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (outcome.end != RunOutcome::Completed || outcome.sent != count) {
        std::fprintf(stderr, "bench_mail: stopped after %d mails: %s %s %s\n", outcome.sent,
                     qPrintable(outcome.reason), qPrintable(outcome.reply), qPrintable(outcome.detail));
        return 1;
    }
    std::printf("%d %.1f\n", outcome.sent, outcome.sent / seconds);
    return 0;
}

// The Send command as a user goes through it; the dialogs are worked through
// the program's own hook, each at once.
int runAsUser(const QStringList &args)
{
    const int count = args[3].toInt();
    QTemporaryDir dir;
    AppContext context;
    context.appDir = dir.path();
    context.connectionName = kConnection;
    if (!prepareDatabase(context.databasePath(), args[1], args[2].toInt(), count, args[4].toInt()))
        return 1;
    QElapsedTimer timer;
    qint64 tookNs = 0;
    setMessageHook([](QWidget *, const Message &message) { // the confirmation: 送信
        return MessageAnswer{QMessageBox::NoButton, message.defaultCustom};
    });
    setModalHook([&](QDialog &dialog) {
        const QString name = dialog.objectName();
        if (name == QLatin1String("frmInpSubmit")) {
            timer.start();
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
        } else if (name == QLatin1String("frmSendMail")) {
            while (dialog.isVisible())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else if (name == QLatin1String("frmSendResult")) {
            tookNs = timer.nsecsElapsed();
            dialog.reject();
        } else {
            dialog.reject(); // a problem list would stop the run: nothing is timed
        }
    });
    const SendOutcome outcome = sendNotice(nullptr, context, 1);
    if (tookNs == 0 || outcome.sentAt.isEmpty()) {
        std::fprintf(stderr, "bench_mail: the run did not complete: %s\n", qPrintable(outcome.result.error));
        return 1;
    }
    std::printf("%d %.1f\n", count, count / (static_cast<double>(tookNs) / 1e9));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList modes{QStringLiteral("reuse"), QStringLiteral("fresh"), QStringLiteral("record"),
                            QStringLiteral("window")};
    if (args.size() != 6 || !modes.contains(args[5])) {
        std::fprintf(stderr, "usage: bench_mail HOST PORT COUNT BODY_BYTES reuse|fresh|record|window\n");
        return 2;
    }
    return args[5] == QLatin1String("window") ? runAsUser(args) : runAlone(args, args[5]);
}
