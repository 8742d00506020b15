// The two settings dialogs: what they show from T_SMTPサーバー and T_送信設定
// (Null and empty-table rules), what OK stores, what ｷｬﾝｾﾙ and the close box
// leave alone, and where they remember their position.
#include "app/placement.h"
#include "mail/passwordscrambler.h"
#include "mail/smtpsettingsdialog.h"
#include "mail/sendoptionsdialog.h"
#include "support/testapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace lumivox;
using test::child;

namespace {

struct SmtpView {
    QString server, user, password, name, address;
    int port = 0;
    bool authenticate = false;
    int security = -1;
};

SmtpView viewOf(QWidget *d)
{
    return {child<QLineEdit>(d, "txtServer")->text(), child<QLineEdit>(d, "txtUser")->text(),
            child<QLineEdit>(d, "txtPassword")->text(), child<QLineEdit>(d, "txtUserName")->text(),
            child<QLineEdit>(d, "txtUserAddress")->text(), child<QSpinBox>(d, "numPortNo")->value(),
            child<QCheckBox>(d, "chkAuthenticate")->isChecked(), child<QComboBox>(d, "cboSecurity")->currentIndex()};
}

void type(QWidget *d, const char *box, const QString &text)
{
    // insert() stands for typing: QTest::keyClicks knows no Japanese.
    auto *edit = child<QLineEdit>(d, box);
    edit->selectAll();
    edit->insert(text);
}

// T_送信設定's row as "グループ名称付加 名前付加 文字数制限,文字数", e.g. "110,60".
QString storedOptions(test::TestApp &app)
{
    return app.scalar(QStringLiteral("select グループ名称付加 || 名前付加 || 文字数制限 || ',' || 文字数 from T_送信設定"))
        .toString();
}

} // namespace

class TestMailSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void smtpDialogShowsItsTexts();
    void smtpFirstUseInsertsOneRow();
    void smtpKeepsQuotesAndEmptyPassword();
    void smtpShowsNullAsDefaults();
    void smtpCancelLeavesRowAndKeepsPosition();
    void smtpReportsFailedSave();
    void smtpPortFollowsProtection();

    void submitDefaultsOnEmptyTable();
    void submitShowsNullRules();
    void submitWidthOnlyWhileLimited();
    void submitCancelAndCloseBox_data();
    void submitCancelAndCloseBox();
    void submitRemembersPosition();
};

void TestMailSettings::smtpDialogShowsItsTexts()
{
    test::TestApp app;
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("SMTPｻｰﾊﾞｰ設定"));
    QCOMPARE(child<QLabel>(&dialog, "txtCaption")->text(),
             QStringLiteral("プロバイダとの契約資料を参考に，メール送信サーバー(SMTPサーバー)の設定を行ってください。\n\n"
                            "【注意】\nプロバイダによっては，迷惑メール対策等のため，一度に送信できるメール数に上限を設けている"
                            "場合があります。　『Pennora』の目的と相反するところではありますが，あらかじめご承知おき下さい。"));
    QCOMPARE(child<QPushButton>(&dialog, "cmdOk")->text(), QStringLiteral("OK(&O)"));
    QCOMPARE(child<QPushButton>(&dialog, "cmdCancel")->text(), QStringLiteral("ｷｬﾝｾﾙ(&C)"));
    QVERIFY(!child<QPushButton>(&dialog, "cmdHelp")->isVisible());
    QCOMPARE(child<QCheckBox>(&dialog, "chkAuthenticate")->text(), QStringLiteral("SMTP認証を行う(&A)"));
    QCOMPARE(child<QLabel>(&dialog, "txtServerCaption")->text(), QStringLiteral("SMTP サーバー名(&S)"));
    QCOMPARE(child<QLabel>(&dialog, "numPortNoCaption")->text(), QStringLiteral("送信サーバーのポート番号(&P)"));
    QCOMPARE(child<QLabel>(&dialog, "txtPasswordCaption")->buddy(), child<QLineEdit>(&dialog, "txtPassword"));
    QCOMPARE(child<QComboBox>(&dialog, "cboSecurity")->count(), 3);
    QCOMPARE(child<QSpinBox>(&dialog, "numPortNo")->maximum(), 99999);
    QCOMPARE(child<QSpinBox>(&dialog, "numPortNo")->minimum(), 0);
}

