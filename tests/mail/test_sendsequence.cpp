// The Send command: the recipient list of a notice, the messages that stop a
// send, the send options that may cancel it, the sending window (progress,
// ｷｬﾝｾﾙ, the send error, the question about characters ISO-2022-JP cannot
// carry), and the time of sending the main window records.
#include "app/spreadgrid.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sendcommand.h"
#include "mailfixture.h"
#include "smtptestserver.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;
using namespace Qt::StringLiterals;

namespace {

const QRegularExpression kTimeText(u"^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}$"_s);

// The send options answered with OK (or ｷｬﾝｾﾙ), then the sending window run to
// its end; `during` works the window while it sends.
void planSend(Answers &answers, bool ok = true, const std::function<void(QDialog &)> &during = {})
{
    answers.nextDialog([ok](QDialog &d) { child<QPushButton>(&d, ok ? "cmdOk" : "cmdCancel")->click(); });
    if (ok) {
        answers.nextDialog([during](QDialog &window) {
            if (during)
                during(window);
            QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000));
        });
    }
}

QString sentAt(TestApp &app, int newsId)
{
    return app.scalar(u"select 送信日時 from T_お知らせ where NewsID = ?"_s, {newsId}).toString();
}

} // namespace

class TestSendSequence : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listsRecipientsByGroupThenName();
    void stopsBeforeTheOptions_data();
    void stopsBeforeTheOptions();
    void sendsAfterTheOptionsAndTheQuestion();
    void stopsTheRunOnCancelOrFailure();
    void mainWindowSendsTheActiveNotice();
};

void TestSendSequence::listsRecipientsByGroupThenName()
{
    TestApp app;
    app.addGroup(2, u"二班"_s);
    app.addGroup(5, u"五班"_s);
    app.addGroup(9, u"九班"_s);
    app.addGroup(4, u"四班（宛先外）"_s);
    app.addMembers({"山田", "伊藤", "佐藤"});
    app.link(memberGroups(), 1, {9, 2}); // 山田 is in two destination groups
    app.link(memberGroups(), 2, 9);
    app.link(memberGroups(), 3, 4);
    app.link(memberGroups(), 42, 2); // a member that no longer exists
    app.addNotice(1, u"見出し"_s);
    app.link(noticeDestinations(), 1, {9, 2, 5}); // 5 has no members
    QVERIFY(MakeSendList(nullptr, app.db(), 1));
    QSqlQuery q(app.db());
    QVERIFY(q.exec(u"select GroupID || グループ名称 || ':' || ifnull(MemberID, '-') || ifnull(名前, '') from T_temp_送信リスト"_s));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString();
    QCOMPARE(rows, (QStringList{u"2二班:-"_s, u"2二班:1山田"_s, u"9九班:2伊藤"_s, u"9九班:1山田"_s}));
}

void TestSendSequence::stopsBeforeTheOptions_data()
{
    QTest::addColumn<bool>("destination");
    QTest::addColumn<QString>("message");
    QTest::newRow("no destination") << false << u"お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。"_s;
    QTest::newRow("no member") << true << u"指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。"_s;
}

void TestSendSequence::stopsBeforeTheOptions()
{
    QFETCH(bool, destination);
    QFETCH(QString, message);
    TestApp app;
    addNoticeToGroup(app, u"空の班"_s, {});
    if (!destination)
        app.exec(u"delete from T_お知らせに対する宛先情報"_s);
    app.exec(u"insert into T_temp_送信リスト (名前) values ('前回の行')"_s);
    Answers answers;
    QWidget window;
    window.setWindowTitle(u"Lumivox"_s);
    QCOMPARE(SendNotice(&window, app.context(), 1), QString());
    QCOMPARE(answers.messages.size(), 1);
    QCOMPARE(answers.messages[0].title + answers.messages[0].text, u"Lumivox"_s + message);
    QCOMPARE(answers.dialogsRun, 0);
    QCOMPARE(app.count(u"T_temp_送信リスト"_s), destination ? 0 : 1); // no destination: left as it was
}

void TestSendSequence::sendsAfterTheOptionsAndTheQuestion()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    addNoticeToGroup(app, u"班"_s, {{u"山田"_s, u" y@example.jp\t"_s}, {u"﨑山"_s, u"s@example.jp"_s}}, u"髙橋より"_s, u"晴れ☀️"_s);
    storeSmtp(app, {.port = server.port(), .senderAddress = u" renraku@example.jp\u3000"_s});
    Answers answers;
    planSend(answers, false); // ｷｬﾝｾﾙ in the options: nothing is sent
    QCOMPARE(SendNotice(nullptr, app.context(), 1), QString());
    QCOMPARE(server.recipientsTried(), QStringList());

    // ISO-2022-JP cannot carry 髙, ☀ or 﨑: the user sees which and where;
    // stopping at the question (its default) sends nothing and gives no time.
    planSend(answers);
    QCOMPARE(SendNotice(nullptr, app.context(), 1), QString());
    QCOMPARE(answers.messages.size(), 1);
    const Message question = answers.messages[0];
    QCOMPARE(question.objectName, u"msgUncarriable"_s);
    QCOMPARE(question.text.section(u"\n\n"_s, 1), u"件名: 髙 (U+9AD9)\n本文: ☀ (U+2600), \uFE0F (U+FE0F)\n名前「﨑山」: 﨑 (U+FA11)"_s);
    QCOMPARE(question.custom.value(question.defaultCustom).objectName, u"cmdStop"_s);
    QCOMPARE(server.recipientsTried(), QStringList());

    planSend(answers);
    answers.nextCustom(0); // 〓に置き換えて送信
    const QString time = SendNotice(nullptr, app.context(), 1);
    QVERIFY2(kTimeText.match(time).hasMatch(), qPrintable(time));
    QCOMPARE(sentAt(app, 1), u"(未送信)"_s); // the caller records it
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 2);
    // The options the dialog stored (its defaults) are the ones the run used;
    // the addresses are trimmed once, for the envelope and the header alike.
    QCOMPARE(field(mails[0], "body"), u"班\r\n山田  様\r\n\r\n晴れ〓〓\r\n"_s);
    QCOMPARE(mails[0].value("rcpt_tos"_L1).toArray(), QJsonArray{u"y@example.jp"_s});
    QCOMPARE(field(mails[0], "to_addr"), u"y@example.jp"_s);
    QCOMPARE(field(mails[0], "mail_from"), u"renraku@example.jp"_s);
    QCOMPARE(field(mails[0], "from_addr"), u"renraku@example.jp"_s);
    QCOMPARE(field(mails[1], "to_name"), u"〓山"_s);
    QCOMPARE(field(mails[1], "subject"), u"〓橋より"_s);
}

