// The sending window against a real SMTP server: what arrives, decoded by
// Python's email package, for each send option; login, STARTTLS and SSL/TLS;
// refusals, an absent server, ｷｬﾝｾﾙ, and characters ISO-2022-JP cannot carry.
#include "mail/foldtext.h"
#include "mail/sendingwindow.h"
#include "mail/sendrun.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"
#include "support/testapp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace lumivox;
using namespace lumivox::test;

namespace {

const QString kSendError = QStringLiteral("送信ｴﾗｰが発生しました，送信を中止します。"
                                          "SMTPサーバーの設定条件等を再度ご確認下さい。");
const QString kWaiting = QStringLiteral("送信中です。しばらくお待ちください。");

// Notice 1 to `count` numbered members, and its send list.
bool numberedSendList(test::TestApp &app, int count)
{
    addNumberedMembers(app, count);
    return bool(makeSendList(app.db(), 1));
}

struct RunResult {
    QString caption;
    QString userTag;
    int progress = -1;
    QStringList messages;     // text of each message box shown
    QStringList informative;  // their informative text
};

// Opens the sending window for a notice and waits until it has closed. Message
// boxes are answered by `answer` (default: OK) after their texts are recorded.
RunResult runWindow(test::TestApp &app, int newsId, const QString &caFile = {},
                    const std::function<void(QMessageBox *)> &answer = {},
                    const std::function<void(SendingWindow &)> &during = {})
{
    RunResult result;
    SendingWindow window(app.context());
    window.setNewsId(newsId);
    window.setExtraCaFile(caFile);
    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible() && !box->property("answered").toBool()) {
            box->setProperty("answered", true);
            result.messages << box->text();
            result.informative << box->informativeText();
            if (answer)
                answer(box);
            else
                test::acceptMessage(box);
        }
        if (during)
            during(window);
    });
    watcher.start();
    window.exec();
    watcher.stop();
    result.caption = window.findChild<QLabel *>(QStringLiteral("lblMessage"))->text();
    result.progress = window.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value();
    result.userTag = window.UserTag();
    return result;
}

QString str(const QJsonObject &mail, const char *key) { return mail.value(QLatin1String(key)).toString(); }

// What a reader sees of a text sent through ISO-2022-JP: half-width katakana
// full width, 〜 as ～ (both are JIS 0x2141).
QString asReceived(QString text)
{
    text.replace(QStringLiteral("ｶﾞ"), QStringLiteral("ガ"));
    text.replace(QStringLiteral("ｽｽﾞｷ"), QStringLiteral("スズキ"));
    text.replace(u'〜', u'～');
    return text;
}

} // namespace

