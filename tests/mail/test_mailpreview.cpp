// The preview and the test send, the character set and pace of the send
// options: what the preview shows is what the server receives, a test send
// goes to the sender alone and is not recorded, the options are stored (and
// reach an upgraded database), the pace spaces the mails and ｷｬﾝｾﾙ ends its
// wait at once, and the daily limit sends only the part it allows.
#include "db/schemaupgrade.h"
#include "db/sendresults.h"
#include "mail/previewdialog.h"
#include "mail/sendingwindow.h"
#include "mail/sendoptionsdialog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sendcommand.h"
#include "notices/sendlist.h"
#include "mailfixture.h"
#include "smtptestserver.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;
using namespace Qt::StringLiterals;

namespace {

// Notice 1 "お知らせ" (a long line to fold) to 会員1, 髙橋, 𠮷田 …, the server's
// settings, and the send options row.
void prepare(TestApp &app, int port, int charset, int members = 3, int perMinute = 0, int perDay = 0)
{
    QList<GroupMember> list{{u"会員1"_s, u"m1@example.jp"_s}, {u"髙橋 ﾊﾅｺ"_s, u"m2@example.jp"_s},
                            {u"𠮷田①😀"_s, u"m3@example.jp"_s}};
    for (int i = 4; i <= members; ++i)
        list.append({u"会員%1"_s.arg(i), u"m%1@example.jp"_s.arg(i)});
    addNoticeToGroup(app, u"三年一組"_s, list.mid(0, members), u"運動会のお知らせ"_s,
                     u"詳しくは https://example.jp/pta/undoukai/junbi.html?id=12345 をご覧ください。\r\n以上。"_s);
    storeSmtp(app, {.port = port});
    app.exec(u"insert into T_送信設定 values (1, 1, 1, 40, ?, ?, ?)"_s, {charset, perMinute, perDay});
}

// A mail with its Date and Message-ID (which differ from mail to mail) blanked.
QByteArray withoutDateAndId(QByteArray mail)
{
    static const QRegularExpression varying(u"(?m)^(Date|Message-ID): [^\r]*"_s);
    return QString::fromLatin1(mail).replace(varying, u"\\1: -"_s).toLatin1();
}

QByteArray rawOf(const QJsonObject &mail) { return QByteArray::fromBase64(field(mail, "raw").toLatin1()); }

} // namespace

class TestMailPreview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void previewIsWhatArrives_data();
    void previewIsWhatArrives();
    void testSendGoesToTheSenderAlone();
    void optionsAreStoredAndUpgraded_data();
    void optionsAreStoredAndUpgraded();
    void paceSpacesTheMails();
    void cancelEndsThePaceAtOnce();
    void dailyLimitSendsTheFirstPart_data();
    void dailyLimitSendsTheFirstPart();
};

void TestMailPreview::previewIsWhatArrives_data()
{
    QTest::addColumn<int>("charset");
    QTest::addColumn<QString>("shown"); // the charset of the mails to 会員1, 髙橋, 𠮷田
    QTest::newRow("ISO-2022-JP") << 0 << u"ISO-2022-JP ISO-2022-JP ISO-2022-JP"_s;
    QTest::newRow("UTF-8") << 1 << u"UTF-8 UTF-8 UTF-8"_s;
    QTest::newRow("自動") << 2 << u"ISO-2022-JP UTF-8 UTF-8"_s;
}

// The run's mail to each recipient equals the preview's byte for byte (but for
// Date and Message-ID), and the dialog shows it as Python's email package reads it.
void TestMailPreview::previewIsWhatArrives()
{
    QFETCH(int, charset);
    QFETCH(QString, shown);
    SmtpTestServer server;
    QVERIFY(server.start({.eightBitMime = false}));
    TestApp app;
    prepare(app, server.port(), charset);
    QVERIFY(makeSendList(app.db(), 1));
    const SendPlan plan = readSendPlan(app.db(), 1);
    SmtpTransport transport(plan.smtp);
    QCOMPARE(runMailing(plan, transport, {}).sent, 3);
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 3);
    PreviewDialog preview(app.context(), plan);
    QStringList charsets;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(withoutDateAndId(mailFor(plan, composerFor(plan), i)), withoutDateAndId(rawOf(mails[i])));
        QCOMPARE(problemsOf(mails[i]), QJsonArray());
        child<QComboBox>(&preview, "cboRecipient")->setCurrentIndex(i);
        QCOMPARE(child<QLineEdit>(&preview, "txtFrom")->text(),
                 field(mails[i], "from_name") + u" <"_s + field(mails[i], "from_addr") + u'>');
        QCOMPARE(child<QLineEdit>(&preview, "txtTo")->text(),
                 field(mails[i], "to_name") + u" <"_s + field(mails[i], "to_addr") + u'>');
        QCOMPARE(child<QLineEdit>(&preview, "txtSubject")->text(), field(mails[i], "subject"));
        QCOMPARE(child<QPlainTextEdit>(&preview, "txtBody")->toPlainText(),
                 field(mails[i], "body").replace(u"\r\n"_s, u"\n"_s));
        charsets << child<QLineEdit>(&preview, "txtCharset")->text();
    }
    QCOMPARE(charsets.join(u' '), shown);
    const QString url = u"https://example.jp/pta/undoukai/junbi.html?id=12345"_s; // whole, on a line of its own
    QCOMPARE(field(mails[0], "body").split(u"\r\n"_s).filter(url).value(0).trimmed(), url);
    for (const QJsonObject &mail : mails) {
        if (charset != 0 && field(mail, "to_addr") == u"m3@example.jp"_s)
            QCOMPARE(field(mail, "to_name"), u"𠮷田①😀"_s);
    }
}

