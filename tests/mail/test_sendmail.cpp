// The send run and the SMTP transport against a real server: what arrives,
// decoded by Python's email package, for each send option and character set;
// login, STARTTLS and SSL/TLS; refusals of one mail and failures that stop the
// run, guards on what reaches the server, and cancelling at once.
#include "mail/foldtext.h"
#include "mail/sendrun.h"
#include "mail/smtptransport.h"
#include "smtptestserver.h"
#include "support/testapp.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

#include <thread>

using namespace lumivox;
using namespace Qt::StringLiterals;
using test::field;
using test::problemsOf;
using test::SmtpTestServer;

namespace {

const QString kPassword = u"p@ss'ワード"_s;

// Notice "お知らせ" / "本文です。" to m1…mN, without leading lines or folding.
SendPlan planFor(int port, int members = 3)
{
    SendPlan plan{{u"127.0.0.1"_s, port, u"kanri"_s, kPassword, false, u"連絡係 ｽｽﾞｷ"_s, u"renraku@example.jp"_s},
                  {false, false, false, 60}, u"お知らせ"_s, u"本文です。"_s, {}};
    for (int i = 1; i <= members; ++i)
        plan.rows.append({.groupName = u"全員"_s, .name = u"会員%1"_s.arg(i), .honorific = u"様"_s, .address = u"m%1@example.jp"_s.arg(i)});
    return plan;
}

// The run; *lastError is the transport's word on its last send.
RunOutcome run(const SendPlan &plan, const TransportOptions &options = {}, const std::function<bool(int, int)> &each = {},
               QString *lastError = nullptr)
{
    SmtpTransport transport(plan.smtp, options);
    const RunOutcome outcome = runMailing(plan, transport, each);
    if (lastError)
        *lastError = transport.errorText();
    return outcome;
}

// A server, the settings that meet it, and how the run ends.
struct ServerCase {
    QString tls = u"none"_s;
    bool login = false; // the server wants AUTH
    int security = 0;
    bool authenticate = false; // the settings say log in
    QString password = kPassword;
    bool trust = false; // the server's certificate
    QString refuse = {};
    bool silent = false; // after DATA, past the response time-out
    bool pipelining = false; // the server takes MAIL, RCPT and DATA in one go
    int sent = 3;
    int refused = 0;
    QString reason = {};
    QString reply = {}; // how the server's reply begins; empty: no reply shown
};

// Settings or addresses refused before they reach the server.
struct GuardCase {
    QString host = u"127.0.0.1"_s;
    int port = -1; // the test server's
    QString sender = u"renraku@example.jp"_s;
    QString second = u"m2@example.jp"_s; // the second recipient's address
    int tried = 0; // the second recipient is refused alone: the first goes
    QString reason = {};
};

} // namespace

Q_DECLARE_METATYPE(ServerCase)
Q_DECLARE_METATYPE(GuardCase)

class TestSendMail : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sendsEveryRowWithItsOptions_data();
    void sendsEveryRowWithItsOptions();
    void sendsInEachCharset_data();
    void sendsInEachCharset();
    void talksToTheServer_data();
    void talksToTheServer();
    void refusesBeforeItReachesTheServer_data();
    void refusesBeforeItReachesTheServer();
    void cancelEndsTheRunAtOnce_data();
    void cancelEndsTheRunAtOnce();
};

void TestSendMail::sendsEveryRowWithItsOptions_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("name");
    QTest::addColumn<bool>("limit");
    QTest::newRow("both lines, no folding") << true << true << false;
    QTest::newRow("body alone") << false << false << false;
    QTest::newRow("group line, folded") << true << false << true;
    QTest::newRow("name line, folded") << false << true << true;
}