class TestSendMail : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sendsEveryRowWithItsOptions_data();
    void sendsEveryRowWithItsOptions();
    void logsInOnlyWhenAuthenticationIsOn();
    void stopsOnWrongPassword();
    void sendsOverStartTlsAndSslTls_data();
    void sendsOverStartTlsAndSslTls();
    void refusesUntrustedCertificate();
    void stopsWhenServerIsAbsent();
    void stopsAtRefusedRecipient();
    void cancelsBeforeNextMail_data();
    void cancelsBeforeNextMail();
    void cancelsWhileServerIsSilent();
    void showsOnlyARefusalAsTheServersReply();
    void stopsAtEmptyAddressOfMissingMember();
    void readsNullSettingsAsDefaults();
    void failsWithoutSettingsRow();
    void refusesRunWithoutSenderAddress_data();
    void refusesRunWithoutSenderAddress();
    void trimsAddressesOnceForEnvelopeAndHeader();
    void refusesUnsafeRecipientAddress_data();
    void refusesUnsafeRecipientAddress();
    void refusesUnusableServerNameOrPort_data();
    void refusesUnusableServerNameOrPort();
    void asksAboutCharactersThatCannotBeCarried();
    void asksAboutVoicedMarkPartedByFolding();
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
    test::TestApp app;
    QVERIFY(app.isValid());

    app.addGroups({"役員会", "ｶﾞｰﾃﾞﾝ部①"});
    app.addMember(1, QStringLiteral("山田 太郎"), {}, QStringLiteral("様"), QStringLiteral("yamada@example.jp"));
    app.addMember(2, QStringLiteral("佐藤 花子"), {}, QStringLiteral("さん"), QStringLiteral("sato@example.jp"));
    app.addMember(3, QStringLiteral("Taro"), {}, QString(), QStringLiteral("taro@example.jp"));
    app.link(memberGroups(), 1, 1);
    app.link(memberGroups(), 1, 2); // a member of two destination groups gets two mails
    app.link(memberGroups(), 2, 2);
    app.link(memberGroups(), 3, 1);
    const QString subject = QStringLiteral("運動会①のお知らせ ～㈱～ 〜ｶﾞ");
    const QString body = QStringLiteral("保護者の皆様\r\n\r\n①㈱～〜ｶﾞを含む行です。\r\n.先頭がドットの行\r\n")
                         + QStringLiteral("長").repeated(2000) + QStringLiteral("\r\n以上");
    app.addNotice(1, subject, body);
    app.link(noticeDestinations(), 1, {1, 2});
    QVERIFY(makeSendList(app.db(), 1));

    storeSmtp(app, {.port = server.port()});
    storeOptions(app, group, name, limit, 60);

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(run.userTag, QStringLiteral("OK"));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("4/4..."));
    QCOMPARE(run.progress, 100);

    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 4);
    struct Expect { QString group, name, honorific, address; };
    const QList<Expect> expected{
        {QStringLiteral("役員会"), QStringLiteral("Taro"), QString(), QStringLiteral("taro@example.jp")},
        {QStringLiteral("役員会"), QStringLiteral("山田 太郎"), QStringLiteral("様"), QStringLiteral("yamada@example.jp")},
        {QStringLiteral("ガーデン部①"), QStringLiteral("佐藤 花子"), QStringLiteral("さん"), QStringLiteral("sato@example.jp")},
        {QStringLiteral("ガーデン部①"), QStringLiteral("山田 太郎"), QStringLiteral("様"), QStringLiteral("yamada@example.jp")},
    };
    const QString prepared = limit ? FoldText(body, 60) : body;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject &mail = mails[i];
        const Expect &e = expected[i];
        QCOMPARE(mail.value(QStringLiteral("problems")).toArray(), QJsonArray());
        QCOMPARE(str(mail, "mail_from"), QStringLiteral("renraku@example.jp"));
        QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{e.address});
        QCOMPARE(str(mail, "to_addr"), e.address);
        QCOMPARE(str(mail, "to_name"), e.name);
        QCOMPARE(str(mail, "from_name"), QStringLiteral("連絡係 スズキ"));
        QCOMPARE(str(mail, "from_addr"), QStringLiteral("renraku@example.jp"));
        QCOMPARE(str(mail, "subject"), asReceived(subject));
        QString lines;
        if (group)
            lines += e.group + QStringLiteral("\r\n");
        if (name)
            lines += e.name + QStringLiteral("  ") + e.honorific + QStringLiteral("\r\n");
        if (group || name)
            lines += QStringLiteral("\r\n");
        // The body always ends with a line break, as SMTP data does.
        QCOMPARE(str(mail, "body"), lines + asReceived(prepared) + (limit ? QString() : QStringLiteral("\r\n")));
        // The unfolded 2,000-character line needs base64; folded lines do not.
        QCOMPARE(str(mail, "cte"), limit ? QStringLiteral("7bit") : QStringLiteral("base64"));
        // One connection for the whole run.
        QCOMPARE(str(mail, "peer"), str(mails[0], "peer"));
        QVERIFY(!mail.value(QStringLiteral("authenticated")).toBool());
    }
}