// From the notice menu: テスト送信 sends the chosen recipient's mail to the
// sender's address only; nothing is recorded as a send of the notice.
void TestMailPreview::testSendGoesToTheSenderAlone()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    prepare(app, server.port(), 1);
    MainWindow window(app.context());
    QVERIFY(showAndWait(&window));
    Answers answers;
    answers.nextDialog([](QDialog &preview) {
        QCOMPARE(preview.objectName(), u"frmPreview"_s);
        auto *recipients = child<QComboBox>(&preview, "cboRecipient");
        recipients->setCurrentIndex(recipients->findText(u"髙橋"_s, Qt::MatchContains));
        child<QPushButton>(&preview, "cmdTestSend")->click();
        preview.reject();
    });
    clickTool(window, "ID_mnuEditPreview");
    QCOMPARE(answers.lastText(), u"テスト送信しました。送信元のアドレス（renraku@example.jp）に届いたメールをご確認ください。"_s);
    QCOMPARE(server.recipientsTried(), QStringList{u"renraku@example.jp"_s});
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(field(server.mails()[0], "to_name"), u"髙橋 ﾊﾅｺ"_s); // the mail as 髙橋 gets it
    QCOMPARE(app.count(u"T_送信記録"_s) + app.count(u"T_送信結果"_s), 0);
    QCOMPARE(app.scalar(u"select 送信日時 from T_お知らせ"_s).toString(), u"(未送信)"_s);
}

void TestMailPreview::optionsAreStoredAndUpgraded_data()
{
    QTest::addColumn<int>("charset");
    QTest::newRow("ISO-2022-JP") << 0;
    QTest::newRow("UTF-8") << 1;
    QTest::newRow("自動") << 2;
}

// The dialog stores what is chosen and shows it again. A version-1 database
// (its T_送信設定 without the new columns) gains them: its row reads as
// ISO-2022-JP without limits, then stores the choice.
void TestMailPreview::optionsAreStoredAndUpgraded()
{
    QFETCH(int, charset);
    TestApp app;
    for (const char *column : {"文字コード", "毎分上限", "一日上限"})
        app.exec(u"alter table T_送信設定 drop column "_s + QString::fromUtf8(column));
    app.exec(u"pragma user_version = 1"_s);
    app.exec(u"insert into T_送信設定 values (0, 1, 1, 72)"_s);
    const SchemaUpgrade upgrade = upgradeDatabase(app.db(), app.context().databasePath());
    QVERIFY(upgrade.result == SchemaUpgrade::Upgraded && upgrade.fromVersion == 1);
    const SendOptions old = readSendOptions(app.db(), {});
    QVERIFY(!old.addGroup && old.width == 72 && old.charset == MailCharset::Iso2022jp && !old.perMinute && !old.perDay);
    {
        SendOptionsDialog dialog(app.context());
        QVERIFY(showAndWait(&dialog));
        auto *charsets = child<QComboBox>(&dialog, "cboCharset");
        QCOMPARE(charsets->itemText(charset), (QStringList{u"ISO-2022-JP"_s, u"UTF-8"_s, u"自動"_s}[charset]));
        charsets->setCurrentIndex(charset);
        child<QSpinBox>(&dialog, "numPerMinute")->setValue(30);
        child<QSpinBox>(&dialog, "numPerDay")->setValue(200);
        child<QPushButton>(&dialog, "cmdOk")->click();
    }
    SendOptionsDialog again(app.context());
    QVERIFY(showAndWait(&again));
    QCOMPARE(child<QComboBox>(&again, "cboCharset")->currentIndex(), charset);
    QCOMPARE(child<QSpinBox>(&again, "numPerMinute")->value() + child<QSpinBox>(&again, "numPerDay")->value(), 230);
    const SendOptions stored = readSendOptions(app.db(), {});
    QVERIFY(int(stored.charset) == charset && stored.perMinute == 30 && stored.perDay == 200);
    QCOMPARE(app.count(u"T_送信設定"_s), 1);
}

