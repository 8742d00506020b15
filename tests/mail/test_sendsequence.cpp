// The Send command: the recipient list of a notice, the two messages that stop a
// send, the send-options dialog that may cancel it, the sending window, and the
// time of sending written to the notice and its list row however the run ended.
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendingwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sendcommand.h"
#include "notices/resultmessage.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"
#include "support/testapp.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

using namespace lumivox;
using namespace lumivox::test;

namespace {

const QString kNoDestination = QStringLiteral("お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。");
const QString kNoMember = QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。");
const QRegularExpression kTimeText(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
const GroupMember kYamada{QStringLiteral("山田"), QStringLiteral("y@example.jp")};

// What the modal windows of one command showed, answered as the user would.
struct Modals {
    QStringList messages;
    QStringList titles;
    int submitDialogs = 0;
    int sendWindows = 0;
};

// Counts the sending windows shown: they may close again before a poll sees them.
class ShowCounter : public QObject
{
public:
    int sendWindows = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<SendingWindow *>(watched))
            ++sendWindows;
        return false;
    }
};

// Message boxes get their default button (the question about characters that
// cannot be carried: stop); the send options OK or ｷｬﾝｾﾙ; the sending window,
// when `cancelSending`, its ｷｬﾝｾﾙ as soon as it shows.
Modals runAnswering(const std::function<void()> &command, bool submitOk = true, bool cancelSending = false)
{
    Modals seen;
    ShowCounter shows;
    qApp->installEventFilter(&shows);
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("seen").toBool())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->setProperty("seen", true);
            seen.messages << box->text();
            seen.titles << box->windowTitle();
            test::acceptMessage(box);
        } else if (auto *options = qobject_cast<SendOptionsDialog *>(modal)) {
            options->setProperty("seen", true);
            ++seen.submitDialogs;
            options->findChild<QPushButton *>(submitOk ? QStringLiteral("cmdOk") : QStringLiteral("cmdCancel"))
                ->click();
        } else if (auto *sending = qobject_cast<SendingWindow *>(modal); sending && cancelSending) {
            sending->setProperty("seen", true);
            sending->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        }
    });
    poll.start();
    command();
    poll.stop();
    qApp->removeEventFilter(&shows);
    seen.sendWindows = shows.sendWindows;
    return seen;
}

// Notice 1 sent from a plain window captioned "Lumivox", which tells the user
// what the command returned as the main window does; these runs give no time.
Modals sendFromPlainWindow(TestApp &app, bool submitOk = true)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Lumivox"));
    return runAnswering([&] {
        const SendOutcome outcome = sendNotice(&window, app.context(), 1);
        QCOMPARE(outcome.sentAt, QString());
        tellUser(&window, QStringLiteral("送信リスト"), outcome.result);
    }, submitOk);
}

// A Send tool of the main window clicked, the modals answered.
Modals clickSend(MainWindow &window, const char *id = "ID_EditSubmit")
{
    return runAnswering([&] { clickTool(window, id); });
}

struct Row {
    int groupId;
    QString groupName;
    QVariant memberId;
    QString name;
};

QList<Row> sendList(test::TestApp &app)
{
    QList<Row> rows;
    QSqlQuery q(app.db());
    q.exec(QStringLiteral("select GroupID, グループ名称, MemberID, 名前 from T_temp_送信リスト order by rowid"));
    while (q.next())
        rows.append({q.value(0).toInt(), q.value(1).toString(), q.value(2), q.value(3).toString()});
    return rows;
}

QString sentAt(test::TestApp &app, int newsId)
{
    return app.scalar(QStringLiteral("select 送信日時 from T_お知らせ where NewsID = ?"), {newsId}).toString();
}

} // namespace