void TestSendMail::logsInOnlyWhenAuthenticationIsOn()
{
    SmtpTestServer server;
    QVERIFY(server.start({.user = QStringLiteral("kanri"), .password = QStringLiteral("p@ss'ワード")}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 2));
    storeOptions(app, false, false, false);

    // Authentication on: both mails go out, logged in.
    SmtpRow row{.port = server.port(), .user = QStringLiteral("kanri"), .password = QStringLiteral("p@ss'ワード"),
                .authenticate = 1};
    storeSmtp(app, row);
    RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(server.mails().size(), 2);
    QVERIFY(server.mails()[0].value(QStringLiteral("authenticated")).toBool());

    // Authentication off: no AUTH, and this server refuses to take the mail.
    row.authenticate = 0;
    storeSmtp(app, row);
    run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("530")), qPrintable(run.informative.first()));
    QCOMPARE(server.mails().size(), 2);
}

void TestSendMail::stopsOnWrongPassword()
{
    SmtpTestServer server;
    QVERIFY(server.start({.user = QStringLiteral("kanri"), .password = QStringLiteral("right")}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 3));
    storeOptions(app, true, true, false);
    storeSmtp(app, {.port = server.port(), .user = QStringLiteral("kanri"), .password = QStringLiteral("wrong"),
                    .authenticate = 1});

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("認証")), qPrintable(run.informative.first()));
    QVERIFY2(run.informative.first().contains(QStringLiteral("535")), qPrintable(run.informative.first()));
    QCOMPARE(run.userTag, QStringLiteral("OK"));
    QCOMPARE(server.mails().size(), 0);
    QCOMPARE(server.recipientsTried(), QStringList());
}

void TestSendMail::sendsOverStartTlsAndSslTls_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("security");
    QTest::newRow("STARTTLS") << QStringLiteral("starttls") << 1;
    QTest::newRow("SSL/TLS") << QStringLiteral("ssl") << 2;
}

void TestSendMail::sendsOverStartTlsAndSslTls()
{
    QFETCH(QString, mode);
    QFETCH(int, security);
    SmtpTestServer server;
    QVERIFY(server.start({.tls = mode, .user = QStringLiteral("kanri"), .password = QStringLiteral("secret")}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 3));
    storeOptions(app, true, true, false);
    SmtpRow row{.port = server.port(), .user = QStringLiteral("kanri"), .password = QStringLiteral("secret"),
                .authenticate = 1};
    row.security = security;
    storeSmtp(app, row);

    const RunResult run = runWindow(app, 1, server.certificate());
    QCOMPARE(run.messages, QStringList());
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 3);
    for (const QJsonObject &mail : mails) {
        QVERIFY(mail.value(QStringLiteral("tls")).toBool());
        QVERIFY(mail.value(QStringLiteral("authenticated")).toBool());
        QCOMPARE(str(mail, "peer"), str(mails[0], "peer"));
        QCOMPARE(str(mail, "body"), QStringLiteral("全員\r\n%1  様\r\n\r\n本文です。\r\n").arg(str(mail, "to_name")));
    }
}

void TestSendMail::refusesUntrustedCertificate()
{
    // Without the test's certificate only the system's store counts, which does
    // not know this server: nothing is sent, and the user is told why.
    SmtpTestServer server;
    QVERIFY(server.start({.tls = QStringLiteral("ssl")}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 2));
    SmtpRow row{.port = server.port()};
    row.security = 2;
    storeSmtp(app, row);
    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("証明書")), qPrintable(run.informative.first()));
    QCOMPARE(server.mails().size(), 0);
}

void TestSendMail::stopsWhenServerIsAbsent()
{
    test::TestApp app;
    QVERIFY(numberedSendList(app, 3));
    storeSmtp(app, {.port = test::closedPort()});
    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("接続できません")), qPrintable(run.informative.first()));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("1/3..."));
    QCOMPARE(run.userTag, QStringLiteral("OK"));
}