// 120 a minute: the server sees the ten mails at least 0.45 s apart.
void TestMailPreview::paceSpacesTheMails()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    prepare(app, server.port(), 0, 10, 120);
    QVERIFY(makeSendList(app.db(), 1));
    const SendPlan plan = readSendPlan(app.db(), 1);
    SmtpTransport transport(plan.smtp);
    QSet<int> waited; // the mails the run waited for, each at most 0.5 s
    QCOMPARE(runMailing(plan, transport, {}, nullptr, [&](int n, int msLeft) { waited << (msLeft <= 500 ? n : -n); }).sent, 10);
    QCOMPARE(waited, (QSet<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const QList<QJsonObject> mails = server.mails();
    QCOMPARE(mails.size(), 10);
    for (int i = 1; i < 10; ++i) {
        const double gap = mails[i].value("arrived"_L1).toDouble() - mails[i - 1].value("arrived"_L1).toDouble();
        QVERIFY2(gap >= 0.45, qPrintable(u"mail %1: %2 s"_s.arg(i + 1).arg(gap)));
    }
}

// 6 a minute: the window says how long the run waits, and ｷｬﾝｾﾙ ends the wait
// at once; the rest stay 未送信.
void TestMailPreview::cancelEndsThePaceAtOnce()
{
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    prepare(app, server.port(), 0, 3, 6);
    QVERIFY(makeSendList(app.db(), 1));
    SendingWindow window(app.context());
    RunStart start;
    start.newsId = 1;
    start.listSize = 3;
    window.setRun(readSendPlan(app.db(), 1), start);
    window.show();
    auto *pause = child<QLabel>(&window, "lblPause");
    QVERIFY(QTest::qWaitFor([&] { return pause->text().contains(u"あと"_s); }, 10000));
    QVERIFY2(pause->text().contains(u"次の送信まで あと 10 秒"_s) || pause->text().contains(u"あと 9 秒"_s),
             qPrintable(pause->text()));
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(&window, "cmdCancel")->click();
    QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window.outcome().end, RunOutcome::Cancelled);
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), u"一部送信 1/3"_s);
}

void TestMailPreview::dailyLimitSendsTheFirstPart_data()
{
    QTest::addColumn<int>("acceptedToday"); // of a limit of 10
    QTest::addColumn<int>("sent");
    QTest::newRow("room for 3 of 5") << 7 << 3;
    QTest::newRow("no room") << 10 << 0;
}

// Mails accepted in the last 24 hours count against the limit (those before
// do not); the user is told and may send the first part, the rest stay 未送信
// for 「未送信の宛先に送信」. In UTF-8, 髙橋 and 𠮷田 raise no question.
void TestMailPreview::dailyLimitSendsTheFirstPart()
{
    QFETCH(int, acceptedToday);
    QFETCH(int, sent);
    SmtpTestServer server;
    QVERIFY(server.start());
    TestApp app;
    prepare(app, server.port(), 1, 5, 0, 10);
    const auto insertAccepted = [&](int count, int hoursAgo) {
        const QString when = QDateTime::currentDateTime().addSecs(-3600 * hoursAgo).toString(u"yyyy/MM/dd HH:mm:ss"_s);
        for (int i = 0; i < count; ++i)
            app.exec(u"insert into T_送信結果 (送信ID, 順番, 状態, 日時) values (99, ?, '送信済', ?)"_s, {i + hoursAgo * 100, when});
    };
    insertAccepted(acceptedToday, 1);
    insertAccepted(5, 25);
    Answers answers;
    answers.nextDialog([](QDialog &options) { child<QPushButton>(&options, "cmdOk")->click(); });
    if (sent > 0) {
        answers.nextDialog([](QDialog &window) { QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000)); });
        answers.nextDialog([](QDialog &summary) { summary.reject(); });
    }
    const SendOutcome outcome = sendNotice(nullptr, app.context(), 1);
    QCOMPARE(server.mails().size(), sent);
    QCOMPARE(answers.unplannedDialogs, 0); // no list of characters ISO-2022-JP cannot carry
    if (sent == 0) {
        QVERIFY2(outcome.result.error.contains(u"この24時間に 10 通を送信済みです。今は送信できません"_s), qPrintable(outcome.result.error));
        return;
    }
    QCOMPARE(answers.messages[0].text, u"１日の送信数の上限は 10 通で，この24時間に 7 通を送信済みです。\n\n"
                                       "今回の 5 通のうち，最初の 3 通だけを今送信しますか？\n"
                                       "残りの 2 通は未送信として残り，後で「未送信の宛先に送信」で送信できます。"_s);
    QCOMPARE(answers.messages[1].text, u"「運動会のお知らせ」を 3 人に 3 通送信します。"_s);
    QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), u"一部送信 3/5"_s);
    QCOMPARE(app.count(u"T_送信結果"_s, u"送信ID <> 99 and 状態 = '未送信'"_s), 2);
}

QTEST_MAIN(TestMailPreview)
#include "test_mailpreview.moc"
