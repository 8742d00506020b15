// The Send command: the recipient list of a notice, the messages that stop a
// send, the check of every address and character before the first mail, the
// confirmation, the sending window and its summary, 「未送信の宛先に送信」 after a
// dropped connection or a killed program, and the time of sending.
#include "app/spreadgrid.h"
#include "db/schemaupgrade.h"
#include "db/sendresults.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sendcommand.h"
#include "reports/reportpreview.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;
using namespace Qt::StringLiterals;

namespace {

const QRegularExpression kTimeText(u"^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}$"_s);

QString sentAt(TestApp &app, int newsId)
{
    return app.scalar(u"select 送信日時 from T_お知らせ where NewsID = ?"_s, {newsId}).toString();
}

// Members 会員01 … 会員10 (m1@example.jp …, some addresses replaced) in group
// 全員, notice 1 "お知らせ" to it, and the settings row for the server's port.
void addTen(TestApp &app, int port, const QMap<int, QString> &addresses = {})
{
    QList<GroupMember> members;
    for (int i = 1; i <= 10; ++i)
        members.append({u"会員%1"_s.arg(i, 2, 10, QChar(u'0')), addresses.value(i, u"m%1@example.jp"_s.arg(i))});
    addNoticeToGroup(app, u"全員"_s, members, u"お知らせ"_s);
    storeSmtp(app, {.port = port});
}

// The texts of some columns of a list, "|"-joined, a line a row.
QStringList rowsOf(QDialog &dialog, const char *list, std::initializer_list<int> columns)
{
    QStringList rows;
    auto *table = child<QTableWidget>(&dialog, list);
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c : columns)
            cells << table->item(r, c)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

// The next dialog answered with one of its buttons.
void click(Answers &answers, const char *button)
{
    answers.nextDialog([button](QDialog &d) { child<QPushButton>(&d, button)->click(); });
}

// The sending window run to its end; then the summary, its counts and listed
// rows ("|state|name|reason") kept, closed or answered with 「未送信の宛先に送信」.
void runAndSummary(Answers &answers, QString *counts, bool resume = false)
{
    answers.nextDialog([](QDialog &window) { QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000)); });
    answers.nextDialog([counts, resume](QDialog &summary) {
        *counts = child<QLabel>(&summary, "lblCounts")->text();
        for (const QString &row : rowsOf(summary, "grdResults", {0, 2, 4}))
            *counts += u'|' + row;
        child<QPushButton>(&summary, resume ? "cmdResume" : "cmdClose")->click();
    });
}

// Every address the server accepted a mail for, in order.
QStringList delivered(const SmtpTestServer &server)
{
    QStringList addresses;
    for (const QJsonObject &mail : server.mails())
        addresses << mail.value("rcpt_tos"_L1).toArray().first().toString();
    return addresses;
}

QStringList tenFrom(int first)
{
    QStringList addresses;
    for (int i = first; i <= 10; ++i)
        addresses << u"m%1@example.jp"_s.arg(i);
    return addresses;
}

} // namespace

class TestSendSequence : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listsRecipientsByGroupThenName();
    void stopsBeforeTheOptions_data();
    void stopsBeforeTheOptions();
    void checksEveryAddressAndGoesOnPastARefusal();
    void replacesCharactersOnlyAfterTheCheck();
    void resumesAfterTheConnectionDrops();
    void noServerLeavesTheNoticeUnsent();
    void aKilledRunResumesWithoutDuplicates();
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
    QVERIFY(makeSendList(app.db(), 1));
    QCOMPARE(queryRows(app.db(), u"select GroupID || グループ名称 || ':' || ifnull(MemberID, '-') || ifnull(名前, '') from T_temp_送信リスト"_s),
             (QStringList{u"2二班:-"_s, u"2二班:1山田"_s, u"9九班:2伊藤"_s, u"9九班:1山田"_s}));
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
    const SendOutcome outcome = sendNotice(nullptr, app.context(), 1);
    QCOMPARE(outcome.sentAt, QString());
    QVERIFY(outcome.result.refused); // told by the caller, as it stands
    QCOMPARE(outcome.result.error, message);
    QCOMPARE(answers.messages.size() + answers.dialogsRun, 0);
    QCOMPARE(app.count(u"T_temp_送信リスト"_s), destination ? 0 : 1); // no destination: left as it was
}