void TestSendMail::stopsAtRefusedRecipient()
{
    SmtpTestServer server;
    QVERIFY(server.start({.refuse = {QStringLiteral("m5@example.jp")}}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 10));
    storeSmtp(app, {.port = server.port()});

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("550 5.1.1 <m5@example.jp>")),
             qPrintable(run.informative.first()));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("5/10..."));
    QCOMPARE(run.userTag, QStringLiteral("OK"));
    QCOMPARE(server.mails().size(), 4);
    QCOMPARE(server.recipientsTried(),
             (QStringList{QStringLiteral("m1@example.jp"), QStringLiteral("m2@example.jp"),
                          QStringLiteral("m3@example.jp"), QStringLiteral("m4@example.jp"),
                          QStringLiteral("m5@example.jp")}));
}

void TestSendMail::cancelsBeforeNextMail_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("ｷｬﾝｾﾙ") << false;
    QTest::newRow("close box") << true;
}

void TestSendMail::cancelsBeforeNextMail()
{
    QFETCH(bool, closeBox);
    SmtpTestServer server;
    QVERIFY(server.start({.slowRecipient = QStringLiteral("m3@example.jp"), .slowSeconds = 2}));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 10));
    storeSmtp(app, {.port = server.port()});

    bool pressed = false;
    bool stayedOpen = false;
    QString captionAfterClick;
    const RunResult run = runWindow(app, 1, {}, {}, [&](SendingWindow &window) {
        // While the third mail is with the server, the user stops the run.
        if (!pressed && server.slowStarted()) {
            pressed = true;
            if (closeBox)
                window.close();
            else
                window.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
            stayedOpen = window.isVisible();
            captionAfterClick = window.findChild<QLabel *>(QStringLiteral("lblMessage"))->text();
        }
    });
    QVERIFY(pressed);
    QVERIFY(stayedOpen); // the mail in progress finishes first
    // ... and the caption says at once that the click was taken.
    QCOMPARE(captionAfterClick, QStringLiteral("送信を中止しています…"));
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(run.userTag, QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("4/10..."));
    QCOMPARE(run.progress, 40);
    QCOMPARE(server.mails().size(), 3);
    QCOMPARE(server.recipientsTried().size(), 3);
}

void TestSendMail::cancelsWhileServerIsSilent()
{
    // A server that takes the connection and never greets: ｷｬﾝｾﾙ ends the run
    // at once instead of after the 30-second time-out, and it is no error.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    test::TestApp app;
    QVERIFY(numberedSendList(app, 2));
    storeSmtp(app, {.port = silent.serverPort()});

    QElapsedTimer clock;
    qint64 pressedAt = -1;
    clock.start();
    const RunResult run = runWindow(app, 1, {}, {}, [&](SendingWindow &window) {
        if (pressedAt < 0 && silent.hasPendingConnections() && clock.elapsed() > 500) {
            pressedAt = clock.elapsed();
            window.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        }
    });
    QVERIFY(pressedAt >= 0);
    QVERIFY2(clock.elapsed() - pressedAt < 5000, qPrintable(QString::number(clock.elapsed() - pressedAt)));
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(run.userTag, QStringLiteral("ｷｬﾝｾﾙ"));
}