class TestSendSequence : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listsRecipientsByGroupThenName();
    void noDestinationLeavesListAlone();
    void stopsWhenGroupsHaveNoMembers();
    void cancelledOptionsSendNothing();
    void sendsAndRecordsTheTime();
    void recordsTheTimeAfterAFailedRun();
    void stopAtUncarriableRecordsNoTime();
    void reportsAFailedTimeWriteOnce();
    void reportsAnUnreadableSendList();
    void mainWindowSendsTheActiveNotice();
};

void TestSendSequence::listsRecipientsByGroupThenName()
{
    test::TestApp app;
    app.addGroup(2, QStringLiteral("二班"));
    app.addGroup(5, QStringLiteral("五班"));
    app.addGroup(9, QStringLiteral("九班"));
    app.addGroup(4, QStringLiteral("四班（宛先外）"));
    app.addMembers({"山田", "伊藤", "佐藤"});
    app.link(memberGroups(), 1, 9);
    app.link(memberGroups(), 2, 9);
    app.link(memberGroups(), 1, 2); // 山田 is in two destination groups
    app.link(memberGroups(), 3, 4);
    app.link(memberGroups(), 42, 2); // a member that no longer exists
    app.addNotice(1, QStringLiteral("見出し"));
    app.link(noticeDestinations(), 1, {9, 2});
    app.link(noticeDestinations(), 1, 5); // a group without members
    QVERIFY(makeSendList(app.db(), 1));
    const QList<Row> rows = sendList(app);
    QCOMPARE(rows.size(), 4);
    // Group 2: the missing member (Null 名前 sorts first), then 山田.
    QCOMPARE(rows[0].groupId, 2);
    QVERIFY(rows[0].memberId.isNull());
    QCOMPARE(rows[0].name, QString());
    QCOMPARE(rows[1].groupId, 2);
    QCOMPARE(rows[1].name, QStringLiteral("山田"));
    QCOMPARE(rows[1].groupName, QStringLiteral("二班"));
    // Group 9: 伊藤 before 山田.
    QCOMPARE(rows[2].groupId, 9);
    QCOMPARE(rows[2].name, QStringLiteral("伊藤"));
    QCOMPARE(rows[3].name, QStringLiteral("山田"));
    QCOMPARE(rows[3].groupName, QStringLiteral("九班"));
}

void TestSendSequence::noDestinationLeavesListAlone()
{
    test::TestApp app;
    app.addNotice(1, QStringLiteral("宛先なし"));
    app.exec(QStringLiteral("insert into T_temp_送信リスト (名前) values ('前回の行')"));
    const Modals seen = sendFromPlainWindow(app);
    QCOMPARE(seen.messages, QStringList{kNoDestination});
    QCOMPARE(seen.titles, QStringList{QStringLiteral("Lumivox")});
    QCOMPARE(seen.submitDialogs, 0);
    QCOMPARE(seen.sendWindows, 0);
    QCOMPARE(sendList(app).size(), 1);
    QCOMPARE(sendList(app).first().name, QStringLiteral("前回の行"));
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
}

void TestSendSequence::stopsWhenGroupsHaveNoMembers()
{
    test::TestApp app;
    app.addGroup(1, QStringLiteral("空の班"));
    app.addNotice(1, QStringLiteral("見出し"));
    app.link(noticeDestinations(), 1, 1);
    const Modals seen = sendFromPlainWindow(app);
    QCOMPARE(seen.messages, QStringList{kNoMember});
    QCOMPARE(seen.submitDialogs, 0);
    QCOMPARE(seen.sendWindows, 0);
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
}

void TestSendSequence::cancelledOptionsSendNothing()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada});
    storeSmtp(app, {.port = server.port()});
    const Modals seen = sendFromPlainWindow(app, false);
    QCOMPARE(seen.submitDialogs, 1);
    QCOMPARE(seen.sendWindows, 0);
    QCOMPARE(seen.messages, QStringList());
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
    QCOMPARE(server.recipientsTried(), QStringList());
}

