#include "shots.h"

#include "app/databasesettingsdialog.h"
#include "mail/smtpsettingsdialog.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendingwindow.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"

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
    lumivox::SendOptionsDialog dialog(ctx.app.context());
    ctx.save(&dialog, QStringLiteral("send_options"));
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
