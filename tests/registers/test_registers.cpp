// The register windows wired to their store (what the commands do to the tables
// is tested in test_registerstore): list and card, commands, layout, the member
// list's filters and the membership chooser.
#include "app/keywordhistory.h"
#include "app/windowlayout.h"
#include "db/registerstore.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "support/testapp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;

namespace {

// A register on a test folder, shown and active, its controls found by name.
class Shown
{
public:
    Shown(TestApp &app, bool members)
    {
        if (members)
            m_w = std::make_unique<MemberRegister>(app.context());
        else
            m_w = std::make_unique<GroupRegister>(app.context());
        m_w->show();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }
    RegisterWindow *operator->() const { return m_w.get(); }
    RegisterWindow *window() const { return m_w.get(); }
    MemberRegister *members() const { return static_cast<MemberRegister *>(m_w.get()); }
    template <class T = QWidget>
    T *get(const char *name) const { return child<T>(m_w.get(), name); }
    QLineEdit *box(const char *name) const { return get<QLineEdit>(name); }
    QString text(const char *name) const
    {
        if (auto *combo = qobject_cast<QComboBox *>(get(name)))
            return combo->currentText();
        if (auto *label = qobject_cast<QLabel *>(get(name)))
            return label->text();
        return box(name)->text();
    }
    // The record counter, then which of the card's buttons can be pressed (1 or 0).
    QString position() const
    {
        QString s = text("lblRecord");
        for (const char *b : {"cmdTop", "cmdPrevious", "cmdNext", "cmdBottom", "cmdAdd", "cmdDel"})
            s += get(b)->isEnabled() ? u'1' : u'0';
        return s;
    }
    void click(const char *name) const { get<QAbstractButton>(name)->click(); }
    void tool(const char *id) const { clickTool(m_w.get(), id); }
    // The names listed, then the record counter.
    QString listed() const
    {
        QStringList names;
        for (int r = 1; r <= m_w->list()->maxRows(); ++r)
            names << m_w->list()->text(2, r);
        return names.join(u',') + text("lblRecord");
    }

private:
    std::unique_ptr<RegisterWindow> m_w;
};

QString member(TestApp &app, int id, const char *fields)
{
    return app.scalar(QStringLiteral("select %1 from T_メンバー where MemberID = ?").arg(QString::fromUtf8(fields)),
                      {id}).toString();
}
// The work done on the keyword filter: type (or pick, with "#n"), choose the
// column, press a button. What the keyword list offered is kept in `offered`.
QStringList offered;
std::function<void(QDialog &)> keywordWork(const QString &keyword, int column, const char *button = "cmdOk")
{
    return [=](QDialog &d) {
        auto *box = child<QComboBox>(&d, "cboKey");
        offered.clear();
        for (int i = 0; i < box->count(); ++i)
            offered << box->itemText(i);
        if (keyword.startsWith(u'#'))
            box->setCurrentIndex(keyword.mid(1).toInt());
        else
            box->setEditText(keyword);
        child<QAbstractButton>(&d, qPrintable(QStringLiteral("optItem%1").arg(column)))->click();
        child<QAbstractButton>(&d, button)->click();
    };
}

} // namespace

