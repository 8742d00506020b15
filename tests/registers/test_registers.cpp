// The member and group registers: list and card, navigation, keys and the
// capacity, deleting with the link rows, copy and paste, readings, settings.
#include "app/placement.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/tablemodel.h"
#include "mainwindow/mainwindow.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "registertest.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace lumivox;
using namespace lumivox::test;

namespace {

// A member's 999 or a group's 99 rows in one statement.
void fillMembers(TestApp &app, int count)
{
    app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                            "insert into T_メンバー select i, '会員' || i, 'カイイン', '様', "
                            "'m' || i || '@example.jp' from n"),
             {count});
}

void fillGroups(TestApp &app, int count)
{
    app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                            "insert into T_グループ select i, '班' || i, 'ハン' from n"),
             {count});
}

QString memberField(TestApp &app, int id, const QString &field)
{
    return app.scalar(QStringLiteral("select %1 from T_メンバー where MemberID = ?").arg(quoted(field)), {id})
        .toString();
}

void sendPreedit(QWidget *w, const QString &text)
{
    QInputMethodEvent e(text, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor,
                                                            static_cast<int>(text.size()), 1)});
    QCoreApplication::sendEvent(w, &e);
}

void sendCommit(QWidget *w, const QString &text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

class TestRegisters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyMemberTableAndFirstAdd()
    {
        TestApp app;
        auto w = openWindow<MemberRegister>(app);
        QCOMPARE(w->windowTitle(), QStringLiteral("メンバー登録"));
        QCOMPARE(counter(w.get()), QStringLiteral("(0/0)"));
        for (const char *box : {"txtName", "txtFurigana", "cboDono", "txtEmail", "cmdGroup"})
            QVERIFY2(!enabled(w.get(), box), box);
        QVERIFY(child<QLineEdit>(w.get(), "txtName")->text().isEmpty());
        for (const char *button : {"cmdTop", "cmdPrevious", "cmdNext", "cmdBottom", "cmdDel"})
            QVERIFY2(!enabled(w.get(), button), button);
        QVERIFY(enabled(w.get(), "cmdAdd"));
        QCOMPARE(child<QLabel>(w.get(), "StatusBar1Panel2")->text(), QStringLiteral("MAX:999"));

        child<QPushButton>(w.get(), "cmdAdd")->click();
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 1);
        QCOMPARE(app.scalar(QStringLiteral("select MemberID from T_メンバー")).toInt(), 1);
        QCOMPARE(memberField(app, 1, QStringLiteral("敬称")), QStringLiteral("様"));
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QString());
        QCOMPARE(memberField(app, 1, QStringLiteral("E-Mail")), QString());
        QCOMPARE(counter(w.get()), QStringLiteral("(1/1)"));
        QVERIFY(enabled(w.get(), "txtName"));
        QCOMPARE(child<QComboBox>(w.get(), "cboDono")->currentText(), QStringLiteral("様"));
        QVERIFY(enabled(w.get(), "cmdDel"));
        QVERIFY(!enabled(w.get(), "cmdNext"));
    }

    void keysSkipTakenNumbersAndAreNotReused()
    {
        TestApp app;
        for (int id : {1, 2, 4})
            app.addMember(id, QStringLiteral("会員%1").arg(id));
        auto w = openWindow<MemberRegister>(app);
        QCOMPARE(w->NewMemberID(), 5);
        clickTool(w.get(), "ID_EditAdd");
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 5")), 1);
        QCOMPARE(counter(w.get()), QStringLiteral("(4/4)"));

        w->list()->setActiveCell(2, 2); // member 2
        clickTool(w.get(), "ID_mnuEditDel");
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 2")), 0);
        QCOMPARE(w->list()->maxRows(), 3);
        clickTool(w.get(), "ID_mnuEditAdd");
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 6")), 1);
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 2")), 0);
    }

    void filteredListNeverGivesAHiddenMembersKey()
    {
        TestApp app;
        app.addMembers({"山田", "田中", "佐藤"});
        auto w = openWindow<MemberRegister>(app);
        QVERIFY(w->FilterByKeyword(QStringLiteral("[名前]"), QStringLiteral("田")));
        QCOMPARE(w->list()->maxRows(), 2); // 3 is hidden, and is the row count + 1
        clickTool(w.get(), "ID_EditAdd");
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 4);
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 4")), 1);
        QCOMPARE(memberField(app, 3, QStringLiteral("名前")), QStringLiteral("佐藤"));
        // The new member stays in the list until the list is reopened.
        QCOMPARE(w->list()->maxRows(), 3);
        QCOMPARE(counter(w.get()), QStringLiteral("(3/3)"));
    }

    void memberCapacity()
    {
        TestApp app;
        fillMembers(app, 999);
        auto w = openWindow<MemberRegister>(app);
        QCOMPARE(child<QLabel>(w.get(), "StatusBar1Panel2")->text(), QStringLiteral("MAX:999"));
        QVERIFY(!enabled(w.get(), "cmdAdd"));
        QVERIFY(!toolEnabled(w.get(), "ID_mnuEditAdd"));
        QVERIFY(!toolEnabled(w.get(), "ID_EditAdd"));
        w->AddRecord();
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 999);

        // A filter showing a few members still counts the table.
        QVERIFY(w->FilterByKeyword(QStringLiteral("[名前]"), QStringLiteral("会員99")));
        QCOMPARE(w->list()->maxRows(), 11); // 99 and 990 … 999
        QVERIFY(!enabled(w.get(), "cmdAdd"));
        QVERIFY(!toolEnabled(w.get(), "ID_EditAdd"));

        w->list()->setActiveCell(2, 1);
        w->DeleteRecord();
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 998);
        QVERIFY(enabled(w.get(), "cmdAdd"));
        QVERIFY(toolEnabled(w.get(), "ID_mnuEditAdd"));
        QVERIFY(toolEnabled(w.get(), "ID_EditAdd"));
        QCOMPARE(child<QLabel>(w.get(), "StatusBar1Panel2")->text(), QStringLiteral("MAX:999"));
        clickTool(w.get(), "ID_EditAdd");
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 999);
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 99")), 1);
        QVERIFY(!enabled(w.get(), "cmdAdd"));
    }

    void groupCapacity()
    {
        TestApp app;
        fillGroups(app, 99);
        auto w = openWindow<GroupRegister>(app);
        QCOMPARE(child<QLabel>(w.get(), "StatusBar1Panel2")->text(), QStringLiteral("MAX:99"));
        QVERIFY(!enabled(w.get(), "cmdAdd"));
        QVERIFY(!toolEnabled(w.get(), "ID_mnuEditAdd"));
        QVERIFY(!toolEnabled(w.get(), "ID_EditAdd"));
        w->list()->setActiveCell(2, 50);
        clickTool(w.get(), "ID_EditDel");
        QVERIFY(enabled(w.get(), "cmdAdd"));
        QVERIFY(toolEnabled(w.get(), "ID_EditAdd"));
        // 98 rows: the candidate 99 is taken, the search wraps to 1 and stops at 50.
        QCOMPARE(w->NewGroupID(), 50);
    }

    void newGroupNamesAndKeys()
    {
        TestApp app;
        auto w = openWindow<GroupRegister>(app);
        QCOMPARE(w->windowTitle(), QStringLiteral("グループ登録"));
        QVERIFY(!w->tools()->menu(QStringLiteral("ID_mnuFilter")));
        QVERIFY(!w->findChild<QWidget *>(QStringLiteral("cmdGroup")));
        child<QPushButton>(w.get(), "cmdAdd")->click();
        QCOMPARE(app.scalar(QStringLiteral("select GroupID || グループ名称 || '/' || フリガナ from T_グループ")).toString(),
                 QStringLiteral("1グループ１/グループ１"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("グループ１"));

        TestApp gaps;
        gaps.addGroups({"一", "二"});
        gaps.exec(QStringLiteral("with recursive n(i) as (select 4 union all select i + 1 from n where i < 99) "
                                 "insert into T_グループ select i, '班', 'ハン' from n"));
        QCOMPARE(gaps.count(QStringLiteral("T_グループ")), 98);
        auto g = openWindow<GroupRegister>(gaps);
        clickTool(g.get(), "ID_EditAdd");
        QCOMPARE(gaps.scalar(QStringLiteral("select グループ名称 from T_グループ where GroupID = 3")).toString(),
                 QStringLiteral("グループ３"));
        QVERIFY(!enabled(g.get(), "cmdAdd")); // 99 now
    }

    void deletingAMemberTakesItsLinksOnly()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMembers({"山田", "伊藤"});
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, 1);
        app.addNotice(1, QStringLiteral("総会"));
        app.link(noticeDestinations(), 1, 1);
        auto w = openWindow<MemberRegister>(app);
        w->list()->setActiveCell(3, 1);
        child<QToolButton>(w.get(), "cmdDel")->click();
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 1);
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報")), 1);
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("MemberID = 2")), 1);
        QCOMPARE(app.count(QStringLiteral("T_グループ")), 2);
        QCOMPARE(app.count(QStringLiteral("T_お知らせに対する宛先情報")), 1);
        QCOMPARE(counter(w.get()), QStringLiteral("(1/1)"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("伊藤"));
    }

    void deletingAGroupLeavesNoTraceInCards()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMember(1, QStringLiteral("山田"));
        app.link(memberGroups(), 1, {1, 2});
        app.addNotice(1, QStringLiteral("総会"));
        app.link(noticeDestinations(), 1, {1, 2});
        {
            auto g = openWindow<GroupRegister>(app);
            g->list()->setActiveCell(2, 1);
            g->DeleteRecord();
            QCOMPARE(counter(g.get()), QStringLiteral("(1/1)"));
            QCOMPARE(child<QLineEdit>(g.get(), "txtName")->text(), QStringLiteral("会計"));
        }
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("GroupID = 1")), 0);
        QCOMPARE(app.count(QStringLiteral("T_お知らせに対する宛先情報"), QStringLiteral("GroupID = 1")), 0);
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報")), 1);
        QCOMPARE(app.count(QStringLiteral("T_お知らせに対する宛先情報")), 1);
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 1);
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 1);

        auto m = openWindow<MemberRegister>(app);
        auto *groups = child<SpreadGrid>(m.get(), "fpSpread2");
        QCOMPARE(groups->maxRows(), 1);
        QCOMPARE(groups->text(1, 1), QStringLiteral("会計"));
    }

    // The card never shows another member's groups: a refill of the work table
    // that fails leaves the group list empty, not holding the last member's.
    void failedGroupRefillShowsNoGroups()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMembers({"山田", "伊藤"});
        app.link(memberGroups(), 1, 1);
        app.link(memberGroups(), 2, 2);
        auto w = openWindow<MemberRegister>(app);
        auto *groups = child<SpreadGrid>(w.get(), "fpSpread2");
        QCOMPARE(groups->maxRows(), 1);
        QCOMPARE(groups->text(1, 1), QStringLiteral("役員"));

        // Member 2's refill fails (the whole refill is rolled back, so the work
        // table still holds member 1's group).
        QVERIFY(app.exec(QStringLiteral("create trigger refuse before insert on T_temp_グループ一覧 "
                                        "when new.ID = 2 begin select raise(abort, 'disk I/O error'); end")));
        w->list()->setActiveCell(2, 2);
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("伊藤"));
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(グループ名称) from T_temp_グループ名称")).toString(),
                 QStringLiteral("役員"));
        QCOMPARE(groups->maxRows(), 0);

        // Back at member 1 the refill works again.
        w->list()->setActiveCell(2, 1);
        QCOMPARE(groups->maxRows(), 1);
        QCOMPARE(groups->text(1, 1), QStringLiteral("役員"));
    }

    void refusedDeleteKeepsRecordAndLinks()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.addGroup(1, QStringLiteral("役員"));
        app.link(memberGroups(), 1, 1);
        // The link delete is refused, so the record must stay too.
        app.exec(QStringLiteral("create trigger keep before delete on T_メンバーの登録グループ情報 "
                                "begin select raise(abort, 'locked'); end"));
        auto w = openWindow<MemberRegister>(app);
        QString message;
        test::acceptNextMessage(&message);
        w->DeleteRecord();
        QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 1);
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報")), 1);
        QCOMPARE(w->list()->maxRows(), 1);
        QCOMPARE(counter(w.get()), QStringLiteral("(1/1)"));
    }

    void navigationSavesTheCardAndFollowsTheTable()
    {
        TestApp app;
        app.addMembers({"山田", "伊藤", "上田"});
        auto w = openWindow<MemberRegister>(app);
        QCOMPARE(counter(w.get()), QStringLiteral("(1/3)"));
        QVERIFY(!enabled(w.get(), "cmdTop"));
        QVERIFY(!enabled(w.get(), "cmdPrevious"));
        QVERIFY(enabled(w.get(), "cmdNext"));
        QVERIFY(enabled(w.get(), "cmdBottom"));

        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田一郎"));
        child<QToolButton>(w.get(), "cmdNext")->click();
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("山田一郎"));
        QCOMPARE(w->list()->text(2, 1), QStringLiteral("山田一郎"));
        QCOMPARE(counter(w.get()), QStringLiteral("(2/3)"));
        QCOMPARE(w->list()->activeRow(), 2);
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("伊藤"));
        for (const char *b : {"cmdTop", "cmdPrevious", "cmdNext", "cmdBottom"})
            QVERIFY2(enabled(w.get(), b), b);

        child<QToolButton>(w.get(), "cmdBottom")->click();
        QCOMPARE(counter(w.get()), QStringLiteral("(3/3)"));
        QVERIFY(enabled(w.get(), "cmdTop"));
        QVERIFY(!enabled(w.get(), "cmdNext"));
        QVERIFY(!enabled(w.get(), "cmdBottom"));
        child<QToolButton>(w.get(), "cmdPrevious")->click();
        QCOMPARE(counter(w.get()), QStringLiteral("(2/3)"));
        child<QToolButton>(w.get(), "cmdTop")->click();
        QCOMPARE(counter(w.get()), QStringLiteral("(1/3)"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("山田一郎"));

        // Moving in the list shows each row on the card and each cell's input range.
        w->list()->setFocus();
        w->list()->setActiveCell(5, 3);
        QCOMPARE(counter(w.get()), QStringLiteral("(3/3)"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("上田"));
        auto *panel1 = child<QLabel>(w.get(), "StatusBar1Panel1");
        QCOMPARE(panel1->text(), QStringLiteral("入力範囲：64ﾊﾞｲﾄ以内の文字列"));
        w->list()->setActiveCell(3, 3);
        QCOMPARE(panel1->text(), QStringLiteral("入力範囲：20ﾊﾞｲﾄ以内の文字列"));
        child<QLineEdit>(w.get(), "txtEmail")->setFocus();
        QTRY_VERIFY(panel1->text().isEmpty());
    }

    void editsInTheListReachTheCardAndTheTable()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        auto w = openWindow<MemberRegister>(app);
        QVERIFY(w->list()->setText(3, 1, QStringLiteral("ヤマダ")));
        QCOMPARE(memberField(app, 1, QStringLiteral("フリガナ")), QStringLiteral("ヤマダ"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtFurigana")->text(), QStringLiteral("ヤマダ"));
    }

    void cardBoxesSaveWhenLeftAndMoveWithEnterAndArrows()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        auto w = openWindow<MemberRegister>(app);
        auto *name = child<QLineEdit>(w.get(), "txtName");
        auto *reading = child<QLineEdit>(w.get(), "txtFurigana");
        auto *honorific = child<QComboBox>(w.get(), "cboDono");
        auto *mail = child<QLineEdit>(w.get(), "txtEmail");
        QCOMPARE(name->maxLength(), 10);
        QCOMPARE(reading->maxLength(), 20);
        QCOMPARE(mail->maxLength(), 64);
        QCOMPARE(honorific->lineEdit()->maxLength(), 10);
        QCOMPARE(honorific->itemText(0), QStringLiteral("様"));
        QCOMPARE(honorific->count(), app.count(QStringLiteral("T_敬称")));

        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("yamada"));
        QTest::keyClick(name, Qt::Key_Return);
        QTRY_VERIFY(reading->hasFocus());
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("yamada"));
        QTest::keyClick(reading, Qt::Key_Up);
        QTRY_VERIFY(name->hasFocus());
        QTest::keyClick(name, Qt::Key_Down);
        QTRY_VERIFY(reading->hasFocus());
        QTest::keyClick(reading, Qt::Key_Enter);
        QTRY_VERIFY(honorific->hasFocus() || honorific->lineEdit()->hasFocus());

        // A honorific that is not in the list can be typed.
        honorific->lineEdit()->selectAll();
        honorific->lineEdit()->insert(QStringLiteral("社長"));
        mail->setFocus();
        QTRY_VERIFY(mail->hasFocus());
        QCOMPARE(memberField(app, 1, QStringLiteral("敬称")), QStringLiteral("社長"));

        // Only half-width letters, digits and symbols go into the mail box.
        QTest::keyClicks(mail, QStringLiteral("a.b@ex"));
        QTest::keyClick(mail, Qt::Key_A, Qt::NoModifier); // an ordinary letter
        QKeyEvent wide(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("あ"));
        QCoreApplication::sendEvent(mail, &wide);
        QCOMPARE(mail->text(), QStringLiteral("a.b@exa"));
        QTest::keyClick(mail, Qt::Key_Up);
        QCOMPARE(memberField(app, 1, QStringLiteral("E-Mail")), QStringLiteral("a.b@exa"));
    }

    void closeToolAndCloseBoxBothKeepTheCard()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        {
            auto w = openWindow<MemberRegister>(app);
            child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田花子"));
            clickTool(w.get(), "ID_Close");
            QVERIFY(!w->isVisible());
        }
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("山田花子"));
        {
            auto w = openWindow<MemberRegister>(app);
            child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田春子"));
            w->close(); // the close box
            QVERIFY(!w->isVisible());
        }
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("山田春子"));
    }

    void addToolKeepsWhatWasTypedOnTheCard()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        auto w = openWindow<MemberRegister>(app);
        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田次郎"));
        clickTool(w.get(), "ID_EditAdd"); // a tool takes no focus from the card
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("山田次郎"));
        QCOMPARE(counter(w.get()), QStringLiteral("(2/2)"));
    }

    void refusedSaveIsReported()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        auto w = openWindow<MemberRegister>(app);
        app.exec(QStringLiteral("create trigger readonly before update on T_メンバー "
                                "begin select raise(abort, 'read-only'); end"));
        QString message;
        test::acceptNextMessage(&message);
        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("変更"));
        w->SaveRecord();
        QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
        QVERIFY(message.contains(QStringLiteral("read-only")));
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("山田"));
    }

    void valueLongerThanItsBoxIsNotCutByShowingIt()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("一二三四五六七八九十壱弐"), QStringLiteral("ア"));
        auto w = openWindow<MemberRegister>(app);
        child<QLineEdit>(w.get(), "txtFurigana")->setText(QStringLiteral("イ"));
        w->SaveRecord();
        QCOMPARE(memberField(app, 1, QStringLiteral("名前")), QStringLiteral("一二三四五六七八九十壱弐"));
        QCOMPARE(memberField(app, 1, QStringLiteral("フリガナ")), QStringLiteral("イ"));
    }

    void copyAndPasteRows()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@example.jp"));
        app.addMember(2, QStringLiteral("伊藤"), QStringLiteral("イトウ"), QStringLiteral("さん"), QStringLiteral("i@example.jp"));
        app.addMember(3, QStringLiteral("上田"), QStringLiteral("ウエダ"), QStringLiteral("君"), QStringLiteral("u@example.jp"));
        auto w = openWindow<MemberRegister>(app);

        w->list()->clearSelection();
        QString message;
        QString title;
        test::acceptNextMessage(&message, &title);
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        clickTool(w.get(), "ID_EditCopy");
        QCOMPARE(message, QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
        QCOMPARE(title, QStringLiteral("メンバー登録"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));

        // From column 2 to the selection's last column, whatever column it starts at.
        w->list()->selectBlock(3, 1, 4, 2);
        clickTool(w.get(), "ID_mnuEditCopy");
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("山田\tヤマダ\t様\r\n伊藤\tイトウ\tさん\r\n"));

        child<QToolButton>(w.get(), "cmdBottom")->click();
        w->list()->selectBlock(2, 3, 2, 3);
        // The row beyond the last one is offered as a new record; declined, nothing is added.
        answerNextModal([](QWidget *summary) { child<QPushButton>(summary, "cmdCancel")->click(); });
        clickTool(w.get(), "ID_EditPaste");
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 3);
        QCOMPARE(w->list()->maxRows(), 3);
        QCOMPARE(app.scalar(QStringLiteral("select 名前 || フリガナ || 敬称 || \"E-Mail\" from T_メンバー "
                                           "where MemberID = 3")).toString(),
                 QStringLiteral("山田ヤマダ様u@example.jp"));
        QCOMPARE(w->list()->text(2, 3), QStringLiteral("山田"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtName")->text(), QStringLiteral("山田")); // the card shows row 3
    }

    void readingsFromTheInputMethodFillTheFurigana()
    {
        TestApp app;
        app.addMember(1, QString());
        auto w = openWindow<MemberRegister>(app);
        auto *name = child<QLineEdit>(w.get(), "txtName");
        auto *reading = child<QLineEdit>(w.get(), "txtFurigana");
        name->setFocus();
        for (const char *s : {"ｙ", "や", "やｍ", "やま", "やまｄ", "やまだ"})
            sendPreedit(name, QString::fromUtf8(s));
        sendPreedit(name, QStringLiteral("山田"));
        sendCommit(name, QStringLiteral("山田"));
        QCOMPARE(reading->text(), QStringLiteral("ヤマダ"));
        for (const char *s : {"た", "たろ", "たろう"})
            sendPreedit(name, QString::fromUtf8(s));
        sendPreedit(name, QStringLiteral("太郎"));
        sendCommit(name, QStringLiteral("太郎"));
        QCOMPARE(name->text(), QStringLiteral("山田太郎"));
        QCOMPARE(reading->text(), QStringLiteral("ヤマダタロウ"));
        name->clear();
        QCOMPARE(reading->text(), QStringLiteral("ヤマダタロウ"));
        // Half-width kana and digits come out full width.
        sendPreedit(name, QStringLiteral("ｲﾁﾛｳ2"));
        sendCommit(name, QStringLiteral("一郎2"));
        QCOMPARE(reading->text(), QStringLiteral("ヤマダタロウイチロウ２"));

        // The group register's name box does the same.
        auto g = openWindow<GroupRegister>(app);
        child<QPushButton>(g.get(), "cmdAdd")->click();
        auto *groupName = child<QLineEdit>(g.get(), "txtName");
        auto *groupReading = child<QLineEdit>(g.get(), "txtFurigana");
        groupName->clear();
        groupReading->clear();
        for (const char *s : {"や", "やく", "やくい", "やくいん"})
            sendPreedit(groupName, QString::fromUtf8(s));
        sendPreedit(groupName, QStringLiteral("役員"));
        sendCommit(groupName, QStringLiteral("役員"));
        QCOMPARE(groupReading->text(), QStringLiteral("ヤクイン"));
    }

    void fontSizesAndCard()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.setSetting("InpDBmember", "SpreadFontSize", "7");
        auto w = openWindow<MemberRegister>(app);
        QVERIFY(w->tools()->tool(QStringLiteral("ID_mnuFontSize3"))->isChecked());
        QCOMPARE(w->list()->font().pointSize(), 9);
        clickTool(w.get(), "ID_mnuFontSize1");
        QCOMPARE(w->list()->font().pointSize(), 14);
        clickTool(w.get(), "ID_mnuFontSize5");
        QCOMPARE(w->list()->font().pointSize(), 6);

        auto *card = child<QScrollArea>(w.get(), "VSViewPort1");
        QVERIFY(w->tools()->tool(QStringLiteral("ID_mnuDispCard"))->isChecked());
        QVERIFY(card->isVisible());
        clickTool(w.get(), "ID_mnuDispCard");
        QVERIFY(!card->isVisible());
        QVERIFY(app.settingLong("InpDBmember", "SpreadW") > 0);
        clickTool(w.get(), "ID_mnuDispCard");
        QVERIFY(card->isVisible());
        w->close();
        QCOMPARE(app.settingLong("InpDBmember", "SpreadFontSize"), 5);

        app.setSetting("InpDBmember", "SpreadFontSize", "2");
        auto again = openWindow<MemberRegister>(app);
        QVERIFY(again->tools()->tool(QStringLiteral("ID_mnuFontSize2"))->isChecked());
        QCOMPARE(again->list()->font().pointSize(), 12);
    }

    void storedWidthsAreRestored()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        const QString s = QStringLiteral("InpDBmember");
        app.setSetting(s, "C2", "1500.5");
        app.setSetting(s, "C1", "900");
        app.setSetting(s, "SpreadW", "0");
        {
            auto w = openWindow<MemberRegister>(app);
            QCOMPARE(w->list()->colWidthTwips(2), 1500); // the whole number of 1500.5
            QCOMPARE(w->list()->colWidthTwips(1), 0);    // the key stays hidden
            const int designList = twipsToPxX(MemberRegister::Design().designListTwips, w.get());
            QVERIFY(qAbs(child<QSplitter>(w.get(), "SSSplitter1")->sizes().value(0) - designList) <= 2);
        }
        app.setSetting(s, "SpreadW", "3000");
        auto w = openWindow<MemberRegister>(app);
        QCOMPARE(child<QSplitter>(w.get(), "SSSplitter1")->sizes().value(0), twipsToPxX(3000, w.get()));
    }

    void memberLayoutIsWrittenAsItChanges()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        const QString s = QStringLiteral("InpDBmember");
        auto w = openWindow<MemberRegister>(app);
        auto *splitter = child<QSplitter>(w.get(), "SSSplitter1");
        const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
        // A drag moves the divider step by step; the file is written once the
        // drag pauses, with where it stopped.
        for (int x = 280; x <= 300; x += 5) {
            splitter->setSizes({x, total - x});
            QMetaObject::invokeMethod(splitter, "splitterMoved", Q_ARG(int, x), Q_ARG(int, 1));
        }
        QCOMPARE(app.settingLong(s, "SpreadW"), 0);
        QTRY_COMPARE(app.settingLong(s, "SpreadW"), pxToTwipsX(300, w.get()));

        for (int width = 70; width <= 90; width += 4) // a drag on a column border
            w->list()->horizontalHeader()->resizeSection(2, width);
        w->list()->horizontalHeader()->resizeSection(2, 90);
        QCOMPARE(app.settingLong(s, "C3"), 0);
        QTRY_COMPARE(app.settingLong(s, "C3"), pxToTwipsX(90, w.get()));
        QCOMPARE(app.settingLong(s, "C1"), 0);
        QVERIFY(app.settingLong(s, "C5") > 0);
        QCOMPARE(app.settingLong(s, "Top"), 0); // not before unloading

        // A drag that the closing overtakes is written at unload.
        w->list()->horizontalHeader()->resizeSection(3, 111);
        QVERIFY(app.settingLong(s, "C4") != pxToTwipsX(111, w.get()));

        w->move(120, 90);
        clickTool(w.get(), "ID_Close");
        QCOMPARE(app.settingLong(s, "C4"), pxToTwipsX(111, w.get()));
        QCOMPARE(app.settingLong(s, "Top"), pxToTwipsY(w->frameGeometry().top(), w.get()));
        QVERIFY(app.settingLong(s, "Width") > 0);
        QVERIFY(app.settingLong(s, "Height") > 0);
        QCOMPARE(app.settingLong(s, "SpreadFontSize"), 3);
    }

    void groupLayoutIsWrittenOnlyAtUnload()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("役員"));
        const QString s = QStringLiteral("InpDBGroup");
        {
            auto w = openWindow<GroupRegister>(app);
            auto *splitter = child<QSplitter>(w.get(), "SSSplitter1");
            const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
            splitter->setSizes({250, total - 250});
            QMetaObject::invokeMethod(splitter, "splitterMoved", Q_ARG(int, 250), Q_ARG(int, 1));
            w->list()->horizontalHeader()->resizeSection(1, 140);
            QCOMPARE(app.settingLong(s, "SpreadW"), 0);
            QCOMPARE(app.settingLong(s, "C2"), 0);
            w->close(); // the close box writes the layout too
            QCOMPARE(app.settingLong(s, "SpreadW"), pxToTwipsX(250, w.get()));
            QCOMPARE(app.settingLong(s, "C2"), pxToTwipsX(140, w.get()));
            QCOMPARE(app.settingLong(s, "C1"), 0);
        }
        // And the next opening shows it again, at the saved place.
        app.setSetting(s, "Top", "1500");
        app.setSetting(s, "Left", "1200");
        app.setSetting(s, "Width", "12000");
        app.setSetting(s, "Height", "9000");
        auto w = openWindow<GroupRegister>(app);
        QCOMPARE(w->list()->colWidthTwips(2), pxToTwipsX(140, w.get()));
        QCOMPARE(child<QSplitter>(w.get(), "SSSplitter1")->sizes().value(0), 250);
        QCOMPARE(w->frameGeometry().topLeft(), QPoint(twipsToPxX(1200, w.get()), twipsToPxY(1500, w.get())));
        QCOMPARE(w->size(), QSize(twipsToPxX(12000, w.get()), twipsToPxY(9000, w.get())));
    }

    void mainWindowOpensTheRegisters()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        MainWindow main(app.context());
        main.show();
        for (const char *id : {"ID_mnuDBMember", "ID_mnuDBGroup"}) {
            QString title;
            bool modal = false;
            test::answerNextModal([&](QWidget *w) {
                title = w->windowTitle();
                modal = w->isModal();
                clickTool(static_cast<RegisterWindow *>(w), "ID_Close");
            });
            clickTool(main, id);
            QCOMPARE(title, QLatin1String(id) == QLatin1String("ID_mnuDBMember") ? QStringLiteral("メンバー登録")
                                                                              : QStringLiteral("グループ登録"));
            QVERIFY(modal);
            QVERIFY(!main.findChild<RegisterWindow *>()); // released after closing
        }
    }

    void cardHiddenAtUnloadKeepsTheListWidthBesideIt()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("役員"));
        {
            auto w = openWindow<GroupRegister>(app);
            clickTool(w.get(), "ID_mnuDispCard");
            w->close();
        }
        const int spreadW = app.settingLong("InpDBGroup", "SpreadW");
        auto w = openWindow<GroupRegister>(app);
        auto *splitter = child<QSplitter>(w.get(), "SSSplitter1");
        QCOMPARE(pxToTwipsX(splitter->sizes().value(0), w.get()), spreadW);
        QVERIFY(splitter->sizes().value(1) > 100); // the card has its room
    }
};

QTEST_MAIN(TestRegisters)
#include "test_registers.moc"