void TestMailSettings::smtpFirstUseInsertsOneRow()
{
    test::TestApp app;
    {
        SmtpSettingsDialog dialog(app.context());
        QVERIFY(test::showAndWait(&dialog));
        const SmtpView v = viewOf(&dialog);
        QCOMPARE(v.server, QString());
        QCOMPARE(v.port, 25);
        QVERIFY(v.authenticate);
        QCOMPARE(v.security, 0);
        type(&dialog, "txtServer", QStringLiteral("smtp.example.ne.jp"));
        type(&dialog, "txtUser", QStringLiteral("kanri"));
        type(&dialog, "txtPassword", QStringLiteral("秘密のpass"));
        type(&dialog, "txtUserName", QStringLiteral("連絡係"));
        type(&dialog, "txtUserAddress", QStringLiteral("renraku@example.jp"));
        child<QComboBox>(&dialog, "cboSecurity")->setCurrentIndex(1);
        child<QPushButton>(&dialog, "cmdOk")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(app.count(QStringLiteral("T_SMTPサーバー")), 1);
    QCOMPARE(app.scalar(QStringLiteral("select ポート番号 from T_SMTPサーバー")).toInt(), 587);
    QCOMPARE(app.scalar(QStringLiteral("select 接続の保護 from T_SMTPサーバー")).toInt(), 1);
    QCOMPARE(app.scalar(QStringLiteral("select SMTP認証 from T_SMTPサーバー")).toInt(), 1);
    // The password is stored scrambled, never as typed.
    const QVariant stored = app.scalar(QStringLiteral("select パスワード from T_SMTPサーバー"));
    QVERIFY(stored.toByteArray() != QStringLiteral("秘密のpass").toUtf8());
    QCOMPARE(unscramblePassword(stored), QStringLiteral("秘密のpass"));

    // Opened again: the same values, the password in plain text; a second OK
    // updates the row instead of adding one.
    SmtpSettingsDialog again(app.context());
    QVERIFY(test::showAndWait(&again));
    const SmtpView v = viewOf(&again);
    QCOMPARE(v.server, QStringLiteral("smtp.example.ne.jp"));
    QCOMPARE(v.user, QStringLiteral("kanri"));
    QCOMPARE(v.password, QStringLiteral("秘密のpass"));
    QCOMPARE(v.name, QStringLiteral("連絡係"));
    QCOMPARE(v.address, QStringLiteral("renraku@example.jp"));
    QCOMPARE(v.security, 1);
    QCOMPARE(v.port, 587);
    child<QCheckBox>(&again, "chkAuthenticate")->click();
    QVERIFY(!child<QLineEdit>(&again, "txtPassword")->isEnabled());
    child<QPushButton>(&again, "cmdOk")->click();
    QCOMPARE(app.count(QStringLiteral("T_SMTPサーバー")), 1);
    QCOMPARE(app.scalar(QStringLiteral("select SMTP認証 from T_SMTPサーバー")).toInt(), 0);
}

void TestMailSettings::smtpKeepsQuotesAndEmptyPassword()
{
    test::TestApp app;
    const QString quote = QStringLiteral("o'neil \"x\" ');drop table T_メンバー;--");
    {
        SmtpSettingsDialog dialog(app.context());
        QVERIFY(test::showAndWait(&dialog));
        for (const char *box : {"txtServer", "txtUser", "txtPassword", "txtUserName", "txtUserAddress"})
            type(&dialog, box, quote);
        child<QPushButton>(&dialog, "cmdOk")->click();
    }
    QCOMPARE(app.count(QStringLiteral("T_メンバー")), 0); // the table is still there
    {
        SmtpSettingsDialog dialog(app.context());
        QVERIFY(test::showAndWait(&dialog));
        const SmtpView v = viewOf(&dialog);
        QCOMPARE(v.server, quote);
        QCOMPARE(v.user, quote);
        QCOMPARE(v.password, quote);
        QCOMPARE(v.name, quote);
        QCOMPARE(v.address, quote);
        child<QLineEdit>(&dialog, "txtPassword")->clear();
        child<QPushButton>(&dialog, "cmdOk")->click();
    }
    // An empty password is stored as an empty value, not Null, and reads back empty.
    QCOMPARE(app.scalar(QStringLiteral("select パスワード is null from T_SMTPサーバー")).toInt(), 0);
    QCOMPARE(app.scalar(QStringLiteral("select length(パスワード) from T_SMTPサーバー")).toInt(), 0);
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    QCOMPARE(viewOf(&dialog).password, QString());
}

void TestMailSettings::smtpShowsNullAsDefaults()
{
    test::TestApp app;
    app.exec(QStringLiteral("insert into T_SMTPサーバー (サーバー名, SMTP認証, 接続の保護) values ('mail.example.jp', null, null)"));
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    const SmtpView v = viewOf(&dialog);
    QCOMPARE(v.server, QStringLiteral("mail.example.jp"));
    QCOMPARE(v.port, 25);
    QVERIFY(v.authenticate);
    QCOMPARE(v.user, QString());
    QCOMPARE(v.password, QString());
    QCOMPARE(v.security, 0);
    // A stored false shows the box clear.
    app.exec(QStringLiteral("update T_SMTPサーバー set SMTP認証 = 0"));
    SmtpSettingsDialog cleared(app.context());
    QVERIFY(test::showAndWait(&cleared));
    QVERIFY(!viewOf(&cleared).authenticate);
}

void TestMailSettings::smtpCancelLeavesRowAndKeepsPosition()
{
    test::TestApp app;
    app.exec(QStringLiteral("insert into T_SMTPサーバー values ('a.example.jp', 587, 'u', ?, 1, 'n', 'a@example.jp', 1)"),
             {scramblePassword(QStringLiteral("pw"))});
    app.setSetting("InpSMTP", "Top", "1500");
    app.setSetting("InpSMTP", "Left", "3000");
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    QCOMPARE(dialog.frameGeometry().topLeft(), QPoint(twipsToPxX(3000, &dialog), twipsToPxY(1500, &dialog)));
    type(&dialog, "txtServer", QStringLiteral("changed.example.jp"));
    dialog.move(dialog.pos() + QPoint(40, 20));
    const QPoint moved = dialog.frameGeometry().topLeft();
    child<QPushButton>(&dialog, "cmdCancel")->click();
    QCOMPARE(app.scalar(QStringLiteral("select サーバー名 from T_SMTPサーバー")).toString(), QStringLiteral("a.example.jp"));
    QCOMPARE(app.settingLong("InpSMTP", "Top"), pxToTwipsY(moved.y(), &dialog));
    QCOMPARE(app.settingLong("InpSMTP", "Left"), pxToTwipsX(moved.x(), &dialog));
}

void TestMailSettings::smtpReportsFailedSave()
{
    test::TestApp app;
    QVERIFY(app.exec(QStringLiteral("create trigger refuse before insert on T_SMTPサーバー "
                                    "begin select raise(abort, 'disk is full'); end")));
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    type(&dialog, "txtServer", QStringLiteral("smtp.example.jp"));
    QString text;
    test::acceptNextMessage(&text);
    child<QPushButton>(&dialog, "cmdOk")->click();
    QVERIFY2(text.contains(QStringLiteral("SMTPサーバーの設定をデータベースに保存できませんでした。")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("disk is full")));
    // Nothing typed is lost: the dialog is still open with the text.
    QVERIFY(dialog.isVisible());
    QCOMPARE(viewOf(&dialog).server, QStringLiteral("smtp.example.jp"));
}

void TestMailSettings::smtpPortFollowsProtection()
{
    test::TestApp app;
    SmtpSettingsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    auto *security = child<QComboBox>(&dialog, "cboSecurity");
    auto *port = child<QSpinBox>(&dialog, "numPortNo");
    security->setCurrentIndex(2);
    QCOMPARE(port->value(), 465);
    security->setCurrentIndex(1);
    QCOMPARE(port->value(), 587);
    security->setCurrentIndex(0);
    QCOMPARE(port->value(), 25);
    // A port the user chose stays.
    port->setValue(2525);
    security->setCurrentIndex(2);
    QCOMPARE(port->value(), 2525);
}

void TestMailSettings::submitDefaultsOnEmptyTable()
{
    test::TestApp app;
    SendOptionsDialog dialog(app.context());
    QCOMPARE(dialog.UserTag(), QString());
    QVERIFY(test::showAndWait(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("送信ｵﾌﾟｼｮﾝ設定"));
    QVERIFY(child<QCheckBox>(&dialog, "chkGroup")->isChecked());
    QVERIFY(child<QCheckBox>(&dialog, "chkName")->isChecked());
    QVERIFY(child<QCheckBox>(&dialog, "chkMoji")->isChecked());
    QCOMPARE(child<QSpinBox>(&dialog, "numMoji")->value(), 60);
    QVERIFY(child<QSpinBox>(&dialog, "numMoji")->isEnabled());
    QCOMPARE(child<QLabel>(&dialog, "txtCaption")->text(),
             QStringLiteral("お知らせ「本文」の1～2行目に，グループ名称および名前を追加できます。"));
    QVERIFY(!child<QPushButton>(&dialog, "cmdHelp")->isVisible());
    child<QPushButton>(&dialog, "cmdOk")->click();
    QCOMPARE(dialog.UserTag(), QStringLiteral("OK"));
    QCOMPARE(app.count(QStringLiteral("T_送信設定")), 1);
    QCOMPARE(storedOptions(app), QStringLiteral("111,60"));
}

void TestMailSettings::submitShowsNullRules()
{
    test::TestApp app;
    app.exec(QStringLiteral("insert into T_送信設定 values (null, null, null, null)"));
    SendOptionsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    QVERIFY(child<QCheckBox>(&dialog, "chkGroup")->isChecked());
    QVERIFY(child<QCheckBox>(&dialog, "chkName")->isChecked());
    QVERIFY(!child<QCheckBox>(&dialog, "chkMoji")->isChecked());
    QCOMPARE(child<QSpinBox>(&dialog, "numMoji")->value(), 60);
    QVERIFY(!child<QSpinBox>(&dialog, "numMoji")->isEnabled());
    // OK updates the one row: the width is kept even with folding off.
    child<QCheckBox>(&dialog, "chkGroup")->click();
    child<QSpinBox>(&dialog, "numMoji")->setValue(72);
    child<QPushButton>(&dialog, "cmdOk")->click();
    QCOMPARE(app.count(QStringLiteral("T_送信設定")), 1);
    QCOMPARE(storedOptions(app), QStringLiteral("010,72"));
}

void TestMailSettings::submitWidthOnlyWhileLimited()
{
    test::TestApp app;
    SendOptionsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    auto *limit = child<QCheckBox>(&dialog, "chkMoji");
    auto *width = child<QSpinBox>(&dialog, "numMoji");
    limit->click();
    QVERIFY(!width->isEnabled());
    limit->click();
    QVERIFY(width->isEnabled());
    // Only whole numbers from 10 to 512.
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("999"));
    width->interpretText();
    QVERIFY(width->value() <= 512);
    width->setValue(5);
    QCOMPARE(width->value(), 10);
    width->setValue(512);
    child<QPushButton>(&dialog, "cmdOk")->click();
    QCOMPARE(app.scalar(QStringLiteral("select 文字数 from T_送信設定")).toInt(), 512);
}

void TestMailSettings::submitCancelAndCloseBox_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("ｷｬﾝｾﾙ") << 0;
    QTest::newRow("close box") << 1;
    QTest::newRow("Esc") << 2;
}