class TestRegisters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachRegisterFromEmpty_data()
    {
        QTest::addColumn<bool>("isMembers");
        QTest::addColumn<QString>("captions");
        QTest::addColumn<QString>("newName");
        QTest::newRow("members") << true << "メンバー登録MAX:999" << "";
        QTest::newRow("groups") << false << "グループ登録MAX:99" << "グループ１";
    }
    void eachRegisterFromEmpty()
    {
        QFETCH(bool, isMembers);
        QFETCH(QString, captions);
        QFETCH(QString, newName);
        TestApp app;
        Shown w(app, isMembers);
        QCOMPARE(w->windowTitle() + w.text("StatusBar1Panel2"), captions);
        QCOMPARE(w.position(), QStringLiteral("(0/0)000010"));
        QVERIFY(!w.box("txtName")->isEnabled());
        QCOMPARE(w->tools()->menu(QStringLiteral("ID_mnuFilter")) != nullptr, isMembers);
        QCOMPARE(w->findChild<QWidget *>(QStringLiteral("cmdGroup")) != nullptr, isMembers);
        w.click("cmdAdd");
        QCOMPARE(w->store().tableCount(), 1);
        QCOMPARE(w.position() + w.text("txtName"), "(1/1)000011" + newName);
        QVERIFY(w.box("txtName")->isEnabled());
        QTest::keyClicks(w.box("txtName"), "1A"); // replaces the name the record came with
        QCOMPARE(w.text("txtName"), QStringLiteral("1A"));
    }

    void capacityTurnsTheAddCommandsOff()
    {
        TestApp app;
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 99) "
                                "insert into T_グループ select i, '班' || i, 'ハン' from n"));
        Shown w(app, false);
        const auto adding = [&] {
            return w.get("cmdAdd")->isEnabled() + toolEnabled(w.window(), "ID_EditAdd")
                   + toolEnabled(w.window(), "ID_mnuEditAdd");
        };
        QCOMPARE(adding(), 0);
        w->list()->setActiveCell(2, 50);
        // Asked first, saying what goes with the group; いいえ keeps it.
        app.link(memberGroups(), 1, {50});
        app.link(memberGroups(), 2, {50});
        app.link(noticeDestinations(), 7, {50});
        Answers answers;
        w.tool("ID_EditDel");
        QCOMPARE(answers.lastText(), QStringLiteral("グループ「班50」を削除しますか？\n\nこのグループへのメンバーの所属2件と，"
                                                    "お知らせの宛先としての指定1件も削除されます。メンバーとお知らせそのものは残ります。"));
        QCOMPARE(adding() + w->store().tableCount(), 99);
        answers.nextButton(QMessageBox::Yes);
        w.tool("ID_EditDel");
        QCOMPARE(adding(), 3);
        QCOMPARE(app.count(memberGroups().table) + app.count(noticeDestinations().table), 0);
        w.tool("ID_mnuEditAdd");
        QCOMPARE(adding() + w->store().tableCount(), 99);
    }

    void cardAndListFollowEachOther()
    {
        TestApp app;
        app.addMembers({"一二三四五六七八九十壱弐", "伊藤", "上田"});
        Shown w(app, true);
        auto *name = w.box("txtName");
        auto *reading = w.box("txtFurigana");
        auto *honorific = w.get<QComboBox>("cboDono");
        auto *mail = w.box("txtEmail");
        QCOMPARE(QList<int>({name->maxLength(), reading->maxLength(), honorific->lineEdit()->maxLength(),
                             mail->maxLength()}), QList<int>({10, 20, 10, 64}));
        QCOMPARE(honorific->count(), app.count(QStringLiteral("T_敬称")));
        QCOMPARE(w.position(), QStringLiteral("(1/3)001111"));

        // Enter, Down and Up move between the boxes; leaving one stores what changed
        // (the name, shown cut to its box, is kept whole while it is not edited).
        reading->setFocus();
        QTRY_VERIFY(reading->hasFocus());
        reading->setText(QStringLiteral("ヤマ"));
        QTest::keyClick(reading, Qt::Key_Up);
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(member(app, 1, "フリガナ || 名前"), QStringLiteral("ヤマ一二三四五六七八九十壱弐"));
        QTest::keyClick(name, Qt::Key_Down);
        QTest::keyClick(reading, Qt::Key_Return);
        QTRY_VERIFY(honorific->hasFocus() || honorific->lineEdit()->hasFocus());
        honorific->lineEdit()->selectAll();
        honorific->lineEdit()->insert(QStringLiteral("社長")); // not in the list
        mail->setFocus();
        QTRY_VERIFY(mail->hasFocus());
        QCOMPARE(member(app, 1, "敬称"), QStringLiteral("社長"));
        QTest::keyClicks(mail, QStringLiteral("a.b@ex"));
        QKeyEvent wide(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("あ"));
        QCoreApplication::sendEvent(mail, &wide);
        QCOMPARE(mail->text(), QStringLiteral("a.b@ex"));

        Answers answers; // an address that is not plain is stored as typed, and the user told why
        w.click("cmdNext"); // the card is stored first
        QCOMPARE(member(app, 1, "\"E-Mail\"") + w->list()->text(5, 1), QStringLiteral("a.b@exa.b@ex"));
        QVERIFY(answers.lastText().startsWith(QStringLiteral("E-Mail「a.b@ex」はメールアドレスとして正しくありません（@の後（ドメイン）に")));
        // A full-width address, pasted in the card or typed in the list, is stored in half width.
        mail->setFocus();
        mail->selectAll();
        mail->insert(QStringLiteral("ｉｔｏ＠ｅｘ．ｊｐ"));
        w->list()->setText(5, 3, QStringLiteral(" ｕｅｄａ＠ｅｘ．ｊｐ"));
        QCOMPARE(member(app, 3, "\"E-Mail\""), QStringLiteral("ueda@ex.jp"));
        w.click("cmdNext");
        QCOMPARE(member(app, 2, "\"E-Mail\""), QStringLiteral("ito@ex.jp"));
        QCOMPARE(answers.messages.size(), 1);
        w.click("cmdPrevious");
        QCOMPARE(w.position() + w.text("txtName"), QStringLiteral("(2/3)111111伊藤"));
        QCOMPARE(w->list()->activeRow(), 2);
        w.click("cmdBottom");
        QCOMPARE(w.position(), QStringLiteral("(3/3)110011"));
        w.click("cmdPrevious");
        w.click("cmdTop");
        QCOMPARE(w.position() + w.text("txtFurigana"), QStringLiteral("(1/3)001111ヤマ"));

        // Moving in the list shows each row and each cell's input range.
        w->list()->setFocus();
        w->list()->setActiveCell(5, 3);
        QCOMPARE(w.position() + w.text("txtName"), QStringLiteral("(3/3)110011上田"));
        QCOMPARE(w.text("StatusBar1Panel1"), QStringLiteral("入力範囲：64ﾊﾞｲﾄ以内の文字列"));
        QVERIFY(w->list()->setText(3, 3, QStringLiteral("ウエダ"))); // typed in the list
        QCOMPARE(w.text("txtFurigana"), QStringLiteral("ウエダ"));
        mail->setFocus();
        QTRY_VERIFY(w.text("StatusBar1Panel1").isEmpty());

        name->setText(QStringLiteral("上田花子"));
        w.tool("ID_EditAdd"); // a tool takes no focus: the card is stored first
        QCOMPARE(member(app, 3, "名前") + w.text("lblRecord"), QStringLiteral("上田花子(4/4)"));
        w.box("txtName")->setText(QStringLiteral("新人"));
        w.tool("ID_Close");
        QVERIFY(!w->isVisible());
        QCOMPARE(member(app, 4, "名前"), QStringLiteral("新人"));
    }

    void copyPasteAndRefusedWrites()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@ex.jp"));
        app.addMember(2, QStringLiteral("伊藤"), QStringLiteral("イトウ"), QStringLiteral("さん"));
        app.addMember(3, QStringLiteral("上田"), QStringLiteral("ウエダ"), QStringLiteral("君"), QStringLiteral("u@ex.jp"));
        Shown w(app, true);
        Answers answers;
        w->list()->clearSelection();
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        w.tool("ID_EditCopy");
        QCOMPARE(answers.lastText() + QApplication::clipboard()->text(), QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。untouched"));
        w->list()->selectBlock(3, 1, 4, 2); // from column 2, whatever column the block starts at
        w.tool("ID_mnuEditCopy");
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("山田\tヤマダ\t様\r\n伊藤\tイトウ\tさん\r\n"));
        w.click("cmdBottom");
        w->list()->selectBlock(2, 3, 2, 3);
        w.tool("ID_EditPaste"); // the row beyond the last is offered as a new record, and declined
        QCOMPARE(QString::number(answers.dialogsRun) + QString::number(app.count(QStringLiteral("T_メンバー"))),
                 QStringLiteral("13"));
        QCOMPARE(member(app, 3, "名前 || 敬称 || \"E-Mail\""), QStringLiteral("山田様u@ex.jp"));
        QCOMPARE(w.text("txtName"), QStringLiteral("山田"));

        // A refused save and a refused delete are reported; the list stays.
        app.link(memberGroups(), 3, 1);
        app.exec(QStringLiteral("create trigger refuse before update on T_メンバー begin select raise(abort, 'read-only'); end"));
        app.exec(QStringLiteral("create trigger keep before delete on T_メンバーの登録グループ情報 "
                                "begin select raise(abort, 'locked'); end"));
        w.box("txtName")->setText(QStringLiteral("変更"));
        w->saveRecord();
        QVERIFY(answers.lastText().contains(QStringLiteral("保存できませんでした")));
        QVERIFY(answers.lastText().contains(QStringLiteral("read-only")));
        answers.nextButton(QMessageBox::Yes);
        w.click("cmdDel");
        QCOMPARE(answers.messages.value(2).text,
                 QStringLiteral("メンバー「山田」を削除しますか？\n\n所属グループの登録1件も削除されます。"));
        QVERIFY(answers.lastText().contains(QStringLiteral("locked")));
        QCOMPARE(answers.messages.size(), 4);
        QCOMPARE(w.text("lblRecord"), QStringLiteral("(3/3)"));
    }

    // Switched off, the card leaves the whole window to the list, and the width
    // the list has beside it is kept for the next opening; the close box keeps
    // what the card holds.
    void cardSwitchedOff_data()
    {
        QTest::addColumn<bool>("isMembers");
        QTest::addColumn<QString>("section");
        QTest::newRow("members") << true << "InpDBmember";
        QTest::newRow("groups") << false << "InpDBGroup";
    }
    void cardSwitchedOff()
    {
        QFETCH(bool, isMembers);
        QFETCH(QString, section);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.addGroup(1, QStringLiteral("役員"));
        app.setSetting(section, "SpreadW", "3000");
        Shown w(app, isMembers);
        auto *splitter = w.get<QSplitter>("SSSplitter1");
        QCOMPARE(splitter->sizes().value(0), twipsToPxX(3000, w.window()));
        w.tool("ID_mnuDispCard");
        QVERIFY(!w.get("VSViewPort1")->isVisible());
        QTRY_VERIFY(splitter->sizes().value(0) > twipsToPxX(3000, w.window()));
        w.box("txtName")->setText(QStringLiteral("変更"));
        w->close();
        QCOMPARE(app.settingLong(section, "SpreadW"), 3000);
        QCOMPARE(app.scalar(isMembers ? QStringLiteral("select 名前 from T_メンバー")
                                      : QStringLiteral("select グループ名称 from T_グループ")).toString(),
                 QStringLiteral("変更"));
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
        for (int i = 20; i >= 1; --i)
            app.context().filterKeys->Add(QStringLiteral("k%1").arg(i)); // this run's keywords, newest first
        Shown w(app, true);
        Answers answers;
        const auto filter = [&](const char *tool, std::function<void(QDialog &)> work) {
            answers.nextDialog(std::move(work));
            w.tool(tool);
            return w.listed();
        };
        // Ticks groups (rows of the list) and presses OK.
        const auto ticks = [](const QList<int> &rows) {
            return [=](QDialog &d) {
                for (int r : rows)
                    child<SpreadGrid>(&d, "fpSpread1")->setText(2, r, QStringLiteral("1"));
                child<QAbstractButton>(&d, "cmdOk")->click();
            };
        };
        // The status bar says what the list is narrowed to, for as long as it is.
        const auto narrowedTo = [&] {
            auto *note = w.get<QLabel>("StatusBar1Filter");
            return note->isVisible() ? note->text() : QString();
        };
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork(QStringLiteral("やま"), 1)), QStringLiteral("山田,田山(1/2)"));
        QVERIFY(w.members()->isFiltered());
        QCOMPARE(narrowedTo(), QStringLiteral("絞り込み中：フリガナに「やま」を含むメンバー"));
        // The keyword goes to the top of the history, which keeps 20; ｷｬﾝｾﾙ, Esc and
        // an empty keyword add nothing; a keyword picked again is added again.
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork(QStringLiteral("佐"), 0, "cmdCancel")), QStringLiteral("山田,田山(1/2)"));
        QCOMPARE(QString::number(offered.size()) + offered.first() + offered.last(), QStringLiteral("20やまk2"));
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork(QStringLiteral("#3"), 0)), QStringLiteral("(0/0)")); // k18
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork({}, 0)), QStringLiteral("山田,佐藤,田山(1/3)"));
        answers.nextDialog([](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); });
        w.tool("ID_mnuFilterKey");
        QCOMPARE(filter("ID_mnuFilterKey", keywordWork({}, 0, "cmdCancel")), QStringLiteral("山田,佐藤,田山(1/3)"));
        QCOMPARE(offered.mid(0, 2) << QString::number(offered.count(QStringLiteral("k18"))),
                 (QStringList{"k18", "やま", "2"}));
        QCOMPARE(filter("ID_mnuFilterGrp", [&](QDialog &d) {
                     child<QAbstractButton>(&d, "cmdOk")->click(); // nothing ticked: refused, stays open
                     QCOMPARE(answers.lastText(), QStringLiteral("絞り込みを行うｸﾞﾙｰﾌﾟはひとつ以上選択してください。"));
                     ticks({1, 2})(d);
                 }), QStringLiteral("山田,佐藤(1/2)"));
        QCOMPARE(narrowedTo(), QStringLiteral("絞り込み中：グループ「班1」「班2」のメンバー"));
        // Each opening starts unticked: only group 3 (no members) now.
        QCOMPARE(filter("ID_mnuFilterGrp", ticks({3})), QStringLiteral("(0/0)"));
        QVERIFY(!w.box("txtName")->isEnabled() && !w.get("cmdGroup")->isEnabled());
        QCOMPARE(w.get<SpreadGrid>("fpSpread2")->maxRows(), 0);
        w.tool("ID_mnuFilterOff");
        QCOMPARE(w.listed(), QStringLiteral("山田,佐藤,田山(1/3)"));
        QVERIFY(!w.members()->isFiltered());
        QCOMPARE(narrowedTo(), QString());

        // A failing filter is reported and the list stays as it was, and usable.
        QVERIFY(w.members()->filterByKeyword(QStringLiteral("[フリガナ]"), QStringLiteral("サト")));
        QVERIFY(!w.members()->filterByKeyword(QStringLiteral("[名前]"), QString(60000, u'a')));
        QVERIFY(answers.lastText().startsWith(QStringLiteral("絞り込みを行えませんでした。")));
        app.dropWorkTable(QStringLiteral("T_temp_グループ一覧"));
        QVERIFY(!w.members()->filterByGroups(QStringLiteral("(1)")));
        QVERIFY(answers.lastText().startsWith(QStringLiteral("グループで絞り込めませんでした。")));
        QCOMPARE(w.listed(), QStringLiteral("佐藤(1/1)"));
        QCOMPARE(narrowedTo(), QStringLiteral("絞り込み中：フリガナに「サト」を含むメンバー"));
        QVERIFY(w->list()->setText(2, 1, QStringLiteral("佐藤二郎")));
        QCOMPARE(member(app, 2, "名前"), QStringLiteral("佐藤二郎"));
    }

    void membershipChooserFromTheCard()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMember(1, QStringLiteral("山田"), {}, QStringLiteral("様"));
        app.addMember(2, QStringLiteral("伊藤"), {}, QStringLiteral("先生"));
        app.link(memberGroups(), 1, {1, 9}); // 9: a group that no longer exists
        app.link(memberGroups(), 2, 2);
        Shown w(app, true);
        auto *groups = w.get<SpreadGrid>("fpSpread2");
        const auto shownGroups = [&] {
            QString s = QString::number(groups->maxRows());
            for (int r = 1; r <= groups->maxRows(); ++r)
                s += groups->text(1, r);
            return s;
        };
        QCOMPARE(shownGroups(), QStringLiteral("1役員"));
        // A refill of the card's groups that fails shows none, never the last member's.
        app.exec(QStringLiteral("create trigger refuse before insert on T_temp_グループ一覧 "
                                "when new.ID = 2 begin select raise(abort, 'disk I/O error'); end"));
        w->list()->setActiveCell(2, 2);
        QCOMPARE(shownGroups(), QStringLiteral("0"));
        app.exec(QStringLiteral("drop trigger refuse"));

        Answers answers;
        answers.nextDialog([](QDialog &chooser) {
            QCOMPARE(child<QLabel>(&chooser, "lblName")->text(), QStringLiteral("伊藤 先生 が"));
            child<SpreadGrid>(&chooser, "fpSpread1")->setText(2, 1, QStringLiteral("1"));
            child<QAbstractButton>(&chooser, "cmdOk")->click();
        });
        w.click("cmdGroup");
        QCOMPARE(shownGroups() + w.text("lblRecord"), QStringLiteral("2役員会計(2/2)"));
        answers.nextDialog([](QDialog &chooser) { child<QAbstractButton>(&chooser, "cmdCancel")->click(); });
        app.exec(QStringLiteral("delete from T_メンバーの登録グループ情報"));
        w.click("cmdGroup");
        QCOMPARE(shownGroups(), QStringLiteral("2役員会計")); // not read again after ｷｬﾝｾﾙ
    }
};

QTEST_MAIN(TestRegisters)
#include "test_registers.moc"