void TestSendSequence::sendsAndRecordsTheTime()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada, {QStringLiteral("佐藤"), QStringLiteral("s@example.jp")}});
    storeSmtp(app, {.port = server.port()});
    QWidget window;
    QString time;
    const Modals seen = runAnswering([&] { time = sendNotice(&window, app.context(), 1).sentAt; });
    QCOMPARE(seen.submitDialogs, 1);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(seen.messages, QStringList());
    QVERIFY2(kTimeText.match(time).hasMatch(), qPrintable(time));
    // The time is the caller's to record (the main window, through its list).
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
    QCOMPARE(server.mails().size(), 2);
    // The options the dialog stored were the ones the run used.
    QCOMPARE(server.mails()[0].value(QStringLiteral("body")).toString(),
             QStringLiteral("班\r\n佐藤  様\r\n\r\n本文\r\n"));
}

void TestSendSequence::recordsTheTimeAfterAFailedRun()
{
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada});
    storeSmtp(app, {.port = test::closedPort()});
    MainWindow window(app.context());
    QVERIFY(test::showAndWait(&window));
    auto *grid = window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
    const Modals seen = clickSend(window);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(seen.messages.size(), 1); // the send error, and nothing else
    const QString shown = grid->text(5, 1);
    QVERIFY2(kTimeText.match(shown).hasMatch(), qPrintable(shown));
    QCOMPARE(sentAt(app, 1), shown);
}

void TestSendSequence::stopAtUncarriableRecordsNoTime()
{
    // Stopping at the question about characters ISO-2022-JP cannot carry sends
    // nothing, like ｷｬﾝｾﾙ in the send options: no time is recorded.
    SmtpTestServer server;
    QVERIFY(server.start({.slowRecipient = QStringLiteral("z@example.jp"), .slowSeconds = 1}));
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada, {QStringLiteral("佐藤"), QStringLiteral("z@example.jp")}},
                     QStringLiteral("髙橋さんより"));
    storeSmtp(app, {.port = server.port()});
    QWidget bare;
    Modals seen = runAnswering([&] { QCOMPARE(sendNotice(&bare, app.context(), 1).sentAt, QString()); });
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(seen.messages.size(), 1);
    QVERIFY2(seen.messages.first().contains(QStringLiteral("髙 (U+9AD9)")), qPrintable(seen.messages.first()));
    QCOMPARE(server.recipientsTried(), QStringList());

    MainWindow window(app.context());
    QVERIFY(test::showAndWait(&window));
    auto *grid = window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
    seen = clickSend(window);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(grid->text(5, 1), QStringLiteral("(未送信)"));
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
    QCOMPARE(server.recipientsTried(), QStringList());

    // A ｷｬﾝｾﾙ during the run still records the time. (佐藤 comes first by name;
    // the server keeps that mail a second, so 山田's is never tried.)
    QVERIFY(app.exec(QStringLiteral("update T_お知らせ set 見出し = '高橋さんより' where NewsID = 1")));
    QString time;
    seen = runAnswering([&] { time = sendNotice(&bare, app.context(), 1).sentAt; }, true, true);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(seen.messages, QStringList());
    QVERIFY2(kTimeText.match(time).hasMatch(), qPrintable(time));
    QVERIFY(!server.recipientsTried().contains(QStringLiteral("y@example.jp")));
}

void TestSendSequence::reportsAFailedTimeWriteOnce()
{
    // The time is written once, through the main window's list: a refused
    // write is reported once, and the list keeps showing what the table holds.
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada});
    storeSmtp(app, {.port = server.port()});
    QVERIFY(app.exec(QStringLiteral("create trigger 書けない before update of 送信日時 on T_お知らせ "
                                    "begin select raise(abort, 'disk full'); end")));
    MainWindow window(app.context());
    QVERIFY(test::showAndWait(&window));
    const Modals seen = clickSend(window);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(seen.messages.size(), 1);
    QVERIFY2(seen.messages.first().contains(QStringLiteral("disk full")), qPrintable(seen.messages.first()));
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
    QCOMPARE(window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"))->text(5, 1), QStringLiteral("(未送信)"));
}