void TestSendMail::showsOnlyARefusalAsTheServersReply()
{
    // The server goes silent after "354" (its answer to DATA): the send fails
    // on the response time-out, and "354" is no reason to show the user.
    SmtpTestServer server;
    QVERIFY(server.start({.slowRecipient = QStringLiteral("late@example.jp"), .slowSeconds = 6}));
    SmtpSettings settings;
    settings.server = QStringLiteral("127.0.0.1");
    settings.port = server.port();
    settings.authenticate = false;
    TransportOptions quick;
    quick.serverResponseTimeoutSeconds = 2;
    SmtpTransport transport(settings, quick);
    QVERIFY(!transport.send(QStringLiteral("a@example.jp"), QStringLiteral("late@example.jp"),
                            QByteArray("Subject: x\r\n\r\nx\r\n")));
    QCOMPARE(transport.errorText(), QStringLiteral("SMTPサーバーから時間内に応答がありませんでした。"));
    QCOMPARE(transport.serverReply(), QString());

    // A refusal is shown, and it is the server's own line.
    SmtpTestServer refusing;
    QVERIFY(refusing.start({.refuse = {QStringLiteral("no@example.jp")}}));
    settings.port = refusing.port();
    SmtpTransport second(settings, quick);
    QVERIFY(!second.send(QStringLiteral("a@example.jp"), QStringLiteral("no@example.jp"),
                         QByteArray("Subject: x\r\n\r\nx\r\n")));
    QCOMPARE(second.serverReply(),
             QStringLiteral("550 5.1.1 <no@example.jp>: Recipient address rejected: User unknown"));
}

void TestSendMail::stopsAtEmptyAddressOfMissingMember()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNumberedMembers(app, 2);
    app.link(memberGroups(), 77, 1); // member 77 no longer exists
    QVERIFY(makeSendList(app.db(), 1));
    QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト")), 3);
    storeSmtp(app, {.port = server.port()});
    const RunResult run = runWindow(app, 1);
    // The empty name sorts first: its empty address stops the run at once.
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("宛先のE-Mailが空です")),
             qPrintable(run.informative.first()));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("1/3..."));
    QCOMPARE(server.mails().size(), 0);
    QCOMPARE(server.recipientsTried(), QStringList());
}

void TestSendMail::readsNullSettingsAsDefaults()
{
    test::TestApp app;
    app.exec(QStringLiteral("insert into T_SMTPサーバー (サーバー名) values ('smtp.example.jp')"));
    app.exec(QStringLiteral("insert into T_送信設定 (文字数制限) values (1)"));
    const SmtpSettings smtp = readRunSmtpSettings(app.db());
    QCOMPARE(smtp.port, 25);
    QVERIFY(smtp.authenticate);
    QCOMPARE(smtp.user, QString());
    QCOMPARE(smtp.password, QString());
    QVERIFY(smtp.security == ConnectionSecurity::None);
    const SendOptions options = readSendOptions(app.db(), kNoSendOptionsRow);
    QVERIFY(options.addGroup && options.addName && options.limitWidth);
    QCOMPARE(options.width, 60);

    // Null 認証 against a server that wants a login: the login happens.
    SmtpTestServer server;
    QVERIFY(server.start({.user = QStringLiteral("u"), .password = QStringLiteral("pw")}));
    QVERIFY(numberedSendList(app, 1));
    storeSmtp(app, {.port = server.port(), .user = QStringLiteral("u"), .password = QStringLiteral("pw"),
                    .authenticate = QVariant()});
    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(server.mails().size(), 1);
    QVERIFY(server.mails()[0].value(QStringLiteral("authenticated")).toBool());
}

void TestSendMail::failsWithoutSettingsRow()
{
    test::TestApp app;
    QVERIFY(numberedSendList(app, 2));
    const SmtpSettings smtp = readRunSmtpSettings(app.db());
    QCOMPARE(smtp.port, 0);
    QVERIFY(!smtp.authenticate);
    const SendOptions options = readSendOptions(app.db(), kNoSendOptionsRow);
    QVERIFY(!options.addGroup && !options.addName && !options.limitWidth);
    QCOMPARE(options.width, 0);

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QCOMPARE(run.caption, kWaiting + QStringLiteral("1/2..."));
}

void TestSendMail::refusesRunWithoutSenderAddress_data()
{
    QTest::addColumn<QVariant>("address");
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("Null") << QVariant();
}

void TestSendMail::refusesRunWithoutSenderAddress()
{
    // Without a sender the mail would go out as a bounce ("MAIL FROM:<>") with an
    // empty From: the run stops before anything reaches the server.
    QFETCH(QVariant, address);
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    QVERIFY(numberedSendList(app, 3));
    storeSmtp(app, {.port = server.port(), .senderAddress = address});
    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("送信元のE-Mailが設定されていません。")),
             qPrintable(run.informative.first()));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("1/3..."));
    QCOMPARE(server.recipientsTried(), QStringList());
    QCOMPARE(server.mails().size(), 0);
}