// ｷｬﾝｾﾙ while the third of ten mails is with the server: it finishes, no other
// follows. Then a refused fifth recipient: four go out and the send error is
// shown. Either way the window closes and the time is recorded.
void TestSendSequence::stopsTheRunOnCancelOrFailure()
{
    SmtpTestServer server;
    QVERIFY(server.start({.refuse = {u"m5@example.jp"_s}, .slowRecipient = u"m3@example.jp"_s, .slowSeconds = 2}));
    TestApp app;
    QList<GroupMember> members;
    for (int i = 1; i <= 10; ++i)
        members.append({u"会員%1"_s.arg(i, 2, 10, QChar(u'0')), u"m%1@example.jp"_s.arg(i)});
    addNoticeToGroup(app, u"全員"_s, members);
    storeSmtp(app, {.port = server.port()});
    Answers answers;
    QStringList seen;
    const auto watch = [&](bool cancel) {
        return [&seen, &server, cancel](QDialog &window) {
            auto *caption = child<QLabel>(&window, "lblMessage");
            if (cancel) {
                QVERIFY(QTest::qWaitFor([&] { return server.slowStarted(); }, 10000));
                child<QPushButton>(&window, "cmdCancel")->click();
                seen << caption->text(); // at once, while the mail finishes
            }
            QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000));
            seen << caption->text() + u' ' + QString::number(child<QProgressBar>(&window, "ProgressBar1")->value())
                        + (window.result() == QDialog::Accepted ? u" OK"_s : u" ｷｬﾝｾﾙ"_s);
        };
    };
    planSend(answers, true, watch(true));
    QVERIFY(kTimeText.match(SendNotice(nullptr, app.context(), 1)).hasMatch());
    QCOMPARE(server.mails().size(), 3);
    QCOMPARE(answers.messages.size(), 0);

    planSend(answers, true, watch(false));
    QVERIFY(kTimeText.match(SendNotice(nullptr, app.context(), 1)).hasMatch());
    QCOMPARE(server.mails().size(), 3 + 4);
    QCOMPARE(seen, (QStringList{u"送信を中止しています…"_s, u"送信中です。しばらくお待ちください。4/10... 40 ｷｬﾝｾﾙ"_s,
                                u"送信中です。しばらくお待ちください。5/10... 50 OK"_s}));
    QCOMPARE(answers.messages.size(), 1);
    const Message &error = answers.messages[0];
    QCOMPARE(error.objectName, u"msgSendError"_s);
    QCOMPARE(error.text, u"送信ｴﾗｰが発生しました，送信を中止します。SMTPサーバーの設定条件等を再度ご確認下さい。"_s);
    QVERIFY2(error.informativeText.contains(u"550 5.1.1 <m5@example.jp>"_s), qPrintable(error.informativeText));
    QVERIFY(error.informativeText.endsWith(u"送信済み: 4 通"_s));
}

// The main window's Send sends its active notice and records the time in the
// list and the table (how it records is the main window's own test).
void TestSendSequence::mainWindowSendsTheActiveNotice()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    addNoticeToGroup(app, u"班"_s, {{u"山田"_s, u"y@example.jp"_s}});
    app.addNotice(2, u"二つ目"_s, u"本文2"_s);
    app.link(noticeDestinations(), 2, 1);
    storeSmtp(app, {.port = server.port()});
    MainWindow window(app.context());
    QVERIFY(showAndWait(&window));
    auto *grid = window.findChild<SpreadGrid *>(u"fpSpread1"_s);
    const int row = grid->text(1, 1).toInt() == 2 ? 1 : 2;
    grid->setActiveCell(2, row);
    Answers answers;
    planSend(answers);
    clickTool(window, "ID_mnuEditSubmit");
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(field(server.mails()[0], "subject"), u"二つ目"_s);
    QVERIFY2(kTimeText.match(sentAt(app, 2)).hasMatch(), qPrintable(sentAt(app, 2)));
    QCOMPARE(grid->text(5, row), sentAt(app, 2));
    QCOMPARE(sentAt(app, 1), u"(未送信)"_s);
}

QTEST_MAIN(TestSendSequence)
#include "test_sendsequence.moc"