void TestSendMail::sendsEveryRowWithItsOptions()
{
    QFETCH(bool, group);
    QFETCH(bool, name);
    QFETCH(bool, limit);
    SmtpTestServer server;
    QVERIFY(server.start());
    SendPlan plan = planFor(server.port(), 0);
    plan.options = {group, name, limit, 60};
    plan.subject = u"運動会①のお知らせ ～㈱～ 〜ｶﾞ"_s;
    const QString body = u"保護者の皆様\r\n\r\n①㈱～〜ｶﾞを含む行です。\r\n.先頭がドットの行\r\n"_s + u"長"_s.repeated(2000) + u"\r\n以上"_s;
    plan.body = preparedBody(body, plan.options);
    plan.rows = {{.groupName = u"役員会"_s, .name = u"Taro"_s, .address = u"taro@example.jp"_s},
                 {.groupName = u"ｶﾞｰﾃﾞﾝ部①"_s, .name = u"山田 太郎"_s, .honorific = u"さん"_s, .address = u"yamada@example.jp"_s}};
    QList<int> progress;
    QCOMPARE(run(plan, {}, [&](int n, int total) { progress << n * 10 + total; return true; }).end, RunOutcome::Completed);
    QCOMPARE(progress, (QList<int>{12, 22}));

    // What a reader sees of ISO-2022-JP: half-width katakana full width, 〜 as ～.
    const auto asJis = [](QString text) {
        return text.replace(u"ｶﾞｰﾃﾞﾝ"_s, u"ガーデン"_s).replace(u"ｽｽﾞｷ"_s, u"スズキ"_s).replace(u"ｶﾞ"_s, u"ガ"_s).replace(u'〜', u'～');
    };
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject &mail = mails[i];
        const Recipient &row = plan.rows[i];
        QCOMPARE(problemsOf(mail), QJsonArray());
        QCOMPARE(field(mail, "mail_from"), u"renraku@example.jp"_s);
        QCOMPARE(field(mail, "from_addr"), u"renraku@example.jp"_s);
        QCOMPARE(mail.value("rcpt_tos"_L1).toArray(), QJsonArray{row.address});
        QCOMPARE(field(mail, "to_addr"), row.address);
        QCOMPARE(field(mail, "to_name"), row.name);
        QCOMPARE(field(mail, "from_name"), u"連絡係 スズキ"_s);
        QCOMPARE(field(mail, "subject"), asJis(plan.subject));
        QString lines = group ? asJis(row.groupName) + u"\r\n"_s : QString();
        if (name)
            lines += row.name + u"  "_s + row.honorific + u"\r\n"_s;
        QCOMPARE(field(mail, "body"), lines + (group || name ? u"\r\n"_s : QString())
                                          + asJis(limit ? FoldText(body, 60) : body + u"\r\n"_s));
        // The unfolded 2,000-character line needs base64; folded lines do not.
        QCOMPARE(field(mail, "cte"), limit ? u"7bit"_s : u"base64"_s);
        QCOMPARE(field(mail, "peer"), field(mails[0], "peer")); // one connection for the run
        QCOMPARE(field(mail, "mime_version"), u"1.0"_s);
        QVERIFY(field(mail, "message_id").endsWith(u"@example.jp>"_s));
    }
    QVERIFY(field(mails[0], "message_id") != field(mails[1], "message_id"));
}

void TestSendMail::sendsInEachCharset_data()
{
    QTest::addColumn<bool>("eightBitMime");
    QTest::addColumn<MailCharset>("charset");
    QTest::addColumn<QString>("sentAs"); // the two mails
    QTest::newRow("UTF-8, server takes 8 bits") << true << MailCharset::Utf8 << u"utf-8 8bit, utf-8 8bit"_s;
    QTest::newRow("UTF-8, server does not") << false << MailCharset::Utf8 << u"utf-8 base64, utf-8 base64"_s;
    QTest::newRow("automatic") << true << MailCharset::Automatic << u"iso-2022-jp 7bit, utf-8 8bit"_s;
}

// The run greets the server first, so that a UTF-8 body goes 8bit exactly when
// the server announces 8BITMIME; the automatic choice is made per mail.
void TestSendMail::sendsInEachCharset()
{
    QFETCH(bool, eightBitMime);
    QFETCH(MailCharset, charset);
    QFETCH(QString, sentAs);
    SmtpTestServer server;
    QVERIFY(server.start({.eightBitMime = eightBitMime}));
    SendPlan plan = planFor(server.port(), 2);
    plan.options = {false, true, false, 60, charset}; // the name line too
    plan.rows[1].name = u"髙橋 𠮷田"_s;
    QVERIFY(findUncarriable(plan).isEmpty()); // no question: every character is carried
    QCOMPARE(run(plan).end, RunOutcome::Completed);
    QStringList got;
    for (const QJsonObject &mail : server.mails()) {
        QCOMPARE(problemsOf(mail), QJsonArray());
        got << field(mail, "charset") + u' ' + field(mail, "cte");
    }
    QCOMPARE(got.join(u", "_s), sentAs);
    QCOMPARE(field(server.mails().value(1), "to_name"), u"髙橋 𠮷田"_s);
}

