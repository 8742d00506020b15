// The settings rows as the dialogs and the sending run read and store them (Null
// and empty-table rules, the scrambled password), and the wiring of the SMTP
// settings and send options dialogs.
#include "mail/passwordscrambler.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendrun.h"
#include "mail/smtpsettingsdialog.h"
#include "support/testapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace lumivox;
using namespace Qt::StringLiterals;
using test::child;

namespace {

const char *const kSmtpBoxes[] = {"txtServer", "txtUser", "txtPassword", "txtUserName", "txtUserAddress"};

QString smtpShown(QWidget *d)
{
    QStringList shown;
    for (const char *box : kSmtpBoxes)
        shown << child<QLineEdit>(d, box)->text();
    return shown.join(u'|') + u"|%1|%2|%3"_s.arg(child<QSpinBox>(d, "numPortNo")->value())
               .arg(child<QCheckBox>(d, "chkAuthenticate")->isChecked()).arg(child<QComboBox>(d, "cboSecurity")->currentIndex());
}

} // namespace

class TestMailSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsWhatTheRunUses();
    void smtpDialogStoresWhatIsTyped();
    void sendOptionsShowAndStore_data();
    void sendOptionsShowAndStore();
};

void TestMailSettings::readsWhatTheRunUses()
{
    test::TestApp app;
    // No rows: no server, port 0, no login; no leading lines, no folding.
    SmtpSettings smtp = readRunSmtpSettings(app.db());
    QVERIFY(smtp.port == 0 && !smtp.authenticate && smtp.server.isEmpty());
    SendOptions options = readSendOptions(app.db(), kNoSendOptionsRow);
    QVERIFY(!options.addGroup && !options.addName && !options.limitWidth && options.width == 0);
    // Null columns: port 25, login on, no protection; both lines on, no folding, width 60.
    app.exec(u"insert into T_SMTPサーバー (サーバー名, \"送信元E-Mail\", 接続の保護) values ('a.jp', ' r@a.jp\u3000', null)"_s);
    app.exec(u"insert into T_送信設定 (文字数制限) values (null)"_s);
    smtp = readRunSmtpSettings(app.db());
    QVERIFY(smtp.port == 25 && smtp.authenticate && smtp.user.isEmpty() && smtp.password.isEmpty());
    QVERIFY(smtp.security == ConnectionSecurity::None);
    QCOMPARE(smtp.senderAddress, u"r@a.jp"_s); // trimmed once, for the envelope and the header
    options = readSendOptions(app.db(), kNoSendOptionsRow);
    QVERIFY(options.addGroup && options.addName && !options.limitWidth && options.width == 60);
    QVERIFY(options.charset == MailCharset::Iso2022jp);
    // A password is stored scrambled, as a blob that keeps every code unit (this
    // one scrambles to NUL, a lone surrogate and a quote), and read back as typed.
    PasswordScrambler crypt;
    crypt.setPassword(QString::fromLatin1(kPasswordKey));
    smtp.password = crypt.EncryptString(QChar(0) + u"\xDC00'"_s);
    QVERIFY(saveSmtpSettings(app.db(), smtp));
    QCOMPARE(app.count(u"T_SMTPサーバー"_s), 1);
    QCOMPARE(app.scalar(u"select typeof(パスワード) from T_SMTPサーバー"_s).toString(), u"blob"_s);
    QCOMPARE(readSmtpSettings(app.db(), {}).password, smtp.password);
}

