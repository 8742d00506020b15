// The register windows wired to their store: list and card, commands, layout,
// the member register's filters and membership chooser. What the commands do
// to the tables is tested in test_registerstore.
#include "app/placement.h"
#include "db/registerstore.h"
#include "registers/groupfilterdialog.h"
#include "registers/groupregister.h"
#include "registers/keywordfilterdialog.h"
#include "registers/memberregister.h"
#include "registers/registerlist.h"
#include "support/testapp.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

using namespace lumivox;
using namespace lumivox::test;

namespace {

std::unique_ptr<RegisterWindow> openRegister(TestApp &app, bool members)
{
    std::unique_ptr<RegisterWindow> w;
    if (members)
        w = std::make_unique<MemberRegister>(app.context());
    else
        w = std::make_unique<GroupRegister>(app.context());
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the register did not become active");
    return w;
}
MemberRegister *members(const std::unique_ptr<RegisterWindow> &w)
{
    return static_cast<MemberRegister *>(w.get());
}

QString text(QWidget *w, const char *name)
{
    QWidget *c = child(w, name);
    if (auto *combo = qobject_cast<QComboBox *>(c))
        return combo->currentText();
    if (auto *label = qobject_cast<QLabel *>(c))
        return label->text();
    return static_cast<QLineEdit *>(c)->text();
}
// Which of the card's buttons can be pressed, as 1 and 0.
QString buttons(QWidget *w)
{
    QString s;
    for (const char *b : {"cmdTop", "cmdPrevious", "cmdNext", "cmdBottom", "cmdAdd", "cmdDel"})
        s += child(w, b)->isEnabled() ? u'1' : u'0';
    return s;
}
QString field(TestApp &app, int id, const char *name)
{
    return app.scalar(QStringLiteral("select \"%1\" from T_メンバー where MemberID = ?").arg(QString::fromUtf8(name)), {id})
        .toString();
}
QStringList listed(RegisterWindow *w)
{
    QStringList names;
    for (int r = 1; r <= w->list()->maxRows(); ++r)
        names << w->list()->text(2, r);
    return names;
}
void commitReading(QWidget *box, const QString &reading, const QString &text)
{
    QInputMethodEvent kana(reading, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 1, 1)});
    QCoreApplication::sendEvent(box, &kana);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(box, &commit);
}
// The work done on the keyword filter or group filter dialog.
std::function<void(QDialog &)> keywordWork(const QString &keyword, int column, const char *button = "cmdOk")
{
    return [=](QDialog &d) {
        child<QComboBox>(&d, "cboKey")->setEditText(keyword);
        child<QRadioButton>(&d, qPrintable(QStringLiteral("optItem%1").arg(column)))->click();
        child<QPushButton>(&d, button)->click();
    };
}
std::function<void(QDialog &)> tickWork(const QList<int> &rows)
{
    return [=](QDialog &d) {
        for (int r : rows)
            child<SpreadGrid>(&d, "fpSpread1")->setText(2, r, QStringLiteral("1"));
        child<QPushButton>(&d, "cmdOk")->click();
    };
}

} // namespace