void TestMailSettings::submitCancelAndCloseBox()
{
    QFETCH(int, how);
    test::TestApp app;
    app.exec(QStringLiteral("insert into T_送信設定 values (1, 1, 0, 40)"));
    SendOptionsDialog dialog(app.context());
    QVERIFY(test::showAndWait(&dialog));
    child<QCheckBox>(&dialog, "chkName")->click();
    if (how == 0)
        child<QPushButton>(&dialog, "cmdCancel")->click();
    else if (how == 1)
        dialog.close();
    else
        QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.UserTag(), QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(app.scalar(QStringLiteral("select 名前付加 from T_送信設定")).toInt(), 1);
}

void TestMailSettings::submitRemembersPosition()
{
    test::TestApp app;
    QPoint moved;
    {
        SendOptionsDialog dialog(app.context());
        QVERIFY(test::showAndWait(&dialog));
        dialog.move(dialog.pos() + QPoint(33, 17));
        moved = dialog.frameGeometry().topLeft();
        child<QPushButton>(&dialog, "cmdOk")->click();
    }
    SendOptionsDialog again(app.context());
    QVERIFY(test::showAndWait(&again));
    QCOMPARE(again.frameGeometry().topLeft(), moved);
    QVERIFY(app.settingLong("InpSubmit", "Top") > 0);
}

QTEST_MAIN(TestMailSettings)
#include "test_mailsettings.moc"