void TestSendMail::trimsAddressesOnceForEnvelopeAndHeader()
{
    // Blanks typed around an address (half or full width, a tab) are dropped
    // once: the envelope and the header carry the same trimmed address.
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"),
                     {{QStringLiteral("山田"), QStringLiteral("yamada@example.jp ")},
                      {QStringLiteral("佐藤"), QStringLiteral("\t sato@example.jp\u3000")}});
    QVERIFY(makeSendList(app.db(), 1));
    storeSmtp(app, {.port = server.port(), .senderAddress = QStringLiteral(" renraku@example.jp  ")});

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList());
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 2);
    const QStringList expected{QStringLiteral("sato@example.jp"), QStringLiteral("yamada@example.jp")};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(mails[i].value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{expected[i]});
        QCOMPARE(str(mails[i], "to_addr"), expected[i]);
        QCOMPARE(str(mails[i], "mail_from"), QStringLiteral("renraku@example.jp"));
        QCOMPARE(str(mails[i], "from_addr"), QStringLiteral("renraku@example.jp"));
        QCOMPARE(mails[i].value(QStringLiteral("problems")).toArray(), QJsonArray());
    }
}

void TestSendMail::refusesUnsafeRecipientAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("a second RCPT smuggled in") << QStringLiteral("a@example.jp\r\nRCPT TO:<x@example.jp>");
    QTest::newRow("a blank inside") << QStringLiteral("yama da@example.jp");
    QTest::newRow("full width") << QStringLiteral("ｙａｍａｄａ＠example.jp");
    QTest::newRow("angle bracket") << QStringLiteral("a@example.jp>,<x@example.jp");
}

void TestSendMail::refusesUnsafeRecipientAddress()
{
    // An address that could change the SMTP conversation, or that no server
    // takes, stops the run before anything is said about it to the server.
    QFETCH(QString, address);
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"),
                     {{QStringLiteral("山田"), address}, {QStringLiteral("佐藤"), QStringLiteral("sato@example.jp")}});
    QVERIFY(makeSendList(app.db(), 1));
    storeSmtp(app, {.port = server.port()});

    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().contains(QStringLiteral("宛先のE-Mail「")), qPrintable(run.informative.first()));
    QVERIFY2(run.informative.first().contains(QStringLiteral("使えない文字")), qPrintable(run.informative.first()));
    // 佐藤 sorts first and goes out; 山田 stops the run, and nothing of his
    // address reached the server.
    QCOMPARE(run.caption, kWaiting + QStringLiteral("2/2..."));
    QCOMPARE(server.recipientsTried(), QStringList{QStringLiteral("sato@example.jp")});
    QCOMPARE(server.mails().size(), 1);
}

void TestSendMail::refusesUnusableServerNameOrPort_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("a path in the name") << QStringLiteral("127.0.0.1/x") << 0;
    QTest::newRow("a blank in the name") << QStringLiteral("127.0.0.1 x") << 0;
    QTest::newRow("port 70000") << QStringLiteral("127.0.0.1") << 70000;
    QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << -1;
}

void TestSendMail::refusesUnusableServerNameOrPort()
{
    // The server name and port become a URL only when they stay a host and a
    // port; anything else is refused with its own message, nothing is sent.
    QFETCH(QString, host);
    QFETCH(int, port);
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    QVERIFY(numberedSendList(app, 2));
    storeSmtp(app, {.server = host, .port = port > 0 ? port : port == 0 ? server.port() : 0});
    const RunResult run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList{kSendError});
    QVERIFY2(run.informative.first().startsWith(QStringLiteral("SMTPサーバー名またはポート番号が正しくありません。")),
             qPrintable(run.informative.first()));
    QCOMPARE(run.caption, kWaiting + QStringLiteral("1/2..."));
    QCOMPARE(server.recipientsTried(), QStringList());
    QCOMPARE(server.mails().size(), 0);
}