void TestSendSequence::reportsAnUnreadableSendList()
{
    // The list is filled, but reading it back fails: that is a failure to
    // report, not "no member". (The stand-in list accepts the refill and then
    // fails every read, through abs() of the smallest integer.)
    test::TestApp app;
    addNoticeToGroup(app, QStringLiteral("班"), {kYamada});
    QVERIFY(app.exec(QStringLiteral("drop table T_temp_送信リスト")));
    QVERIFY(app.exec(QStringLiteral("create table 読めなくする (v integer)")));
    QVERIFY(app.exec(QStringLiteral("insert into 読めなくする values (0)")));
    QVERIFY(app.exec(QStringLiteral(
        "create view T_temp_送信リスト as select 1 as GroupID, '' as グループ名称, 1 as MemberID, "
        "'' as 名前, '' as 敬称, '' as \"E-Mail\" where abs((select v from 読めなくする)) >= 0")));
    QVERIFY(app.exec(QStringLiteral("create trigger 消さない instead of delete on T_temp_送信リスト "
                                    "begin select 1; end")));
    QVERIFY(app.exec(QStringLiteral("create trigger 壊す instead of insert on T_temp_送信リスト "
                                    "begin update 読めなくする set v = -9223372036854775807 - 1; end")));
    const Modals seen = sendFromPlainWindow(app);
    QCOMPARE(seen.messages.size(), 1);
    QVERIFY2(seen.messages.first().startsWith(QStringLiteral("送信リストを読み込めませんでした。送信を中止します。")),
             qPrintable(seen.messages.first()));
    QCOMPARE(seen.submitDialogs, 0);
    QCOMPARE(seen.sendWindows, 0);
}

void TestSendSequence::mainWindowSendsTheActiveNotice()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    test::TestApp app;
    app.addGroup(1, QStringLiteral("班"));
    app.addMember(1, QStringLiteral("山田"), {}, QStringLiteral("様"), QStringLiteral("y@example.jp"));
    app.link(memberGroups(), 1, 1);
    app.addNotice(1, QStringLiteral("一つ目"), QStringLiteral("本文1"));
    app.addNotice(2, QStringLiteral("二つ目"), QStringLiteral("本文2"));
    app.link(noticeDestinations(), 2, 1);
    storeSmtp(app, {.port = server.port()});

    MainWindow window(app.context());
    QVERIFY(test::showAndWait(&window));
    auto *grid = window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
    QVERIFY(grid);
    const int row = grid->text(1, 1).toInt() == 2 ? 1 : 2;
    grid->setActiveCell(2, row);
    QCOMPARE(window.activeNewsId(), 2);

    const Modals seen = clickSend(window);
    QCOMPARE(seen.sendWindows, 1);
    QCOMPARE(seen.messages, QStringList());
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(server.mails()[0].value(QStringLiteral("subject")).toString(), QStringLiteral("二つ目"));
    // The list shows the new time at once, and the table holds it.
    const QString shown = grid->text(5, row);
    QVERIFY2(kTimeText.match(shown).hasMatch(), qPrintable(shown));
    QCOMPARE(sentAt(app, 2), shown);
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));

    // The menu entry does the same; a notice without destinations stops with the
    // message titled with the main window's caption.
    grid->setActiveCell(2, row == 1 ? 2 : 1);
    const Modals none = clickSend(window, "ID_mnuEditSubmit");
    QCOMPARE(none.messages, QStringList{kNoDestination});
    QCOMPARE(none.titles, QStringList{window.windowTitle()});
    QCOMPARE(sentAt(app, 1), QStringLiteral("(未送信)"));
}

QTEST_MAIN(TestSendSequence)
#include "test_sendsequence.moc"