void TestSendMail::talksToTheServer_data()
{
    QTest::addColumn<ServerCase>("c");
    const QString ssl = u"ssl"_s;
    QTest::newRow("plain") << ServerCase{};
    QTest::newRow("login") << ServerCase{.login = true, .authenticate = true};
    QTest::newRow("STARTTLS") << ServerCase{.tls = u"starttls"_s, .login = true, .security = 1, .authenticate = true, .trust = true};
    QTest::newRow("SSL/TLS") << ServerCase{.tls = ssl, .login = true, .security = 2, .authenticate = true, .trust = true};
    QTest::newRow("no login where needed") << ServerCase{.login = true, .sent = 0, .reason = u"受け付けませんでした"_s, .reply = u"530"_s};
    QTest::newRow("wrong password") << ServerCase{.login = true, .authenticate = true, .password = u"wrong"_s, .sent = 0,
                                                  .reason = u"SMTP認証に失敗しました"_s, .reply = u"535"_s};
    QTest::newRow("untrusted certificate") << ServerCase{.tls = ssl, .security = 2, .sent = 0, .reason = u"証明書を確認できませんでした"_s};
    QTest::newRow("refused recipient: the run goes on") << ServerCase{.refuse = u"m2@example.jp"_s, .sent = 2, .refused = 1};
    // A "354" before the silence is no refusal to show the user.
    QTest::newRow("silent after DATA") << ServerCase{.silent = true, .sent = 0, .reason = u"時間内に応答がありませんでした"_s};
    QTest::newRow("pipelined") << ServerCase{.pipelining = true};
    QTest::newRow("pipelined, STARTTLS") << ServerCase{.tls = u"starttls"_s, .login = true, .security = 1, .authenticate = true,
                                                       .trust = true, .pipelining = true};
    QTest::newRow("pipelined, refused recipient") << ServerCase{.refuse = u"m2@example.jp"_s, .pipelining = true, .sent = 2, .refused = 1};
    QTest::newRow("pipelined, no login where needed") << ServerCase{.login = true, .pipelining = true, .sent = 0,
                                                                    .reason = u"受け付けませんでした"_s, .reply = u"530"_s};
    QTest::newRow("pipelined, silent after DATA") << ServerCase{.silent = true, .pipelining = true, .sent = 0,
                                                                .reason = u"時間内に応答がありませんでした"_s};
}

// A refusal of one mail is counted and the run goes on; a failure of the
// connection ends it: the mails before it stay sent, no later row is tried,
// and the reason is the server's own words where it gave them.
void TestSendMail::talksToTheServer()
{
    QFETCH(ServerCase, c);
    SmtpTestServer server;
    QVERIFY(server.start({.tls = c.tls, .user = c.login ? u"kanri"_s : QString(), .password = kPassword,
                          .refuse = c.refuse.isEmpty() ? QStringList() : QStringList{c.refuse},
                          .slowRecipient = c.silent ? u"m1@example.jp"_s : QString(), .slowSeconds = 4,
                          .pipelining = c.pipelining}));
    SendPlan plan = planFor(server.port());
    plan.smtp.security = ConnectionSecurity(c.security);
    plan.smtp.authenticate = c.authenticate;
    plan.smtp.password = c.password;
    TransportOptions options;
    options.extraCaFile = c.trust ? server.certificate() : QString();
    options.serverResponseTimeoutSeconds = 2;
    const RunOutcome outcome = run(plan, options);
    QCOMPARE(outcome.sent, c.sent);
    QCOMPARE(outcome.refused, c.refused);
    QCOMPARE(outcome.end, c.reason.isEmpty() ? RunOutcome::Completed : RunOutcome::Failed);
    QVERIFY2(outcome.reason.contains(c.reason), qPrintable(outcome.reason));
    QVERIFY2(c.reply.isEmpty() ? outcome.reply.isEmpty() : outcome.reply.startsWith(c.reply), qPrintable(outcome.reply));
    QCOMPARE(server.recipientsTried().size(), c.sent + (c.refuse.isEmpty() && !c.silent ? 0 : 1));
    for (const QJsonObject &mail : server.mails()) { // one connection, past a refusal too
        QCOMPARE(mail.value("tls"_L1).toBool(), c.security != 0);
        QCOMPARE(mail.value("authenticated"_L1).toBool(), c.authenticate);
        QCOMPARE(field(mail, "peer"), field(server.mails()[0], "peer"));
    }
}