void TestSendMail::asksAboutCharactersThatCannotBeCarried()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("髙校"), {{QStringLiteral("﨑山"), QStringLiteral("s@example.jp")}},
                     QStringLiteral("髙橋さんより"), QStringLiteral("晴れ☀️です😀"));
    QVERIFY(makeSendList(app.db(), 1));
    storeSmtp(app, {.port = server.port()});
    storeOptions(app, true, true, false);

    // Stop: nothing goes out.
    RunResult run = runWindow(app, 1, {}, [](QMessageBox *box) {
        box->findChild<QPushButton *>(QStringLiteral("cmdStop"))->click();
    });
    QCOMPARE(run.messages.size(), 1);
    const QString listed = run.messages.first();
    QVERIFY2(listed.contains(QStringLiteral("件名: 髙 (U+9AD9)")), qPrintable(listed));
    QVERIFY2(listed.contains(QStringLiteral("本文: ☀ (U+2600), \uFE0F (U+FE0F), 😀 (U+1F600)")), qPrintable(listed));
    QVERIFY2(listed.contains(QStringLiteral("グループ名称「髙校」: 髙 (U+9AD9)")), qPrintable(listed));
    QVERIFY2(listed.contains(QStringLiteral("名前「﨑山」: 﨑 (U+FA11)")), qPrintable(listed));
    QCOMPARE(run.userTag, QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(server.recipientsTried(), QStringList());

    // Send anyway: 〓 stands in for each of them.
    run = runWindow(app, 1, {}, [](QMessageBox *box) {
        box->findChild<QPushButton *>(QStringLiteral("cmdSendAnyway"))->click();
    });
    QCOMPARE(run.messages.size(), 1);
    QCOMPARE(server.mails().size(), 1);
    const QJsonObject mail = server.mails().first();
    QCOMPARE(str(mail, "subject"), QStringLiteral("〓橋さんより"));
    QCOMPARE(str(mail, "to_name"), QStringLiteral("〓山"));
    QCOMPARE(str(mail, "body"), QStringLiteral("〓校\r\n〓山  様\r\n\r\n晴れ〓〓です〓\r\n"));
    QCOMPARE(mail.value(QStringLiteral("problems")).toArray(), QJsonArray());
}

void TestSendMail::asksAboutVoicedMarkPartedByFolding()
{
    // か + combining U+3099 is が as typed, but folding at 60 bytes closes the
    // first piece after か and leaves the mark alone at the start of the next.
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    const QString body = QStringLiteral("あ").repeated(29) + QStringLiteral("か\u3099です");
    addNoticeToGroup(app, QStringLiteral("班"), {{QStringLiteral("山田"), QStringLiteral("y@example.jp")}},
                     QStringLiteral("濁点"), body);
    QVERIFY(makeSendList(app.db(), 1));
    storeSmtp(app, {.port = server.port()});

    storeOptions(app, false, false, true, 60);
    RunResult run = runWindow(app, 1, {}, [](QMessageBox *box) {
        box->findChild<QPushButton *>(QStringLiteral("cmdStop"))->click();
    });
    QCOMPARE(run.messages.size(), 1);
    QVERIFY2(run.messages.first().contains(QStringLiteral("(U+3099)")), qPrintable(run.messages.first()));
    QCOMPARE(server.recipientsTried(), QStringList());

    // Unfolded, the mark stays with its kana: nothing to ask, が arrives.
    storeOptions(app, false, false, false, 60);
    run = runWindow(app, 1);
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(str(server.mails().first(), "body"),
             QStringLiteral("あ").repeated(29) + QStringLiteral("がです\r\n"));
}

QTEST_MAIN(TestSendMail)
#include "test_sendmail.moc"