class TestRegisters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyRegisterAndFirstRecord_data()
    {
        QTest::addColumn<bool>("isMembers");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("newName");
        QTest::newRow("members") << true << "メンバー登録" << "MAX:999" << "";
        QTest::newRow("groups") << false << "グループ登録" << "MAX:99" << "グループ１";
    }
    void emptyRegisterAndFirstRecord()
    {
        QFETCH(bool, isMembers);
        QFETCH(QString, title);
        QFETCH(QString, limit);
        QFETCH(QString, newName);
        TestApp app;
        auto w = openRegister(app, isMembers);
        QCOMPARE(w->windowTitle(), title);
        QCOMPARE(text(w.get(), "StatusBar1Panel2"), limit);
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(0/0)"));
        QCOMPARE(buttons(w.get()), QStringLiteral("000010"));
        QVERIFY(!child(w.get(), "txtName")->isEnabled());
        QCOMPARE(w->tools()->menu(QStringLiteral("ID_mnuFilter")) != nullptr, isMembers);
        QCOMPARE(w->findChild<QWidget *>(QStringLiteral("cmdGroup")) != nullptr, isMembers);

        child<QPushButton>(w.get(), "cmdAdd")->click();
        QCOMPARE(w->store().tableCount(), 1);
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(1/1)"));
        QCOMPARE(buttons(w.get()), QStringLiteral("000011"));
        QVERIFY(child(w.get(), "txtName")->isEnabled());
        QCOMPARE(text(w.get(), "txtName"), newName);
    }

    void capacityTurnsTheAddCommandsOff()
    {
        TestApp app;
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 99) "
                                "insert into T_グループ select i, '班' || i, 'ハン' from n"));
        auto w = openRegister(app, false);
        const auto adding = [&] {
            return QString::number(child(w.get(), "cmdAdd")->isEnabled() + toolEnabled(w.get(), "ID_EditAdd")
                                   + toolEnabled(w.get(), "ID_mnuEditAdd"));
        };
        QCOMPARE(adding(), QStringLiteral("0"));
        w->list()->setActiveCell(2, 50);
        clickTool(w.get(), "ID_EditDel");
        QCOMPARE(app.count(QStringLiteral("T_グループ"), QStringLiteral("GroupID = 50")), 0);
        QCOMPARE(adding(), QStringLiteral("3"));
        clickTool(w.get(), "ID_mnuEditAdd");
        QCOMPARE(app.count(QStringLiteral("T_グループ")), 99);
        QCOMPARE(adding(), QStringLiteral("0"));
    }

    void navigationListAndCard()
    {
        TestApp app;
        app.addMembers({"山田", "伊藤", "上田"});
        auto w = openRegister(app, true);
        QCOMPARE(buttons(w.get()), QStringLiteral("001111"));
        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田一郎"));
        child<QToolButton>(w.get(), "cmdNext")->click(); // saves the card first
        QCOMPARE(field(app, 1, "名前"), QStringLiteral("山田一郎"));
        QCOMPARE(w->list()->text(2, 1), QStringLiteral("山田一郎"));
        QCOMPARE(text(w.get(), "lblRecord") + text(w.get(), "txtName"), QStringLiteral("(2/3)伊藤"));
        QCOMPARE(w->list()->activeRow(), 2);
        QCOMPARE(buttons(w.get()), QStringLiteral("111111"));
        child<QToolButton>(w.get(), "cmdBottom")->click();
        QCOMPARE(text(w.get(), "lblRecord") + buttons(w.get()), QStringLiteral("(3/3)110011"));
        child<QToolButton>(w.get(), "cmdPrevious")->click();
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(2/3)"));
        child<QToolButton>(w.get(), "cmdTop")->click();
        QCOMPARE(text(w.get(), "lblRecord") + text(w.get(), "txtName"), QStringLiteral("(1/3)山田一郎"));

        // Moving in the list shows each row and each cell's input range.
        w->list()->setFocus();
        w->list()->setActiveCell(5, 3);
        QCOMPARE(text(w.get(), "lblRecord") + text(w.get(), "txtName"), QStringLiteral("(3/3)上田"));
        QCOMPARE(text(w.get(), "StatusBar1Panel1"), QStringLiteral("入力範囲：64ﾊﾞｲﾄ以内の文字列"));
        w->list()->setActiveCell(3, 3);
        QCOMPARE(text(w.get(), "StatusBar1Panel1"), QStringLiteral("入力範囲：20ﾊﾞｲﾄ以内の文字列"));
        QVERIFY(w->list()->setText(3, 3, QStringLiteral("ウエダ"))); // typed in the list
        QCOMPARE(text(w.get(), "txtFurigana"), QStringLiteral("ウエダ"));
        child(w.get(), "txtEmail")->setFocus();
        QTRY_VERIFY(text(w.get(), "StatusBar1Panel1").isEmpty());
    }

    void cardBoxesSaveWhenLeftAndMoveWithEnterAndArrows()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("一二三四五六七八九十壱弐"), QStringLiteral("ヤマダ"));
        auto w = openRegister(app, true);
        auto *name = child<QLineEdit>(w.get(), "txtName");
        auto *reading = child<QLineEdit>(w.get(), "txtFurigana");
        auto *honorific = child<QComboBox>(w.get(), "cboDono");
        auto *mail = child<QLineEdit>(w.get(), "txtEmail");
        QCOMPARE(QList<int>({name->maxLength(), reading->maxLength(), honorific->lineEdit()->maxLength(),
                             mail->maxLength()}),
                 QList<int>({10, 20, 10, 64}));
        QCOMPARE(honorific->count(), app.count(QStringLiteral("T_敬称")));
        // Shown cut to its box, the name is stored whole while it is not edited.
        reading->setFocus();
        QTRY_VERIFY(reading->hasFocus());
        reading->setText(QStringLiteral("ヤマ"));
        QTest::keyClick(reading, Qt::Key_Up);
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(field(app, 1, "フリガナ") + field(app, 1, "名前"), QStringLiteral("ヤマ一二三四五六七八九十壱弐"));
        QTest::keyClick(name, Qt::Key_Down);
        QTest::keyClick(reading, Qt::Key_Return);
        QTRY_VERIFY(honorific->hasFocus() || honorific->lineEdit()->hasFocus());
        honorific->lineEdit()->selectAll();
        honorific->lineEdit()->insert(QStringLiteral("社長")); // not in the list
        mail->setFocus();
        QTRY_VERIFY(mail->hasFocus());
        QCOMPARE(field(app, 1, "敬称"), QStringLiteral("社長"));
        QTest::keyClicks(mail, QStringLiteral("a.b@ex"));
        QKeyEvent wide(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("あ"));
        QCoreApplication::sendEvent(mail, &wide);
        QCOMPARE(mail->text(), QStringLiteral("a.b@ex"));
        clickTool(w.get(), "ID_EditAdd"); // a tool takes no focus: the card is saved first
        QCOMPARE(field(app, 1, "E-Mail"), QStringLiteral("a.b@ex"));
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(2/2)"));
    }

    void closingKeepsTheCard_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("ID_Close") << false;
        QTest::newRow("close box") << true;
    }
    void closingKeepsTheCard()
    {
        QFETCH(bool, closeBox);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        auto w = openRegister(app, true);
        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("山田花子"));
        if (closeBox)
            w->close();
        else
            clickTool(w.get(), "ID_Close");
        QVERIFY(!w->isVisible());
        QCOMPARE(field(app, 1, "名前"), QStringLiteral("山田花子"));
    }

    void refusedWritesAreReported()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.link(memberGroups(), 1, 1);
        auto w = openRegister(app, true);
        app.exec(QStringLiteral("create trigger refuse before update on T_メンバー begin select raise(abort, 'read-only'); end"));
        app.exec(QStringLiteral("create trigger keep before delete on T_メンバーの登録グループ情報 "
                                "begin select raise(abort, 'locked'); end"));
        Answers answers;
        child<QLineEdit>(w.get(), "txtName")->setText(QStringLiteral("変更"));
        w->saveRecord();
        child<QToolButton>(w.get(), "cmdDel")->click();
        QCOMPARE(answers.messages.size(), 2);
        QVERIFY(answers.messages[0].text.contains(QStringLiteral("保存できませんでした")));
        QVERIFY(answers.messages[0].text.contains(QStringLiteral("read-only")));
        QVERIFY(answers.lastText().contains(QStringLiteral("locked")));
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(1/1)"));
    }

    void copyAndPasteRows()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@ex.jp"));
        app.addMember(2, QStringLiteral("伊藤"), QStringLiteral("イトウ"), QStringLiteral("さん"));
        app.addMember(3, QStringLiteral("上田"), QStringLiteral("ウエダ"), QStringLiteral("君"), QStringLiteral("u@ex.jp"));
        auto w = openRegister(app, true);
        Answers answers;
        w->list()->clearSelection();
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        clickTool(w.get(), "ID_EditCopy");
        QCOMPARE(answers.lastText(), QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));

        w->list()->selectBlock(3, 1, 4, 2); // from column 2, whatever column the block starts at
        clickTool(w.get(), "ID_mnuEditCopy");
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("山田\tヤマダ\t様\r\n伊藤\tイトウ\tさん\r\n"));
        child<QToolButton>(w.get(), "cmdBottom")->click();
        w->list()->selectBlock(2, 3, 2, 3);
        clickTool(w.get(), "ID_EditPaste");
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 3);
        QCOMPARE(field(app, 3, "名前") + field(app, 3, "敬称") + field(app, 3, "E-Mail"),
                 QStringLiteral("山田様u@ex.jp"));
        QCOMPARE(text(w.get(), "txtName"), QStringLiteral("山田"));
    }

    void readingsAreAppendedToTheFurigana_data()
    {
        QTest::addColumn<bool>("isMembers");
        QTest::newRow("members") << true;
        QTest::newRow("groups") << false;
    }
    void readingsAreAppendedToTheFurigana()
    {
        QFETCH(bool, isMembers);
        TestApp app;
        app.addMember(1, QString());
        app.addGroup(1, QString());
        auto w = openRegister(app, isMembers);
        auto *name = child<QLineEdit>(w.get(), "txtName");
        auto *reading = child<QLineEdit>(w.get(), "txtFurigana");
        reading->setText(QStringLiteral("ヤ"));
        commitReading(name, QStringLiteral("まだ"), QStringLiteral("間田"));
        commitReading(name, QStringLiteral("ﾀﾛｳ2"), QStringLiteral("太郎2"));
        name->clear();
        QCOMPARE(reading->text(), QStringLiteral("ヤマダタロウ２"));
    }

    void layoutFontSizeAndCard_data()
    {
        QTest::addColumn<bool>("isMembers");
        QTest::addColumn<QString>("section");
        QTest::newRow("members: as it changes") << true << "InpDBmember";
        QTest::newRow("groups: when it goes") << false << "InpDBGroup";
    }
    void layoutFontSizeAndCard()
    {
        QFETCH(bool, isMembers);
        QFETCH(QString, section);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.addGroup(1, QStringLiteral("役員"));
        app.setSetting(section, "SpreadFontSize", "7");
        app.setSetting(section, "SpreadW", "3000");
        auto w = openRegister(app, isMembers);
        auto *splitter = child<QSplitter>(w.get(), "SSSplitter1");
        QCOMPARE(splitter->sizes().value(0), twipsToPxX(3000, w.get()));
        QCOMPARE(w->list()->font().pointSize(), 9); // 7 is no size: 中
        clickTool(w.get(), "ID_mnuFontSize1");
        QCOMPARE(w->list()->font().pointSize(), 14);

        // A drag writes once it pauses (members), or nothing until the window goes.
        const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
        for (int x = 280; x <= 300; x += 5) {
            splitter->setSizes({x, total - x});
            QMetaObject::invokeMethod(splitter, "splitterMoved", Q_ARG(int, x), Q_ARG(int, 1));
        }
        w->list()->horizontalHeader()->resizeSection(2, 90);
        QTest::qWait(400);
        const auto written = [&](const char *key) { return app.settingLong(section, key); };
        QCOMPARE(written("SpreadW"), isMembers ? pxToTwipsX(300, w.get()) : 3000);
        QCOMPARE(written("C3"), isMembers ? pxToTwipsX(90, w.get()) : 0);

        // The card switched off keeps the list's width beside it for the next opening.
        clickTool(w.get(), "ID_mnuDispCard");
        QVERIFY(!child(w.get(), "VSViewPort1")->isVisible());
        w->list()->horizontalHeader()->resizeSection(1, 111);
        w->close();
        QCOMPARE(written("SpreadW"), pxToTwipsX(300, w.get()));
        QCOMPARE(written("C2"), pxToTwipsX(111, w.get()));
        QCOMPARE(written("C1"), 0);
        QCOMPARE(written("SpreadFontSize"), 1);
        QVERIFY(written("Width") > 0);
    }

    void keywordDialogKeepsAHistory()
    {
        TestApp app;
        Answers answers;
        const auto run = [&](std::function<void(QDialog &)> work, QStringList *shown = nullptr) {
            KeywordFilterDialog dialog(app.context());
            answers.nextDialog([&](QDialog &d) {
                if (shown)
                    for (int i = 0; i < child<QComboBox>(&d, "cboKey")->count(); ++i)
                        *shown << child<QComboBox>(&d, "cboKey")->itemText(i);
                work(d);
            });
            const int result = runModal(dialog);
            return QString::number(result) + dialog.columnName() + dialog.keyword();
        };
        QStringList shown;
        QCOMPARE(run(keywordWork(QStringLiteral("abc"), 2), &shown), QStringLiteral("1[E-Mail]abc"));
        QVERIFY(shown.isEmpty());
        for (int i = 1; i <= 21; ++i)
            run(keywordWork(QStringLiteral("k%1").arg(i), 0));
        shown.clear();
        // Picked from the list, a keyword goes to the top again; the list keeps 20.
        QCOMPARE(run([](QDialog &d) {
                     child<QComboBox>(&d, "cboKey")->setCurrentIndex(3);
                     child<QPushButton>(&d, "cmdOk")->click();
                 }, &shown),
                 QStringLiteral("1[名前]k18"));
        QCOMPARE(shown.size(), 20);
        QCOMPARE(shown.first() + shown.last(), QStringLiteral("k21k2"));
        for (auto work : {keywordWork(QStringLiteral("x"), 1, "cmdCancel"), keywordWork({}, 0),
                          std::function<void(QDialog &)>([](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); })})
            run(work);
        shown.clear();
        QCOMPARE(run(keywordWork({}, 0, "cmdCancel"), &shown), QStringLiteral("0[名前]"));
        QCOMPARE(shown.mid(0, 2), (QStringList{"k18", "k21"}));
        QCOMPARE(shown.count(QStringLiteral("k18")), 2);
    }

    void groupFilterDialog()
    {
        TestApp app;
        for (int g : {3, 5, 7})
            app.addGroup(g, QStringLiteral("班%1").arg(g));
        Answers answers;
        GroupFilterDialog dialog(app.context());
        answers.nextDialog([&](QDialog &d) {
            child<QPushButton>(&d, "cmdOk")->click(); // nothing ticked: refused
            QVERIFY(d.isVisible());
            QCOMPARE(child<SpreadGrid>(&d, "fpSpread1")->colWidthTwips(1), 0);
            tickWork({3, 1})(d);
        });
        QCOMPARE(runModal(dialog), int(QDialog::Accepted));
        QCOMPARE(answers.lastText(), QStringLiteral("絞り込みを行うｸﾞﾙｰﾌﾟはひとつ以上選択してください。"));
        QCOMPARE(dialog.groupList(), QStringLiteral("(3,7)")); // in the order of the list
        GroupFilterDialog again(app.context());
        answers.nextDialog([](QDialog &d) { // every group unticked again
            QCOMPARE(child<SpreadGrid>(&d, "fpSpread1")->text(2, 1).toInt(), 0);
        });
        QCOMPARE(runModal(again), int(QDialog::Rejected));
    }

    void filtersOfTheMemberList()
    {
        TestApp app;
        app.addGroups({"班1", "班2", "班3"});
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        app.addMember(2, QStringLiteral("佐藤"), QStringLiteral("サトウ"));
        app.addMember(3, QStringLiteral("田山"), QStringLiteral("タヤマ"));
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, 2);
        auto w = openRegister(app, true);
        Answers answers;
        const auto filter = [&](const char *tool, std::function<void(QDialog &)> work) {
            answers.nextDialog(std::move(work));
            clickTool(w.get(), tool);
            return listed(w.get()).join(u',') + text(w.get(), "lblRecord");
        };
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork(QStringLiteral("ヤマ"), 1)), QStringLiteral("山田,田山(1/2)"));
        QVERIFY(members(w)->isFiltered());
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork(QStringLiteral("佐"), 0, "cmdCancel")),
                 QStringLiteral("山田,田山(1/2)"));
        QCOMPARE(filter("ID_mnuFilterGrp", tickWork({1, 2})), QStringLiteral("山田,佐藤(1/2)"));
        QCOMPARE(filter("ID_mnuFilterGrp", tickWork({3})), QStringLiteral("(0/0)"));
        QVERIFY(!child(w.get(), "txtName")->isEnabled());
        QVERIFY(!child(w.get(), "cmdGroup")->isEnabled());
        QCOMPARE(child<SpreadGrid>(w.get(), "fpSpread2")->maxRows(), 0);
        clickTool(w.get(), "ID_mnuFilterOff");
        QCOMPARE(listed(w.get()).size(), 3);
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(1/3)"));
        QVERIFY(!members(w)->isFiltered());

        // A failing filter is reported and the list stays as it was, and usable.
        QVERIFY(members(w)->filterByKeyword(QStringLiteral("[フリガナ]"), QStringLiteral("サト")));
        QVERIFY(!members(w)->filterByKeyword(QStringLiteral("[名前]"), QString(60000, u'a')));
        QVERIFY(answers.lastText().startsWith(QStringLiteral("絞り込みを行えませんでした。")));
        app.exec(QStringLiteral("drop table T_temp_グループ一覧"));
        QVERIFY(!members(w)->filterByGroups(QStringLiteral("(1)")));
        QVERIFY(answers.lastText().startsWith(QStringLiteral("グループで絞り込めませんでした。")));
        QCOMPARE(listed(w.get()), QStringList{QStringLiteral("佐藤")});
        QVERIFY(w->list()->setText(2, 1, QStringLiteral("佐藤二郎")));
        QCOMPARE(field(app, 2, "名前"), QStringLiteral("佐藤二郎"));
    }

    void membershipChooserFromTheCard()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMember(1, QStringLiteral("山田"), {}, QStringLiteral("様"));
        app.addMember(2, QStringLiteral("伊藤"), {}, QStringLiteral("先生"));
        app.link(memberGroups(), 1, {1, 9}); // 9: a group that no longer exists
        app.link(memberGroups(), 2, 2);
        auto w = openRegister(app, true);
        auto *groups = child<SpreadGrid>(w.get(), "fpSpread2");
        QCOMPARE(groups->maxRows(), 1);
        QCOMPARE(groups->text(1, 1), QStringLiteral("役員"));
        // A refill of the card's groups that fails shows none, never the last member's.
        app.exec(QStringLiteral("create trigger refuse before insert on T_temp_グループ一覧 "
                                "when new.ID = 2 begin select raise(abort, 'disk I/O error'); end"));
        w->list()->setActiveCell(2, 2);
        QCOMPARE(groups->maxRows(), 0);
        app.exec(QStringLiteral("drop trigger refuse"));

        Answers answers;
        answers.nextDialog([](QDialog &chooser) {
            QCOMPARE(child<QLabel>(&chooser, "lblName")->text(), QStringLiteral("伊藤 先生 が"));
            QCOMPARE(child<QSpinBox>(&chooser, "numMemberID")->value(), 2);
            child<SpreadGrid>(&chooser, "fpSpread1")->setText(2, 1, QStringLiteral("1"));
            child<QPushButton>(&chooser, "cmdOk")->click();
        });
        child<QPushButton>(w.get(), "cmdGroup")->click();
        QCOMPARE(groups->maxRows(), 2);
        QCOMPARE(groups->text(1, 1) + groups->text(1, 2), QStringLiteral("役員会計"));
        QCOMPARE(text(w.get(), "lblRecord"), QStringLiteral("(2/2)"));
        answers.nextDialog([](QDialog &chooser) { child<QPushButton>(&chooser, "cmdCancel")->click(); });
        app.exec(QStringLiteral("delete from T_メンバーの登録グループ情報"));
        child<QPushButton>(w.get(), "cmdGroup")->click();
        QCOMPARE(groups->maxRows(), 2); // not reread after ｷｬﾝｾﾙ
    }
};

QTEST_MAIN(TestRegisters)
#include "test_registers.moc"