void TestSendMail::refusesBeforeItReachesTheServer_data()
{
    QTest::addColumn<GuardCase>("c");
    const QString badHost = u"ポート番号が正しくありません"_s, badChar = u"使えない文字"_s;
    QTest::newRow("no sender address") << GuardCase{.sender = QString(), .reason = u"送信元のE-Mailが設定されていません"_s};
    QTest::newRow("blank in the sender") << GuardCase{.sender = u"ren raku@example.jp"_s, .reason = u"送信元のE-Mail「"_s};
    QTest::newRow("a second RCPT smuggled in") << GuardCase{.second = u"a@example.jp\r\nRCPT TO:<x@example.jp>"_s, .tried = 1, .reason = badChar};
    QTest::newRow("blank inside") << GuardCase{.second = u"yama da@example.jp"_s, .tried = 1, .reason = badChar};
    QTest::newRow("full width") << GuardCase{.second = u"ｙａｍａｄａ＠example.jp"_s, .tried = 1, .reason = badChar};
    QTest::newRow("angle bracket") << GuardCase{.second = u"a@example.jp>,<x@example.jp"_s, .tried = 1, .reason = badChar};
    QTest::newRow("255 characters") << GuardCase{.second = u"a"_s.repeated(244) + u"@example.jp"_s, .tried = 1, .reason = u"長すぎます"_s};
    QTest::newRow("member gone, no address") << GuardCase{.second = QString(), .tried = 1, .reason = u"宛先のE-Mailが空です"_s};
    QTest::newRow("no server name") << GuardCase{.host = QString(), .reason = u"SMTPサーバー名が設定されていません"_s};
    QTest::newRow("a path in the name") << GuardCase{.host = u"127.0.0.1/x"_s, .reason = badHost};
    QTest::newRow("a blank in the name") << GuardCase{.host = u"127.0.0.1 x"_s, .reason = badHost};
    QTest::newRow("port 70000") << GuardCase{.port = 70000, .reason = badHost};
    QTest::newRow("port 0 (no settings row)") << GuardCase{.port = 0, .reason = badHost};
    QTest::newRow("nobody listening") << GuardCase{.port = test::closedPort(), .reason = u"接続できません"_s};
}

// Nothing that could change the SMTP conversation, or that no server takes,
// reaches the server, with its own reason: a bad setting stops the run before
// the first mail, a bad recipient's address refuses that one mail.
void TestSendMail::refusesBeforeItReachesTheServer()
{
    QFETCH(GuardCase, c);
    SmtpTestServer server;
    QVERIFY(server.start());
    SendPlan plan = planFor(c.port < 0 ? server.port() : c.port, 2);
    plan.smtp.server = c.host;
    plan.smtp.senderAddress = c.sender;
    plan.rows[1].address = c.second;
    QString why;
    const RunOutcome outcome = run(plan, {}, {}, &why);
    QCOMPARE(outcome.end, c.tried ? RunOutcome::Completed : RunOutcome::Failed);
    QVERIFY2(why.contains(c.reason), qPrintable(why));
    QCOMPARE(outcome.sent, c.tried);
    QCOMPARE(outcome.refused, c.tried);
    QCOMPARE(server.recipientsTried().size(), c.tried);
}

void TestSendMail::cancelEndsTheRunAtOnce_data()
{
    QTest::addColumn<bool>("afterData");
    QTest::addColumn<bool>("pipelining");
    QTest::newRow("the server never greets") << false << false;
    QTest::newRow("silent after the data") << true << false;
    QTest::newRow("silent after the data, pipelined") << true << true;
}

// ｷｬﾝｾﾙ closes the connection under whatever waits for the server: the run ends
// within a second, not after a time-out. A mail whose data had ended is
// recorded as 不明, one still connecting as 未送信.
void TestSendMail::cancelEndsTheRunAtOnce()
{
    QFETCH(bool, afterData);
    QFETCH(bool, pipelining);
    SmtpTestServer server;
    QTcpServer silent;
    QVERIFY(afterData ? server.start({.slowRecipient = u"m1@example.jp"_s, .slowSeconds = 30, .pipelining = pipelining})
                      : silent.listen(QHostAddress::LocalHost));
    test::TestApp app;
    const SendPlan plan = planFor(afterData ? server.port() : silent.serverPort(), 2);
    SendRunRecorder recorder(app.context().connectionName);
    QVERIFY(recorder.begin({.newsId = 1}, plan.rows));
    SmtpTransport transport(plan.smtp);
    SendCanceller canceller;
    transport.setCanceller(&canceller);
    std::atomic<qint64> cancelledAt{0};
    QElapsedTimer clock;
    clock.start();
    std::thread user([&] {
        while (afterData ? !server.slowStarted() : clock.elapsed() < 500)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        cancelledAt = clock.elapsed();
        canceller.cancel();
    });
    const RunOutcome outcome = runMailing(plan, transport, {}, &recorder);
    const qint64 took = clock.elapsed() - cancelledAt;
    user.join();
    QCOMPARE(outcome.end, RunOutcome::Cancelled);
    QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    const QList<ResultRow> rows = SendResultStore(app.db()).results(recorder.runId());
    QCOMPARE(rows.value(0).state, afterData ? SendState::Unknown : SendState::NotSent);
    QCOMPARE(rows.value(1).state, SendState::NotSent);
    QCOMPARE(SendResultStore(app.db()).run(recorder.runId()).endReason, u"ｷｬﾝｾﾙ"_s);
}

QTEST_GUILESS_MAIN(TestSendMail)
#include "test_sendmail.moc"