// ayainoue@@example and a member deleted since are found before the first
// mail; stopping there sends nothing, going on leaves them out. The server
// refuses m6: the run goes on, and the summary names it with the reason.
void TestSendSequence::checksEveryAddressAndGoesOnPastARefusal()
{
    SmtpTestServer server;
    QVERIFY(server.start({.refuse = {u"m6@example.jp"_s}}));
    TestApp app;
    addTen(app, server.port(), {{4, u"ayainoue@@example"_s}});
    app.link(memberGroups(), 42, 1);
    Answers answers;
    QStringList problems;
    click(answers, "cmdOk");
    answers.nextDialog([&](QDialog &check) {
        problems = rowsOf(check, "grdProblems", {1, 2, 3});
        child<QPushButton>(&check, "cmdStop")->click();
    });
    QVERIFY(!sendNotice(nullptr, app.context(), 1).ran);
    problems.sort();
    QCOMPARE(problems, (QStringList{u"||メンバーが登録されていません（削除されたメンバー）"_s,
                                    u"会員04|ayainoue@@example|E-Mail が正しくありません：@が二つ以上あります"_s}));
    QCOMPARE(server.recipientsTried(), QStringList());
    QCOMPARE(app.count(u"T_送信記録"_s), 0);

    QString counts;
    click(answers, "cmdOk");
    click(answers, "cmdSendOthers");
    runAndSummary(answers, &counts);
    QVERIFY(sendNotice(nullptr, app.context(), 1).ran);
    const Message confirm = answers.messages.last();
    QCOMPARE(confirm.text, u"「お知らせ」を 9 人に 9 通送信します。"_s);
    QCOMPARE(confirm.informativeText, u"SMTPサーバー：127.0.0.1（ポート %1）\n送信元：連絡係 ｽｽﾞｷ<renraku@example.jp>"_s.arg(server.port()));
    QCOMPARE(confirm.custom.value(confirm.defaultCustom).objectName, u"cmdSend"_s);
    QStringList expected = tenFrom(1);
    expected.removeAll(u"m4@example.jp"_s);
    expected.removeAll(u"m6@example.jp"_s);
    QCOMPARE(delivered(server), expected);
    QVERIFY2(counts.contains(u"送信済　8 通\n拒否　　1 通\n未送信　2 通"_s), qPrintable(counts));
    QVERIFY2(counts.contains(u"|拒否|会員06|550 5.1.1 <m6@example.jp>: Recipient address rejected: User unknown"_s), qPrintable(counts));
    QVERIFY2(counts.contains(u"|未送信|会員04|E-Mail が正しくありません"_s), qPrintable(counts));
    const SendResultStore store(app.db());
    QCOMPARE(store.noticeState(1).text(), u"一部送信 8/11"_s);
    QCOMPARE(sentAt(app, 1), store.runs(1).value(0).started);
}

// ISO-2022-JP cannot carry 髙, ☀ or 﨑: the check lists them where they stand;
// going on sends them as 〓. (Addresses typed with blanks around are trimmed.)
void TestSendSequence::replacesCharactersOnlyAfterTheCheck()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    addNoticeToGroup(app, u"班"_s, {{u"山田"_s, u" y@example.jp\t"_s}, {u"﨑山"_s, u"s@example.jp"_s}}, u"髙橋より"_s, u"晴れ☀️"_s);
    storeSmtp(app, {.port = server.port(), .senderAddress = u" renraku@example.jp\u3000"_s});
    Answers answers;
    QStringList problems;
    QString counts;
    click(answers, "cmdOk");
    answers.nextDialog([&](QDialog &check) {
        problems = rowsOf(check, "grdProblems", {1, 3});
        QCOMPARE(child<QPushButton>(&check, "cmdSendOthers")->text(), u"このまま送信(&S)"_s);
        child<QPushButton>(&check, "cmdSendOthers")->click();
    });
    runAndSummary(answers, &counts);
    QVERIFY(sendNotice(nullptr, app.context(), 1).ran);
    QCOMPARE(problems, (QStringList{u"|件名: 髙 (U+9AD9)（「〓」に置き換えて送信されます）"_s,
                                    u"|本文: ☀ (U+2600), \uFE0F (U+FE0F)（「〓」に置き換えて送信されます）"_s,
                                    u"﨑山|名前「﨑山」: 﨑 (U+FA11)（「〓」に置き換えて送信されます）"_s}));
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 2);
    // The options the dialog stored (its defaults) are the ones the run used.
    QCOMPARE(field(mails[0], "body"), u"班\r\n山田  様\r\n\r\n晴れ〓〓\r\n"_s);
    QCOMPARE(field(mails[0], "to_addr"), u"y@example.jp"_s);
    QCOMPARE(field(mails[0], "mail_from"), u"renraku@example.jp"_s);
    QCOMPARE(field(mails[1], "to_name"), u"〓山"_s);
    QCOMPARE(field(mails[1], "subject"), u"〓橋より"_s);
}

// The connection drops when the fifth mail's data is in: the run stops, the
// fifth is 不明. 「未送信の宛先に送信」 from the summary asks about it and sends
// exactly 5 to 10; a full resend then needs the user's word.
void TestSendSequence::resumesAfterTheConnectionDrops()
{
    SmtpTestServer server;
    QVERIFY(server.start({.dropAt = 5}));
    TestApp app;
    addTen(app, server.port());
    Answers answers;
    QString first, second;
    click(answers, "cmdOk");
    runAndSummary(answers, &first, true);
    runAndSummary(answers, &second);
    QVERIFY(sendNotice(nullptr, app.context(), 1).ran);
    QVERIFY2(first.contains(u"送信済　4 通\n拒否　　0 通\n未送信　5 通\n不明　　1 通"_s), qPrintable(first));
    QVERIFY2(first.contains(u"通信が途中で切れました"_s), qPrintable(first));
    QVERIFY2(second.contains(u"送信済　6 通"_s), qPrintable(second));
    QCOMPARE(answers.messages.size(), 3); // confirmation, the question about 不明, confirmation
    QVERIFY(answers.messages[1].text.contains(u"会員05 <m5@example.jp>"_s));
    QCOMPARE(answers.messages[2].text, u"「お知らせ」を 6 人に 6 通送信します。"_s);
    QCOMPARE(delivered(server), tenFrom(1));
    QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), u"送信済"_s);

    QVERIFY(!sendNotice(nullptr, app.context(), 1).ran);
    QCOMPARE(answers.messages.last().objectName, u"msgAlreadySent"_s);
    QCOMPARE(answers.messages.last().text, u"「お知らせ」は，宛先 10 通のうち 10 通を既に送信済みです。"_s);
    QCOMPARE(server.mails().size(), 10); // ｷｬﾝｾﾙ, the default here
}

