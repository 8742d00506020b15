#include "shots.h"

#include "app/databasesettingsdialog.h"
#include "mail/smtpsettingsdialog.h"
#include "mail/previewdialog.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendingwindow.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <cstdio>

namespace {

// The association's settings row: a login, and the officers' mail address.
lumivox::test::SmtpRow smtpSettings(const QString &server, int port, bool authenticate, int security)
{
    return {.server = server, .port = port, .user = QStringLiteral("yakuin-kai"), .password = QStringLiteral("password"),
            .authenticate = authenticate ? 1 : 0, .senderName = QStringLiteral("役員会 連絡係"), .security = security};
}

} // namespace

LUMIVOX_SCREENSHOT(smtp_settings)
{
    lumivox::test::storeSmtp(ctx.app, smtpSettings(QStringLiteral("mail.example.co.jp"), 587, true, 1));
    lumivox::SmtpSettingsDialog dialog(ctx.app.context());
    ctx.save(&dialog, QStringLiteral("smtp_settings"));
}

// The register on the association's server, as an officer sets it up.
LUMIVOX_SCREENSHOT(database_settings)
{
    lumivox::DatabaseSettings server;
    server.engine = lumivox::Engine::PostgreSQL;
    server.host = QStringLiteral("db.example.jp");
    server.databaseName = QStringLiteral("lumivox");
    server.user = QStringLiteral("suzuki");
    server.sslMode = QStringLiteral("verify-full");
    lumivox::saveDatabaseSettings(ctx.app.iniPath(), server);
    lumivox::DatabaseSettingsDialog dialog(ctx.app.context());
    ctx.save(&dialog, QStringLiteral("database_settings"));
}

LUMIVOX_SCREENSHOT(send_options)
{
    lumivox::makeSendList(ctx.app.db(), 1);
    lumivox::SendOptionsDialog dialog(ctx.app.context());
    dialog.setPreviewNotice(1);
    ctx.save(&dialog, QStringLiteral("send_options"));
}

// The mail the second recipient of notice 1 gets, folded at 40 bytes, in the
// automatic character set.
LUMIVOX_SCREENSHOT(mail_preview)
{
    lumivox::makeSendList(ctx.app.db(), 1);
    lumivox::test::storeSmtp(ctx.app, smtpSettings(QStringLiteral("mail.example.co.jp"), 587, true, 1));
    lumivox::SendOptions options;
    options.width = 40;
    options.charset = lumivox::MailCharset::Automatic;
    lumivox::PreviewDialog dialog(lumivox::readSendPlan(ctx.app.db(), 1, nullptr, &options));
    dialog.findChild<QComboBox *>(QStringLiteral("cboRecipient"))->setCurrentIndex(1);
    ctx.save(&dialog, QStringLiteral("mail_preview"));
}

// The sending window while the third of seven mails is with a (slow) server.
LUMIVOX_SCREENSHOT(send_window)
{
    lumivox::makeSendList(ctx.app.db(), 1);
    const QString third = ctx.app.scalar(QStringLiteral("select \"E-Mail\" from T_temp_送信リスト "
                                                        "order by rowid limit 1 offset 2"))
                              .toString();
    lumivox::test::SmtpTestServer server;
    if (!server.start({.slowRecipient = third, .slowSeconds = 3}))
        return;
    lumivox::test::storeSmtp(ctx.app, smtpSettings(QStringLiteral("127.0.0.1"), server.port(), false, 0));
    lumivox::SendingWindow window(ctx.app.context());
    lumivox::RunStart start;
    start.newsId = 1;
    window.setRun(lumivox::readSendPlan(ctx.app.db(), 1), start);
    window.show();
    if (!QTest::qWaitFor([&] { return server.slowStarted(); }, 10000))
        std::fprintf(stderr, "send_window: the run did not reach the third mail\n");
    ctx.save(&window, QStringLiteral("send_window"));
    if (!QTest::qWaitFor([&] { return !window.isVisible(); }, 15000))
        std::fprintf(stderr, "send_window: the run did not end\n");
}

// The same run at 6 mails a minute, waiting before the second mail.
LUMIVOX_SCREENSHOT(send_window_pace)
{
    lumivox::makeSendList(ctx.app.db(), 1);
    lumivox::test::SmtpTestServer server;
    if (!server.start())
        return;
    lumivox::test::storeSmtp(ctx.app, smtpSettings(QStringLiteral("127.0.0.1"), server.port(), false, 0));
    lumivox::SendOptions options;
    options.perMinute = 6;
    lumivox::SendingWindow window(ctx.app.context());
    lumivox::RunStart start;
    start.newsId = 1;
    window.setRun(lumivox::readSendPlan(ctx.app.db(), 1, nullptr, &options), start);
    window.show();
    auto *pause = window.findChild<QLabel *>(QStringLiteral("lblPause"));
    if (!QTest::qWaitFor([&] { return !pause->text().isEmpty(); }, 10000))
        std::fprintf(stderr, "send_window_pace: the run did not wait\n");
    ctx.save(&window, QStringLiteral("send_window_pace"));
    window.reject(); // ｷｬﾝｾﾙ
    if (!QTest::qWaitFor([&] { return !window.isVisible(); }, 5000))
        std::fprintf(stderr, "send_window_pace: the run did not stop\n");
}
