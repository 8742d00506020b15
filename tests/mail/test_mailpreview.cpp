// The preview and test send, and the character set and pace of the send
// options, against a real SMTP server.
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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
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
QString withoutDateAndId(const QByteArray &mail)
{
    static const QRegularExpression varying(u"(?m)^(Date|Message-ID): [^\r]*"_s);
    return QString::fromLatin1(mail).replace(varying, u"\\1: -"_s);
}

// The plan of notice 1 as a run would read it now.
SendPlan planOf(TestApp &app)
{
    makeSendList(app.db(), 1);
    return readSendPlan(app.db(), 1);
}

} // namespace

class TestMailPreview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void previewIsWhatArrives_data()
    {
        QTest::addColumn<int>("charset");
        QTest::addColumn<QString>("shown"); // the charset of each mail, in the list's order
        QTest::newRow("ISO-2022-JP") << 0 << u"ISO-2022-JP ISO-2022-JP ISO-2022-JP"_s;
        QTest::newRow("UTF-8") << 1 << u"UTF-8 UTF-8 UTF-8"_s;
        QTest::newRow("自動") << 2 << u"ISO-2022-JP UTF-8 UTF-8"_s;
    }

    // The run's mail to each recipient equals the preview's byte for byte (but
    // for Date and Message-ID); the preview, opened from the notice menu, shows
    // it as Python's email package reads it. テスト送信 sends 髙橋's mail to
    // the sender alone, and nothing is recorded as a send of the notice.
    void previewIsWhatArrives()
    {
        QFETCH(int, charset);
        QFETCH(QString, shown);
        SmtpTestServer server;
        QVERIFY(server.start({.eightBitMime = false}));
        TestApp app;
        prepare(app, server.port(), charset);
        const SendPlan plan = planOf(app);
        SmtpTransport transport(plan.smtp);
        QCOMPARE(runMailing(plan, transport, {}).sent, 3);
        const QList<QJsonObject> mails = server.mails();
        QStringList charsets;
        Answers answers;
        answers.nextDialog([&](QDialog &preview) {
            const auto text = [&](const char *name) { return child<QLineEdit>(&preview, name)->text(); };
            auto *recipients = child<QComboBox>(&preview, "cboRecipient");
            for (int i = 0; i < 3; ++i) {
                const QJsonObject &mail = mails.value(i);
                QCOMPARE(withoutDateAndId(mailFor(plan, composerFor(plan), i)),
                         withoutDateAndId(QByteArray::fromBase64(field(mail, "raw").toLatin1())));
                recipients->setCurrentIndex(i);
                QCOMPARE(QStringList({text("txtFrom"), text("txtTo"), text("txtSubject"),
                                      child<QPlainTextEdit>(&preview, "txtBody")->toPlainText()}),
                         QStringList({field(mail, "from_name") + u" <"_s + field(mail, "from_addr") + u'>',
                                      field(mail, "to_name") + u" <"_s + field(mail, "to_addr") + u'>',
                                      field(mail, "subject"), field(mail, "body").replace(u"\r\n"_s, u"\n"_s)}));
                charsets << text("txtCharset");
            }
            recipients->setCurrentIndex(recipients->findText(u"髙橋"_s, Qt::MatchContains));
            child<QPushButton>(&preview, "cmdTestSend")->click();
            preview.reject();
        });
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        clickTool(window, "ID_mnuEditPreview");
        QCOMPARE(charsets.join(u' '), shown);
        QCOMPARE(answers.lastText(), u"テスト送信しました。送信元のアドレス（renraku@example.jp）に届いたメールをご確認ください。"_s);
        QCOMPARE(server.recipientsTried().mid(3), QStringList{u"renraku@example.jp"_s});
        QCOMPARE(field(server.mails().value(3), "to_addr"), u"m2@example.jp"_s); // the mail as 髙橋 gets it
        QCOMPARE(app.count(u"T_送信記録"_s) + app.count(u"T_送信結果"_s), 0);
    }

    // A version-1 database (T_送信設定 without the new columns) gains them: its
    // row reads as ISO-2022-JP without limits. The dialog stores what is chosen
    // and shows it again.
    void optionsAreStoredAndUpgraded()
    {
        TestApp app;
        for (const char *column : {"文字コード", "毎分上限", "一日上限"})
            app.exec(u"alter table T_送信設定 drop column "_s + QString::fromUtf8(column));
        app.exec(u"drop index T_お知らせ_一覧"_s);
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
            QCOMPARE(charsets->itemText(0) + charsets->itemText(1) + charsets->itemText(2), u"ISO-2022-JPUTF-8自動"_s);
            charsets->setCurrentIndex(2);
            child<QSpinBox>(&dialog, "numPerMinute")->setValue(30);
            child<QSpinBox>(&dialog, "numPerDay")->setValue(200);
            child<QPushButton>(&dialog, "cmdOk")->click();
        }
        SendOptionsDialog again(app.context());
        QVERIFY(showAndWait(&again) && child<QComboBox>(&again, "cboCharset")->currentIndex() == 2);
        const SendOptions stored = readSendOptions(app.db(), {});
        QVERIFY(stored.charset == MailCharset::Automatic && stored.perMinute == 30 && stored.perDay == 200);
    }

    void paceSpacesTheMails_data()
    {
        QTest::addColumn<int>("perMinute");
        QTest::addColumn<int>("mails");
        QTest::newRow("120 a minute") << 120 << 10;
        QTest::newRow("6 a minute, ｷｬﾝｾﾙ while waiting") << 6 << 3;
    }

    // 120 a minute: the server sees the ten mails at least 0.45 s apart. 6 a
    // minute: the window says how long the run waits for the second mail, and
    // ｷｬﾝｾﾙ ends the wait at once; the rest stay 未送信.
    void paceSpacesTheMails()
    {
        QFETCH(int, perMinute);
        QFETCH(int, mails);
        SmtpTestServer server;
        QVERIFY(server.start());
        TestApp app;
        prepare(app, server.port(), 0, mails, perMinute);
        SendingWindow window(app.context());
        window.setRun(planOf(app), {.newsId = 1, .listSize = mails});
        window.show();
        if (perMinute == 6) {
            auto *pause = child<QLabel>(&window, "lblPause");
            const QRegularExpression waiting(u"^送信の間隔の設定により，次の送信まで あと (10|9) 秒$"_s);
            QVERIFY(QTest::qWaitFor([&] { return pause->text().contains(waiting); }, 10000));
            child<QPushButton>(&window, "cmdCancel")->click();
            QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 1000));
            QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), u"一部送信 1/3"_s);
            QCOMPARE(server.mails().size(), 1);
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000));
        const QList<QJsonObject> sent = server.mails();
        QCOMPARE(sent.size(), 10);
        for (int i = 1; i < sent.size(); ++i) {
            const double gap = sent[i].value("arrived"_L1).toDouble() - sent[i - 1].value("arrived"_L1).toDouble();
            QVERIFY2(gap >= 0.45, qPrintable(u"mail %1: %2 s"_s.arg(i + 1).arg(gap)));
        }
    }

    void dailyLimitSendsTheFirstPart_data()
    {
        QTest::addColumn<int>("acceptedToday"); // of a limit of 10
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("told");
        QTest::newRow("room for 3 of 5") << 7 << 3
            << u"この24時間に 7 通を送信済みです。\n\n今回の 5 通のうち，最初の 3 通だけを今送信しますか？\n残りの 2 通は未送信"_s;
        QTest::newRow("no room") << 10 << 0 << u"この24時間に 10 通を送信済みです。今は送信できません。"_s;
    }

    // Mails accepted in the last 24 hours count against the limit (those before
    // do not); the user is told and may send the first part, the rest stay
    // 未送信 for 「未送信の宛先に送信」. In UTF-8, 髙橋 and 𠮷田 raise no question.
    void dailyLimitSendsTheFirstPart()
    {
        QFETCH(int, acceptedToday);
        QFETCH(int, sent);
        QFETCH(QString, told);
        SmtpTestServer server;
        QVERIFY(server.start());
        TestApp app;
        prepare(app, server.port(), 1, 5, 0, 10);
        for (int hoursAgo : {1, 25}) {
            const QString when = QDateTime::currentDateTime().addSecs(-3600 * hoursAgo).toString(u"yyyy/MM/dd HH:mm:ss"_s);
            for (int i = 0; i < (hoursAgo == 1 ? acceptedToday : 5); ++i)
                app.exec(u"insert into T_送信結果 (送信ID, 順番, 状態, 日時) values (?, ?, '送信済', ?)"_s, {-hoursAgo, i, when});
        }
        Answers answers;
        answers.nextDialog([](QDialog &options) { child<QPushButton>(&options, "cmdOk")->click(); });
        answers.nextDialog([](QDialog &window) { QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000)); });
        answers.nextDialog([](QDialog &summary) { summary.reject(); });
        const SendOutcome outcome = sendNotice(nullptr, app.context(), 1);
        QCOMPARE(server.mails().size(), sent);
        QCOMPARE(answers.unplannedDialogs, 0); // no list of characters ISO-2022-JP cannot carry
        const QString shown = sent ? answers.messages.value(0).text : outcome.result.error;
        QVERIFY2(shown.contains(told), qPrintable(shown));
        QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), sent ? u"一部送信 3/5"_s : u"未送信"_s);
    }
};

QTEST_MAIN(TestMailPreview)
#include "test_mailpreview.moc"