// Nobody listens: nothing goes, the notice keeps its 送信日時 and stays 未送信.
void TestSendSequence::noServerLeavesTheNoticeUnsent()
{
    TestApp app;
    addTen(app, closedPort());
    Answers answers;
    QString counts;
    click(answers, "cmdOk");
    runAndSummary(answers, &counts);
    QVERIFY(sendNotice(nullptr, app.context(), 1).ran);
    QVERIFY2(counts.contains(u"送信済　0 通\n拒否　　0 通\n未送信　10 通"_s), qPrintable(counts));
    QVERIFY2(counts.contains(u"接続できません"_s), qPrintable(counts));
    QCOMPARE(sentAt(app, 1), u"(未送信)"_s);
    QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), u"未送信"_s);
}

// A run in another process is killed (SIGKILL) while the fourth mail waits for
// the server's answer: the three before it are recorded as sent, the fourth
// as 不明. The resume sends it again on the user's word, and the rest: every
// member gets the notice, only the fourth possibly twice.
void TestSendSequence::aKilledRunResumesWithoutDuplicates()
{
    SmtpTestServer server;
    QVERIFY(server.start({.slowRecipient = u"m4@example.jp"_s, .slowSeconds = 2}));
    TestApp app;
    addTen(app, server.port());
    QVERIFY(upgradeDatabase(app.db(), app.context().databasePath()).ok()); // as at start-up
    QProcess child;
    child.start(QStringLiteral(LUMIVOX_SENDRUN_CHILD), {app.context().databasePath()});
    QVERIFY(QTest::qWaitFor([&] { return server.slowStarted(); }, 20000));
    child.kill();
    QVERIFY(child.waitForFinished());
    const SendResultStore store(app.db());
    QStringList states;
    for (const ResultRow &row : store.results(store.runs(1).value(0).id))
        states << stateText(row.state);
    QCOMPARE(states.join(u' '), u"送信済 送信済 送信済 不明 未送信 未送信 未送信 未送信 未送信 未送信"_s);

    Answers answers;
    QString counts;
    runAndSummary(answers, &counts);
    QVERIFY(sendNotice(nullptr, app.context(), 1, SendScope::NotReached).ran);
    QVERIFY(answers.messages.value(0).text.contains(u"会員04 <m4@example.jp>"_s));
    QStringList got = delivered(server);
    if (got.count(u"m4@example.jp"_s) == 2)
        got.removeOne(u"m4@example.jp"_s);
    got.sort();
    QStringList all = tenFrom(1);
    all.sort();
    QCOMPARE(got, all);
}

// The main window's Send sends its active notice: the list shows the time and
// the state. 送信履歴 lists the run and its rows, and prints them.
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
    QString counts;
    click(answers, "cmdOk");
    runAndSummary(answers, &counts);
    clickTool(window, "ID_mnuEditSubmit");
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(field(server.mails()[0], "subject"), u"二つ目"_s);
    QVERIFY2(kTimeText.match(sentAt(app, 2)).hasMatch(), qPrintable(sentAt(app, 2)));
    QCOMPARE(grid->text(5, row), sentAt(app, 2));
    QCOMPARE(grid->text(6, row) + grid->text(6, 3 - row), u"送信済未送信"_s);
    QCOMPARE(sentAt(app, 1), u"(未送信)"_s);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"history.pdf"_s);
    answers.nextDialog([&](QDialog &history) {
        QCOMPARE(child<QTableWidget>(&history, "grdRuns")->rowCount(), 1);
        QCOMPARE(child<QTableWidget>(&history, "grdResults")->item(0, 4)->text(), u"送信済"_s);
        answers.nextDialog([&](QDialog &preview) { QVERIFY(qobject_cast<ReportPreview *>(&preview)->savePdf(pdf)); });
        child<QPushButton>(&history, "cmdPrint")->click();
    });
    clickTool(window, "ID_mnuEditHistory");
    QProcess text;
    text.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
    QVERIFY(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(printed.contains(u"送信履歴「二つ目」"_s) && printed.contains(u"第1回"_s) && printed.contains(u"山田"_s),
             qPrintable(printed));
}

QTEST_MAIN(TestSendSequence)
#include "test_sendsequence.moc"