void TestMailSettings::smtpDialogStoresWhatIsTyped()
{
    test::TestApp app;
    const QString typed = u"o'neil \"x\" ');drop table T_メンバー;--"_s;
    {
        SmtpSettingsDialog dialog(app.context());
        QVERIFY(test::showAndWait(&dialog));
        QCOMPARE(smtpShown(&dialog), u"|||||25|1|0"_s); // first use
        for (const char *box : kSmtpBoxes) {
            QCOMPARE(child<QLineEdit>(&dialog, box)->maxLength(), 255); // what its column holds
            child<QLineEdit>(&dialog, box)->setText(typed + QLatin1String(box));
        }
        // The port follows the protection until the user chooses one.
        child<QComboBox>(&dialog, "cboSecurity")->setCurrentIndex(2);
        QCOMPARE(child<QSpinBox>(&dialog, "numPortNo")->value(), 465);
        child<QComboBox>(&dialog, "cboSecurity")->setCurrentIndex(1);
        QCOMPARE(child<QSpinBox>(&dialog, "numPortNo")->value(), 587);
        child<QCheckBox>(&dialog, "chkAuthenticate")->click();
        QVERIFY(!child<QLineEdit>(&dialog, "txtPassword")->isEnabled());
        child<QPushButton>(&dialog, "cmdOk")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(app.count(u"T_メンバー"_s), 0); // still there
    const QString stored = u"%1txtServer|%1txtUser|%1txtPassword|%1txtUserName|%1txtUserAddress|587|0|1"_s.arg(typed);
    {
        SmtpSettingsDialog again(app.context());
        QVERIFY(test::showAndWait(&again));
        QCOMPARE(smtpShown(&again), stored); // the password in plain text
        child<QSpinBox>(&again, "numPortNo")->setValue(2525);
        child<QComboBox>(&again, "cboSecurity")->setCurrentIndex(2);
        QCOMPARE(child<QSpinBox>(&again, "numPortNo")->value(), 2525);
        child<QPushButton>(&again, "cmdCancel")->click(); // stores nothing
    }
    // A refused write is reported, and the dialog stays open with what was typed.
    QVERIFY(app.exec(u"create trigger refuse before update on T_SMTPサーバー begin select raise(abort, 'disk is full'); end"_s));
    test::Answers answers;
    SmtpSettingsDialog third(app.context());
    QVERIFY(test::showAndWait(&third));
    QCOMPARE(smtpShown(&third), stored);
    child<QLineEdit>(&third, "txtServer")->setText(u"smtp.example.jp"_s);
    child<QPushButton>(&third, "cmdOk")->click();
    QCOMPARE(answers.messages.size(), 1);
    QVERIFY2(answers.lastText().startsWith(u"SMTPサーバーの設定をデータベースに保存できませんでした。"_s), qPrintable(answers.lastText()));
    QVERIFY(answers.lastText().contains(u"disk is full"_s));
    QVERIFY(third.isVisible());
    QCOMPARE(child<QLineEdit>(&third, "txtServer")->text(), u"smtp.example.jp"_s);
}

void TestMailSettings::sendOptionsShowAndStore_data()
{
    QTest::addColumn<QString>("row");     // values of the stored row, if any
    QTest::addColumn<QString>("shown");   // グループ名称付加 名前付加 文字数制限,文字数
    QTest::addColumn<QString>("closing"); // after chkGroup is clicked
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty table, OK") << QString() << u"111,60"_s << u"cmdOk"_s << u"011,60"_s;
    QTest::newRow("Nulls, OK") << u"null, null, null, null"_s << u"110,60"_s << u"cmdOk"_s << u"010,60"_s;
    QTest::newRow("stored, OK") << u"0, 1, 1, 512"_s << u"011,512"_s << u"cmdOk"_s << u"111,512"_s;
    QTest::newRow("ｷｬﾝｾﾙ") << u"1, 1, 0, 40"_s << u"110,40"_s << u"cmdCancel"_s << u"110,40"_s;
    QTest::newRow("close box") << u"1, 1, 0, 40"_s << u"110,40"_s << u"close"_s << u"110,40"_s;
    QTest::newRow("Esc") << u"1, 1, 0, 40"_s << u"110,40"_s << u"Esc"_s << u"110,40"_s;
}

// The row shown (Null and empty-table rules), the width editable only while
// folding is on, OK storing one row, and ｷｬﾝｾﾙ, the close box and Esc leaving it
// and rejecting (a send then stops).
void TestMailSettings::sendOptionsShowAndStore()
{
    QFETCH(QString, row);
    QFETCH(QString, shown);
    QFETCH(QString, closing);
    QFETCH(QString, stored);
    test::TestApp app;
    QVERIFY(row.isEmpty() || app.exec(u"insert into T_送信設定 (グループ名称付加, 名前付加, 文字数制限, 文字数) values (%1)"_s.arg(row)));
    SendOptionsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    auto *limit = child<QCheckBox>(&dialog, "chkMoji");
    auto *width = child<QSpinBox>(&dialog, "numMoji");
    QCOMPARE(u"%1%2%3,%4"_s.arg(child<QCheckBox>(&dialog, "chkGroup")->isChecked()).arg(child<QCheckBox>(&dialog, "chkName")->isChecked())
                 .arg(limit->isChecked()).arg(width->value()), shown);
    QCOMPARE(width->isEnabled(), limit->isChecked());
    limit->click();
    QCOMPARE(width->isEnabled(), limit->isChecked());
    limit->click();
    QVERIFY(width->minimum() == 10 && width->maximum() == 512);
    child<QCheckBox>(&dialog, "chkGroup")->click();
    if (closing == u"close"_s)
        dialog.close();
    else if (closing == u"Esc"_s)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        child<QPushButton>(&dialog, qPrintable(closing))->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(closing == u"cmdOk"_s ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(app.scalar(u"select group_concat(グループ名称付加 || 名前付加 || 文字数制限 || ',' || 文字数) from T_送信設定"_s).toString(),
             stored); // one row, inserted or updated
}

QTEST_MAIN(TestMailSettings)
#include "test_mailsettings.moc"
