// The register windows wired to their store (what the commands do to the tables
// is test_registerstore's); the register in and out of CSV text (encodings, RFC
// 4180, headings, checks by line, duplicates, one-transaction write, export);
// the readings of the input method and the furigana boxes' width conversion.
#include "app/kana.h"
#include "app/keywordhistory.h"
#include "app/readingedit.h"
#include "app/windowlayout.h"
#include "db/registerstore.h"
#include "mail/mailaddress.h"
#include "registers/groupregister.h"
#include "registers/importdialog.h"
#include "registers/memberregister.h"
#include "registers/rosterexport.h"
#include "registers/rosterimport.h"
#include "support/testapp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
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
        : m_w(members ? static_cast<RegisterWindow *>(new MemberRegister(app.context())) : new GroupRegister(app.context()))
    {
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
    void tool(const char *id) const { clickTool(*m_w, id); }
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


using Fields = QList<RosterField>;

// The same roster in every encoding: a heading by other names, a quoted comma,
// a line break inside quotes, ①, 髙, half-width kana, hiragana, blanks around.
const QString kRoster = QStringLiteral(
    "氏名,ふりがな,メールアドレス,所属,備考\n"
    "\"髙橋,①\",ﾀｶﾊｼ,taka@example.jp,1組、2組,\"複数\n行\"\n"
    " 山田 太郎 ,やまだたろう,yamada@example.jp,2組,\n");
// kRoster as Python's cp932 codec writes it, 髙 as Windows writes it (FB FC).
const QByteArray kRosterCp932 = QByteArray::fromHex(
    "8e8196bc2c82d382e882aa82c82c8381815b838b83418368838c83582c8f8a91ae2c94f58d6c0a22fbfc8bb42c874022"
    "2cc0b6cabc2c74616b61406578616d706c652e6a702c31916781413291672c2295a190940a8d73220a208e5293632091"
    "be9859202c82e282dc82be82bd82eb82a42c79616d616461406578616d706c652e6a702c3291672c0a");

// The register without keys: members with their groups, then groups, sorted.
QStringList registerRows(TestApp &app)
{
    QStringList rows = queryRows(app.db(), QStringLiteral(
        "select 'M:' || M.名前, M.フリガナ, M.敬称, M.\"E-Mail\", (select group_concat(G.グループ名称, '|') from "
        "(select distinct G.グループ名称 from T_メンバーの登録グループ情報 L join T_グループ G on L.GroupID = G.GroupID "
        "where L.MemberID = M.MemberID order by 1) G) from T_メンバー M"), u'/', {})
        + queryRows(app.db(), QStringLiteral("select 'G:' || グループ名称, フリガナ from T_グループ"), u'/', {});
    rows.sort();
    return rows;
}

RosterPlan planText(TestApp &app, const QByteArray &bytes, RosterKind kind = RosterKind::Members,
                    DuplicateChoice choice = DuplicateChoice::Update)
{
    const RosterText t = readRosterText(bytes, kind);
    return planRoster(app.db(), kind, t.rows(!t.heading.isEmpty()), t.heading, choice, t.problems());
}

bool importText(TestApp &app, const QByteArray &bytes, RosterKind kind = RosterKind::Members)
{
    return writeRoster(app.db(), planText(app, bytes, kind)).ok;
}

QStringList problemLines(const RosterPlan &plan)
{
    QStringList out;
    for (const RosterProblem &p : plan.errors)
        out << QStringLiteral("%1:%2").arg(p.line).arg(p.message);
    return out;
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
        QTest::addColumn<QString>("section");
        QTest::newRow("members") << true << "メンバー登録MAX:999" << "" << "InpDBmember";
        QTest::newRow("groups") << false << "グループ登録MAX:99" << "グループ１" << "InpDBGroup";
    }
    // A first record from the card, its name typed over the one it came with.
    // Switched off, the card leaves the whole window to the list, and the width
    // the list has beside it is kept for the next opening; the close box keeps
    // what the card holds.
    void eachRegisterFromEmpty()
    {
        QFETCH(bool, isMembers);
        QFETCH(QString, captions);
        QFETCH(QString, newName);
        QFETCH(QString, section);
        TestApp app;
        app.setSetting(section, "SpreadW", "3000");
        Shown w(app, isMembers);
        QCOMPARE(w->windowTitle() + w.text("StatusBar1Panel2"), captions);
        QCOMPARE(w.position(), QStringLiteral("(0/0)000010"));
        QVERIFY(!w.box("txtName")->isEnabled());
        QCOMPARE(w->tools()->menu(QStringLiteral("ID_mnuFilter")) != nullptr, isMembers);
        QCOMPARE(w->findChild<QWidget *>(QStringLiteral("cmdGroup")) != nullptr, isMembers);
        w.click("cmdAdd");
        QCOMPARE(w->store().tableCount(), 1);
        QCOMPARE(w.position() + w.text("txtName"), "(1/1)000011" + newName);
        QTest::keyClicks(w.box("txtName"), "1A");
        QCOMPARE(w.text("txtName"), QStringLiteral("1A"));

        auto *splitter = w.get<QSplitter>("SSSplitter1");
        QCOMPARE(splitter->sizes().value(0), twipsToPxX(3000, w.window()));
        w.tool("ID_mnuDispCard");
        QVERIFY(!w.get("VSViewPort1")->isVisible());
        QTRY_VERIFY(splitter->sizes().value(0) > twipsToPxX(3000, w.window()));
        w->close();
        QCOMPARE(app.settingLong(section, "SpreadW"), 3000);
        QCOMPARE(app.scalar(isMembers ? QStringLiteral("select 名前 from T_メンバー")
                                      : QStringLiteral("select グループ名称 from T_グループ")).toString(),
                 QStringLiteral("1A"));
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
        // Accepted, they are added as an import adds them: a new group, the
        // reading in katakana, a row without a name counted as an error.
        QApplication::clipboard()->setText(QStringLiteral("山田一\r\n新人\tしんじん\t\tnew@example.jp\tA\r\n\tナナシ\r\n"));
        QString summary;
        answers.nextDialog([&summary](QDialog &dialog) {
            summary = child<QLabel>(&dialog, "lblCounts")->text();
            child<QPushButton>(&dialog, "cmdOk")->click();
        });
        w.tool("ID_EditPaste");
        QVERIFY2(summary.startsWith(QStringLiteral("追加 1件　更新 0件　スキップ 0件　エラー 1件")), qPrintable(summary));
        QCOMPARE(registerRows(app).filter(QStringLiteral("新人")), QStringList{"M:新人/シンジン//new@example.jp/A"});
        QCOMPARE(w.listed(), QStringLiteral("山田,伊藤,山田一,新人(4/4)"));

        // A refused save and a refused delete are reported; the list stays.
        w->list()->setActiveCell(2, 3);
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
                 QStringLiteral("メンバー「山田一」を削除しますか？\n\n所属グループの登録1件も削除されます。"));
        QVERIFY(answers.lastText().contains(QStringLiteral("locked")));
        QCOMPARE(answers.messages.size(), 4);
        QCOMPARE(w.text("lblRecord"), QStringLiteral("(3/4)"));
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
    }

    void importsEveryEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        const QByteArray bom("\xEF\xBB\xBF");
        QByteArray crlf = kRoster.toUtf8();
        crlf.replace("\n", "\r\n");
        QTest::newRow("UTF-8 with BOM, CR LF") << bom + crlf << TextEncoding::Utf8Bom;
        QTest::newRow("UTF-8, LF, empty last line") << kRoster.toUtf8() + "\n" << TextEncoding::Utf8;
        QTest::newRow("CP932, LF") << kRosterCp932 << TextEncoding::Cp932;
        QTest::newRow("CP932, CR LF") << QByteArray(kRosterCp932).replace("\n", "\r\n") << TextEncoding::Cp932;
    }
    void importsEveryEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        TestApp app;
        QCOMPARE(readRosterText(bytes, RosterKind::Members).encoding, encoding);
        QCOMPARE(readRosterText(bytes, RosterKind::Members).heading,
                 (Fields{RosterField::Name, RosterField::Reading, RosterField::Mail, RosterField::Group,
                         RosterField::Ignore}));
        const RosterPlan plan = planText(app, bytes);
        QVERIFY2(plan.errors.isEmpty(), qPrintable(problemLines(plan).join(u'\n')));
        QCOMPARE(plan.added, 2);
        QCOMPARE(plan.newGroups, (QStringList{QStringLiteral("1組"), QStringLiteral("2組")}));
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(registerRows(app),
                 (QStringList{QStringLiteral("G:1組/１組"), QStringLiteral("G:2組/２組"),
                              QStringLiteral("M:山田 太郎/ヤマダタロウ/様/yamada@example.jp/2組"),
                              QStringLiteral("M:髙橋,①/タカハシ/様/taka@example.jp/1組|2組")}));
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(MemberID) from T_メンバー")).toString(),
                 QStringLiteral("1,2"));
    }

    void headings_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<RosterKind>("kind");
        QTest::addColumn<Fields>("fields");
        using F = RosterField;
        QTest::newRow("register's names") << QStringList{"名前", "フリガナ", "敬称", "E-Mail", "グループ"}
                                          << RosterKind::Members
                                          << Fields{F::Name, F::Reading, F::Honorific, F::Mail, F::Group};
        QTest::newRow("other names, two group columns")
            << QStringList{"お名前", "よみ", "Ｅメール", "所属", "クラス２", "お名前"} << RosterKind::Members
            << Fields{F::Name, F::Reading, F::Mail, F::Group, F::Group, F::Ignore};
        QTest::newRow("half-width reading, mail") << QStringList{"ﾌﾘｶﾞﾅ", "氏名", "mail"} << RosterKind::Members
                                                  << Fields{F::Reading, F::Name, F::Mail};
        QTest::newRow("a data row") << QStringList{"山田", "yamada@example.jp"} << RosterKind::Members << Fields{};
        QTest::newRow("groups") << QStringList{"グループ名称", "読み"} << RosterKind::Groups
                                << Fields{F::Name, F::Reading};
    }
    void headings()
    {
        QFETCH(QStringList, cells);
        QFETCH(RosterKind, kind);
        QFETCH(Fields, fields);
        QCOMPARE(recogniseHeading(cells, kind), fields);
    }

    void problemsByLine_data()
    {
        QTest::addColumn<int>("members");
        QTest::addColumn<int>("groups");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QStringList>("problems"); // line:start of the message
        QTest::addColumn<int>("added");
        const QString head = QStringLiteral("名前,フリガナ,敬称,E-Mail,グループ\n");
        QTest::newRow("missing name after a quoted line break")
            << 0 << 0 << head + "\"山田\n花子\",,,,\n,ヤマダ,,a@example.jp,\n" << QStringList{"4:名前がありません"} << 1;
        QTest::newRow("addresses")
            << 0 << 0
            << head + "甲,,,a@example,\n乙,,,a b@example.jp,\n丙,,,a@@example.jp,\n丁,,,山@example.jp,\n"
                      "戊,,,@example.jp,\n己,,,ａ＠ｅｘａｍｐｌｅ．ｊｐ,\n"
            << QStringList{"2:E-Mail「a@example」：@の後（ドメイン）に", "3:E-Mail「a b@example.jp」：空白",
                           "4:E-Mail「a@@example.jp」：@が二つ", "5:E-Mail「山@example.jp」：全角",
                           "6:E-Mail「@example.jp」：@の前"}
            << 1;
        QTest::newRow("lengths") << 0 << 0
                                 << head + "一二三四五六七八九十一,,,,\n名," + QString(21, u'ア') + ",,,\n名,,"
                                        + QString(11, u'様') + ",,\n名,,," + QString(54, u'a') + "@example.jp,\n名,,,,"
                                        + QString(51, u'班') + "\n"
                                 << QStringList{"2:名前「", "3:フリガナ「", "4:敬称「", "5:E-Mail「", "6:グループ名称「"} << 0;
        QTest::newRow("999 members") << 998 << 0 << head + "甲,,,,\n乙,,,,\n" << QStringList{"3:メンバーが上限"} << 1;
        QTest::newRow("99 groups") << 0 << 98 << head + "甲,,,,新1\n乙,,,,新2\n丙,,,,新1\n"
                                   << QStringList{"3:グループが上限"} << 2;
        QTest::newRow("quote left open") << 0 << 0 << head + "甲,,,,\n\"乙,,,,\n" << QStringList{"3:引用符"} << 1;
    }
    void problemsByLine()
    {
        QFETCH(int, members);
        QFETCH(int, groups);
        QFETCH(QString, csv);
        QFETCH(QStringList, problems);
        QFETCH(int, added);
        TestApp app;
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                "insert into T_メンバー (MemberID, 名前) select i, '会員' from n where i <= ?; "),
                 {std::max(members, 1), members});
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                "insert into T_グループ select i, '班' || i, 'ハン' from n where i <= ?"),
                 {std::max(groups, 1), groups});
        const RosterPlan plan = planText(app, csv.toUtf8());
        const QStringList got = problemLines(plan);
        QCOMPARE(got.size(), problems.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(got[i].startsWith(problems[i]), qPrintable(got[i]));
        QCOMPARE(plan.added, added);
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), members + added);
    }

    void duplicates_data()
    {
        QTest::addColumn<DuplicateChoice>("choice");
        QTest::addColumn<QList<int>>("counts"); // added, updated, skipped
        QTest::addColumn<QStringList>("after");
        const QString kept = QStringLiteral("M:山田/ヤマダ/様/yamada@example.jp/A");
        QTest::newRow("update") << DuplicateChoice::Update << QList<int>{1, 2, 0}
                                << QStringList{"G:A/A", "G:B/Ｂ", "M:山田二/ヤマダ/様/YAMADA@example.jp/A|B",
                                               "M:新人二//様/new@example.jp/B"};
        QTest::newRow("skip") << DuplicateChoice::Skip << QList<int>{1, 0, 2}
                              << QStringList{"G:A/A", kept, "M:新人//様/new@example.jp/"};
        QTest::newRow("add as new") << DuplicateChoice::AddNew << QList<int>{3, 0, 0}
                                    << QStringList{"G:A/A", "G:B/Ｂ", kept, "M:山田二//様/YAMADA@example.jp/B",
                                                   "M:新人//様/new@example.jp/", "M:新人二//様/new@example.jp/B"};
    }
    void duplicates()
    {
        QFETCH(DuplicateChoice, choice);
        QFETCH(QList<int>, counts);
        QFETCH(QStringList, after);
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"),
                      QStringLiteral("yamada@example.jp"));
        app.link(memberGroups(), 1, 1);
        const QByteArray csv = "名前,E-Mail,グループ\n山田二,YAMADA@example.jp,B\n新人,new@example.jp,\n"
                               "新人二,new@example.jp,B\n";
        const RosterPlan plan = planText(app, csv, RosterKind::Members, choice);
        QCOMPARE((QList<int>{plan.added, plan.updated, static_cast<int>(plan.skipped.size())}), counts);
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(registerRows(app), after);
    }

    void failedWriteLeavesRegister()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"),
                      QStringLiteral("yamada@example.jp"));
        app.link(memberGroups(), 1, 1);
        const QStringList before = registerRows(app);
        // The third new member fails, after groups, an update, links and two members.
        app.exec(QStringLiteral("create trigger refuse before insert on T_メンバー when new.名前 = '丙' "
                                "begin select raise(abort, 'refused by the test'); end"));
        const RosterPlan plan = planText(
            app, "名前,E-Mail,グループ\n山田二,yamada@example.jp,B\n甲,,A、C\n乙,,C\n丙,,D\n丁,,\n");
        QCOMPARE(plan.added, 4);
        const RosterWriteResult result = writeRoster(app.db(), plan);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(QStringLiteral("refused by the test")), qPrintable(result.error));
        QCOMPARE(registerRows(app), before);
    }

    void roundTrip_data()
    {
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("groupName");
        QTest::newRow("UTF-8 with BOM, a separator in a group's name") << TextEncoding::Utf8Bom << QStringLiteral("1年／2年");
        QTest::newRow("CP932, ① and 髙") << TextEncoding::Cp932 << QStringLiteral("①髙組");
    }
    void roundTrip()
    {
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, groupName);
        TestApp app;
        app.addGroup(1, QStringLiteral("A"), QStringLiteral("エー"));
        app.addGroup(2, groupName, QStringLiteral("ガクネン"));
        app.addGroup(3, QStringLiteral("空き"), QStringLiteral("アキ"));
        app.addMember(1, QStringLiteral("=SUM(A1)"), QStringLiteral("イコール"), QString(),
                      QStringLiteral("-x@example.jp"));
        app.addMember(2, QStringLiteral("髙橋 \"①\""), QStringLiteral("タカハシ"), QStringLiteral("先生"),
                      QStringLiteral("taka@example.jp"));
        app.addMember(3, QStringLiteral("'@所属なし"), QString(), QStringLiteral("様"), QString());
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, {2});
        const QString members = app.dir() + QStringLiteral("/members.csv");
        const QString groups = app.dir() + QStringLiteral("/groups.csv");
        QVERIFY(exportRoster(app.db(), RosterKind::Members, members, encoding).ok);
        QVERIFY(exportRoster(app.db(), RosterKind::Groups, groups, encoding).ok);

        QFile file(members);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), encoding == TextEncoding::Utf8Bom);
        const QString text = decodeText(bytes, encoding);
        QVERIFY2(text.contains(QStringLiteral("\r\n'=SUM(A1),")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral(",'-x@example.jp,")));
        QVERIFY(text.contains(QStringLiteral("\r\n''@所属なし,")));

        TestApp empty;
        QFile groupFile(groups);
        QVERIFY(groupFile.open(QIODevice::ReadOnly));
        QVERIFY(importText(empty, groupFile.readAll(), RosterKind::Groups));
        QVERIFY(importText(empty, bytes));
        QCOMPARE(registerRows(empty), registerRows(app));

        // A character CP932 lacks refuses that export, and writes no file.
        app.addMember(4, QStringLiteral("𠮷田"));
        const ExportResult refused = exportRoster(app.db(), RosterKind::Members, members + u'2', TextEncoding::Cp932);
        QCOMPARE(refused.unencodable, QList<char32_t>{U'𠮷'});
        QVERIFY(!refused.ok && !QFile::exists(members + u'2'));
    }

    void addressRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<bool>("plain");
        QTest::newRow("plain") << "taro.y@mail.example.jp" << "taro.y@mail.example.jp" << true;
        QTest::newRow("full width") << "　ｔａｒｏ＠ｅｘａｍｐｌｅ．ｊｐ " << "taro@example.jp" << true;
        QTest::newRow("empty") << "" << "" << false;
        QTest::newRow("control") << "ta\x01ro@example.jp" << "ta\x01ro@example.jp" << false;
        QTest::newRow("header character") << "<taro@example.jp>" << "<taro@example.jp>" << false;
        QTest::newRow("domain dot at the end") << "taro@example." << "taro@example." << false;
    }
    void addressRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, normalised);
        QFETCH(bool, plain);
        QCOMPARE(normaliseTypedAddress(typed), normalised);
        QCOMPARE(isPlainMailAddress(normalised), plain);
        QCOMPARE(mailAddressProblem(normalised).isEmpty(), plain);
    }

    void fullWidthConversion_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("fullWidth");
        QTest::addColumn<QString>("reading"); // empty: the full-width text
        QTest::newRow("letters and digits") << "abc XYZ 123" << "ａｂｃ　ＸＹＺ　１２３" << "";
        QTest::newRow("symbols") << "a.b@c-d_e'f" << "ａ．ｂ＠ｃ－ｄ＿ｅ＇ｆ" << "";
        QTest::newRow("half-width kana") << "ﾔﾏﾀﾞ ﾀﾛｳ" << "ヤマダ　タロウ" << "";
        QTest::newRow("voiced marks join") << "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ" << "ガギグゲゴザジズゼゾダヂヅデド" << "";
        QTest::newRow("ha row") << "ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟﾊﾋﾌﾍﾎ" << "バビブベボパピプペポハヒフヘホ" << "";
        QTest::newRow("vu, small kana, long mark") << "ｳﾞｧｲｵﾘﾝ ｷｬｯﾄｰ" << "ヴァイオリン　キャットー" << "";
        QTest::newRow("a mark with nothing to join") << "ﾞｱﾟﾅﾞ" << "゛ア゜ナ゛" << "";
        QTest::newRow("punctuation") << "｢ｱ､ｲ｡･ｦ｣" << "「ア、イ。・ヲ」" << "";
        QTest::newRow("hiragana only in a reading") << "やまだ ぢゃゔゝゞ" << "やまだ　ぢゃゔゝゞ" << "ヤマダ　ヂャヴヽヾ";
        QTest::newRow("full width and kanji kept") << "山田ＡＢＣヤマダ" << "山田ＡＢＣヤマダ" << "";
        QTest::newRow("empty") << "" << "" << "";
    }

    void fullWidthConversion()
    {
        QFETCH(QString, input);
        QFETCH(QString, fullWidth);
        QFETCH(QString, reading);
        QCOMPARE(toFullWidth(input), fullWidth);
        QCOMPARE(toReadingKatakana(input), reading.isEmpty() ? fullWidth : reading);
    }

    // What fcitx5 or IBus with Mozc send while the user composes, "|" between
    // events: the preedit as it grows (empty: Esc drops it), "=" a commit (">"
    // the next preedit in the same event), "#" letters typed without it.
    void readingOfEachCommit_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readings");
        QTest::newRow("one conversion") << "ｙ|や|やｍ|やま|やまｄ|やまだ|山田|=山田" << "山田" << "やまだ";
        QTest::newRow("two, the second candidate")
            << "や|やま|やまだ|山田|=山田|た|たろ|たろう|太郎|太朗|=太朗" << "山田太朗" << "やまだ,たろう";
        QTest::newRow("commit as the next starts")
            << "さ|さと|さとう|佐藤|=佐藤>ｈ|は|はな|はなこ|花子|=花子" << "佐藤花子" << "さとう,はなこ";
        QTest::newRow("kana unconverted, F8 half width") << "す|すず|すずき|=すずき|け|けん|ｹﾝ|=ｹﾝ" << "すずきｹﾝ"
                                                          << "すずき,ｹﾝ";
        QTest::newRow("F9 letters: the kana") << "ｙ|や|やｍ|やま|やまｄ|やまだ|ｙａｍａｄａ|=ｙａｍａｄａ"
                                              << "ｙａｍａｄａ" << "やまだ";
        QTest::newRow("Esc drops the composition") << "や|やま||い|いと|いとう|伊藤|=伊藤" << "伊藤" << "いとう";
        QTest::newRow("direct input: none") << "#abc|=X" << "abcX" << "";
    }

    void readingOfEachCommit()
    {
        QFETCH(QString, events);
        QFETCH(QString, text);
        QFETCH(QString, readings);
        ReadingEdit edit;
        QSignalSpy committed(&edit, &ReadingEdit::readingCommitted);
        for (const QString &e : events.split(u'|')) {
            if (e.startsWith(u'#')) {
                QTest::keyClicks(&edit, e.mid(1));
                continue;
            }
            const bool commit = e.startsWith(u'=');
            const QString preedit = commit ? e.section(u'>', 1) : e;
            QTextCharFormat underline;
            underline.setFontUnderline(true);
            QList<QInputMethodEvent::Attribute> attrs;
            if (!commit)
                attrs = {{QInputMethodEvent::TextFormat, 0, int(preedit.size()), underline},
                         {QInputMethodEvent::Cursor, int(preedit.size()), 1}};
            QInputMethodEvent event(preedit, attrs);
            if (commit)
                event.setCommitString(e.mid(1).section(u'>', 0, 0));
            QCoreApplication::sendEvent(&edit, &event);
        }
        QCOMPARE(edit.text(), text);
        QStringList got;
        for (const QList<QVariant> &signal : committed)
            got << signal.at(0).toString();
        QCOMPARE(got.join(u','), readings);
    }
};

QTEST_MAIN(TestRegisters)
#include "test_registers.moc"
